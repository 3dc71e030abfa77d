// random: test generation for combinational SSBDD models from packages of
// random patterns, keeping those that detect the most new faults.
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "fsimul.h"
#include "messages.h"
#include "mudel.h"
#include "psimul.h"
#include "randtest.h"
#include "textnum.h"
#include "vector.h"

namespace {

RandomParams params;
uint32_t pack_size = 1;
bool fault_table = false;
std::string InFile;

[[noreturn]] void usage() {
  Error("Usage: random [options] <design>\noptions:\n"
        "  -failure_limit x       The number of max consecutive failed packages.\n"
        "                         Default: 64\n"
        "  -pack_size x           Package length is x multiplied by 32. Default: 1\n"
        "  -criterion x           Patterns detecting minimum x faults will be chosen.\n"
        "                         Default: 1\n"
        "  -packages x            Total x packages will be simulated. Default: 1000\n"
        "  -select_max x          Maximum x patterns will be selected from a package.\n"
        "                         Default: 32\n"
        "  -fault_table           Perform fault simulation to final test patterns.\n"
        "  -infile f              Reads file f with data about detected faults.\n",
        -1);
}

uint32_t Count(const char* text) { return static_cast<uint32_t>(NumberOption(text, 0, UINT32_MAX)); }

void options(int argc, char** argv) {
  for (int i = 1; i < argc - 1; ++i) {
    const char* arg = argv[i];
    if (arg[0] != '-') Errors("Illegal option", arg, -1);
    const char* word = arg + 1;
    if (strcmp(word, "failure_limit") == 0) {
      params.failure_limit = Count(argv[++i]);
    } else if (strcmp(word, "pack_size") == 0) {
      const char* text = argv[++i];
      pack_size = Count(text);
      // A package needs rows, and its row count (32 per unit) must fit.
      if (pack_size == 0 || pack_size > UINT32_MAX / 32)
        Errors(Format("Illegal package size (1 to %u)", UINT32_MAX / 32), text, -1);
    } else if (strcmp(word, "criterion") == 0) {
      params.criterion = Count(argv[++i]);
    } else if (strcmp(word, "packages") == 0) {
      params.packages = Count(argv[++i]);
    } else if (strcmp(word, "select_max") == 0) {
      params.select_max = Count(argv[++i]);
    } else if (strcmp(word, "fault_table") == 0) {
      fault_table = true;
    } else if (strcmp(word, "infile") == 0) {
      InFile = argv[++i];
    } else {
      Errors("Illegal option", arg, -1);
    }
  }
}

int random_main(int argc, char** argv) {
  TextOut("Random Test Pattern Generator\n");
  if (argc < 2) usage();
  options(argc, argv);
  const std::string design = argv[argc - 1];
  read_ag(design + ".agm");
  // The generators' simulator and analyze read a state variable differently:
  // on a sequential model the counts would disagree with the written test.
  RefuseDelayedVariables(design + ".agm", "random");

  functionals = 0;
  vcount = 32 * pack_size;
  alloc_vec();
  init_fsimul();
  SetFsimulDropping();
  no_fsimul_faults_update();
  if (!InFile.empty()) {
    ReadFaultInfo(InFile);
    for (char& f : faults)
      if (f == 'x') f = 'X';  // not detected, like 'X'
  }
  const std::vector<char> known = faults;

  BeginProcessing("Generating");
  StartTimer();
  RandomResult result = RandomPackages(params);
  EndProcessing();
  EndTimer();

  free_vec();
  vcount = static_cast<uint32_t>(result.kept.size());
  alloc_vec();
  vects = std::move(result.kept);

  const std::string path = design + ".tst";
  if (!fault_table) {
    write_vec(path, 2);
    return 0;
  }
  // The written status holds the marks read with -infile, as the Tested count does.
  faults = known;
  // With no pattern kept the test is empty: the status alone is written.
  if (vcount > 0) {
    alloc_psimul();
    init_psimul();
  }
  BeginProcessing("Fault analysis");
  StartTimer();
  if (vcount > 0) psimul();
  EndProcessing();
  EndTimer();
  if (vcount > 0) serial_vec();
  write_vec(path, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(random_main, argc, argv); }
