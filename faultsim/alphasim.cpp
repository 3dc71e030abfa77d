// alphasim: fault-free 5- or 8-valued simulation of every pair of
// consecutive patterns of a test file, written as a ".mvl" file.
#include <cstring>
#include <string>

#include "fsimul.h"
#include "messages.h"
#include "mudel.h"
#include "mvsimul.h"
#include "textnum.h"
#include "vector.h"

namespace {

int alphabet = 5;
std::string extension = ".tst";

[[noreturn]] void usage() {
  Error("Usage: alphasim [options] <design>\nOptions:\n"
        "  -values <alphabet>          If alphabet is 5 then 5-valued simulation\n"
        "                              is performed (default).\n"
        "                              8 selects 8-valued simulation\n"
        "  -extension <fileExtension>  File extension of input patterns file.\n"
        "                              Default is \"tst\".\n",
        -1);
}

void options(int argc, char** argv) {
  for (int i = 1; i < argc - 1; i += 2) {
    const char* word = argv[i];
    const char* value = argv[i + 1];
    if (strcmp(word, "-values") == 0) {
      long long v = 0;
      if (!WholeNumber(value, 0, 8, v) || (v != 5 && v != 8)) Errors("Illegal option", value, -1);
      alphabet = static_cast<int>(v);
    } else if (strcmp(word, "-extension") == 0) {
      extension = std::string(".") + value;
    } else if (strcmp(word, "-faults") == 0) {
      Error("Option 'faults' is not currently implemented", -1);
    } else {
      Errors("Illegal option", word, -1);
    }
  }
}

int alphasim_main(int argc, char** argv) {
  TextOut("Multi-Valued Simulator\n");
  if (argc < 2) usage();
  alphabet = 5;
  options(argc, argv);
  std::string design = argv[argc - 1];
  read_ag(design + ".agm");
  READ_FAULT_TABLE = 0;  // only the patterns are simulated
  read_vec(design + extension);
  BeginProcessing("Multi-valued simulation");
  if (vcount < 2) Error("Test pattern file must contain at least 2 vectors", -1);
  alloc_mv_simul();
  StartTimer();
  if (alphabet == 8) simul();
  mv_simul(alphabet);
  EndProcessing();
  EndTimer();
  free_mv_simul();
  write_vec(design + ".mvl", 6);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(alphasim_main, argc, argv); }
