// edifsyn: SSBDD model (or ISCAS'85 netlist) from an EDIF netlist and a
// compiled cell library.
#include "messages.h"
#include "parser.h"

namespace {
int prog_main(int argc, char** argv) {
  parser p(argc, argv, false);
  p.run();
}
}  // namespace

int main(int argc, char** argv) { return RunProgram(prog_main, argc, argv); }
