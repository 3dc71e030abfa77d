// sequential: three-valued simulation of a test file as one sequence on a
// sequential model, with single stuck-at fault simulation unless told not to.
#include <cstring>
#include <string>

#include "m3simul.h"
#include "messages.h"
#include "mudel.h"
#include "sqsim.h"
#include "vector.h"

namespace {

int FaultSimulate = 1;
std::string InFile;
std::string extension = ".tst";
uint32_t total = 0;

[[noreturn]] void usage() {
  Error("Usage: sequential [options] <design>\nOptions:\n"
        "  -faultfree                  Perform faultfree simulation.\n"
        "  -nodrop                     Don't perform fault dropping.\n"
        "  -infile <f>                 Reads file f with data about detected faults.\n"
        "  -extension <fileExtension>  File extension of input patterns file.\n"
        "                              Default is \"tst\".\n",
        -1);
}

// An option that takes a value, given just before the design, takes the
// design argument as its value (the design name is still the last argument).
void options(int argc, char** argv) {
  for (int i = 1; i < argc - 1; ++i) {
    const char* word = argv[i];
    if (strcmp(word, "-faultfree") == 0) {
      FaultSimulate = 0;
    } else if (strcmp(word, "-nodrop") == 0) {
      NoDrop = 1;
    } else if (strcmp(word, "-extension") == 0) {
      extension = std::string(".") + argv[++i];
    } else if (strcmp(word, "-infile") == 0) {
      InFile = argv[++i];
    } else {
      Errors("Illegal option", word, -1);
    }
  }
}

int sequential_main(int argc, char** argv) {
  TextOut("Fault Simulator for Sequential Circuits\n");
  if (argc < 2) usage();
  FaultSimulate = 1;
  NoDrop = 0;
  options(argc, argv);
  std::string design = argv[argc - 1];
  read_ag(design + ".agm");
  CheckSequentialModel();
  untestables();
  // The table is rebuilt from the simulation, so the file's rows are not read.
  READ_FAULT_TABLE = 0;
  read_vec(design + extension);
  if (vcount < 2) Error("No test vectors to simulate", -1);
  if (NoDrop) ftable.assign(vcount, std::vector<char>(NodCount, 'X'));
  faults.assign(NodCount, 'X');
  if (!InFile.empty()) {
    // Only f's own fault section counts, not the one of the patterns file.
    ReadFaultInfo(InFile);
  }
  BeginProcessing("Fault simulation");
  InitNextGraphs();
  alloc_m3simul();
  alloc_seqsimul();
  total = NormaliseFaultMarks(faults);
  init_m3simul();
  seq_progress = 1;
  StartTimer();
  m3simul();
  if (FaultSimulate) {
    init_seqsimul();
    seq_simul();
    total += detected;
  }
  EndProcessing();
  EndTimer();
  free_m3simul();
  std::string out = design + ".tst";
  if (FaultSimulate) {
    TextOut("\n");
    seq_statistics(total, vcount);
    write_vec(out, NoDrop ? 0 : 1);
  } else {
    write_vec(out, 2);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(sequential_main, argc, argv); }
