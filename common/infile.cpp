#include "infile.h"

#include <sys/stat.h>

FILE* OpenInput(const std::string& path, const char* mode) {
  FILE* f = fopen(path.c_str(), mode);
  if (f == nullptr) return nullptr;
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    fclose(f);
    return nullptr;
  }
  return f;
}
