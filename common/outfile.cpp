#include "outfile.h"

#include <cstdlib>
#include <unistd.h>
#include <sys/stat.h>

#include "messages.h"

#include <set>

namespace {
// Temporary files still open when the process ends (a fatal Error exits
// without unwinding) are removed, so no half-written file is left behind.
std::set<std::string>& Pending() {
  static std::set<std::string> pending;
  return pending;
}
void RemovePending() {
  for (const std::string& t : Pending()) unlink(t.c_str());
}
}  // namespace

bool OutFile::Open(const std::string& path) {
  path_ = path;
  tmp_ = path + ".tmpXXXXXX";
  int fd = mkstemp(&tmp_[0]);
  if (fd < 0) return false;
  // Keep the permissions an ordinary fopen would have given the file.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  // The set must exist before the handler is registered, so that it is
  // destroyed after the handler has run.
  Pending();
  static bool registered = (atexit(RemovePending), true);
  (void)registered;
  Pending().insert(tmp_);
  fp_ = fdopen(fd, "w+");
  if (fp_ == nullptr) {
    close(fd);
    unlink(tmp_.c_str());
    Pending().erase(tmp_);
    return false;
  }
  return true;
}

bool OutFile::Commit() {
  if (fp_ == nullptr) return false;
  bool ok = fflush(fp_) == 0 && ferror(fp_) == 0;
  ok = (fclose(fp_) == 0) && ok;
  fp_ = nullptr;
  if (ok) ok = rename(tmp_.c_str(), path_.c_str()) == 0;
  if (!ok) unlink(tmp_.c_str());
  Pending().erase(tmp_);
  return ok;
}

OutFile::~OutFile() {
  if (fp_ != nullptr) {
    fclose(fp_);
    unlink(tmp_.c_str());
    Pending().erase(tmp_);
  }
}

void OpenOutput(OutFile& f, const std::string& path) {
  if (!f.Open(path)) Errors(path, "Can't create output file", -1);
}

void CommitOutput(OutFile& f, const std::string& path) {
  if (!f.Commit()) Errors(path, "Can't create output file", -1);
}
