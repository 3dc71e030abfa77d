// cellcomp: compiles a cell-library source into the QZ library file that the
// synthesis programs read.
#include "converter.h"
#include "messages.h"

namespace {
int prog_main(int argc, char** argv) {
  converter conv(argc, argv);
  conv.run();
  return 0;
}
}  // namespace

int main(int argc, char** argv) { return RunProgram(prog_main, argc, argv); }
