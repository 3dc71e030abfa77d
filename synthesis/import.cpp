// import: the earlier build of the EDIF synthesis driver.
#include "messages.h"
#include "parser.h"

namespace {
int prog_main(int argc, char** argv) {
  parser p(argc, argv, true);
  p.run();
}
}  // namespace

int main(int argc, char** argv) { return RunProgram(prog_main, argc, argv); }
