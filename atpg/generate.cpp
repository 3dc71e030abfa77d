// generate: deterministic test-pattern generation for combinational SSBDD
// models, with fault dropping by simulation of every new pattern.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "fsimul.h"
#include "generator.h"
#include "messages.h"
#include "mudel.h"
#include "outfile.h"
#include "packsim.h"
#include "podem.h"
#include "testsim.h"
#include "textnum.h"
#include "vector.h"

namespace {

std::string InFile;
const char* vector_limit_text = nullptr;  // as given, for the range check
long long vector_limit = 0;

void options(int argc, char** argv) {
  for (int i = 1; i < argc - 1; ++i) {
    const char* arg = argv[i];
    if (arg[0] != '-') Errors("Illegal option", arg, -1);
    const char* word = arg + 1;
    if (strcmp(word, "backtracks") == 0) {
      BacktrackLim = static_cast<uint32_t>(NumberOption(argv[++i], 0, UINT32_MAX));
    } else if (strcmp(word, "vector_limit") == 0) {
      // Any whole number here; its range is checked once all options are read.
      vector_limit_text = argv[++i];
      vector_limit = NumberOption(vector_limit_text, LLONG_MIN, LLONG_MAX);
      VectorLim = static_cast<uint32_t>(vector_limit);
    } else if (strcmp(word, "infile") == 0) {
      InFile = argv[++i];
    } else if (strcmp(word, "fault_table") == 0) {
      FaultTable = 1;
    } else if (strcmp(word, "test_per_fault") == 0) {
      TPFFlag = 1;
      VectorLim = 2 * NodCount;
      vector_limit_text = nullptr;
    } else if (strcmp(word, "PODEM") == 0) {
      PODEMflag = 1;
    } else {
      Errors("Illegal option", arg, -1);
    }
  }
}

void write_result(const std::string& path) {
  if (TPFFlag) {
    write_inputs(path);
  } else if (FaultTable) {
    // The fault loop keeps no table rows of its own patterns.
    if (ftable.size() < vcount) ftable.resize(vcount, std::vector<char>(NodCount, 'X'));
    ResetFsimulDropping();
    BeginProcessing("Fault Simulation");
    StartTimer();
    // fsimul without dropping, word-parallel.
    PackSimulator().SimulateAll();
    EndProcessing();
    EndTimer();
    write_vec(path, 0);
  } else {
    write_vec(path, 1);
  }
}

int generate_main(int argc, char** argv) {
  TextOut("Deterministic Test Pattern Generator\n");
  if (argc < 2)
    Error("Usage: generate [options] <design>\noptions:\n"
          "  -backtracks x   Backtrack limit. (Default 10).\n"
          "  -fault_table    Perform fault simulation for the final patterns.\n"
          "  -test_per_fault Generates test for every fault of the circuit.\n"
          "                  Preserves don't care values.\n"
          "  -vector_limit x Maximum number of generated patterns.\n"
          "                  (Default 1000).\n\n"
          "  -infile f       Reads file f with data about detected faults.\n",
          -1);
  const std::string design = argv[argc - 1];
  read_ag(design + ".agm");
  // The search traces values back to primary inputs; a state variable has
  // none to reach, so a sequential model is refused rather than searched forever.
  RefuseDelayedVariables(design + ".agm", "generate");
  options(argc, argv);
  // The pattern rows sit below the two work rows of the search: a limit below
  // two leaves no room for a pattern, and the row count must not wrap.  The
  // range is checked once all options are read, as -test_per_fault after the
  // limit replaces it.
  if (vector_limit_text && (vector_limit < 2 || vector_limit > static_cast<long long>(UINT32_MAX - 2)))
    Errors("Illegal option", vector_limit_text, -1);

  // The list of untestable faults is a result like the patterns: it replaces
  // an earlier list only when the run writes its patterns.
  const std::string red_path = design + ".red";
  struct stat st{};
  OutFile red;
  if ((stat(red_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) || !red.Open(red_path))
    Errors(red_path, "Can't create file", -1);
  redundant_file = red.fp();

  // The two work rows of the search; pattern rows are added as tests are found.
  vcount = 2;
  functionals = 0;
  alloc_vec();
  tg_preprocess();
  alloc_testsimul();
  init_testsimul();
  init_fsimul();

  if (!InFile.empty()) {
    ReadFaultInfo(InFile);
    for (char& f : faults)
      if (f == 'x') f = 'X';  // not detected, like 'X'
  }

  TextOut("Generating tests...\n");
  StartTimer();
  GenerateEnd end = generate();
  EndTimer();

  vcount = vektoreid;
  // The list is written out before the patterns are put in place, so a write
  // error in it keeps the previous pair.
  if (fflush(redundant_file) != 0 || ferror(redundant_file)) Errors(red_path, "Can't create output file", -1);
  write_result(design + ".tst");
  redundant_file = nullptr;
  if (!red.Commit()) Errors(red_path, "Can't create output file", -1);
  if (end == GenerateEnd::VectorLimit) {
    // The patterns found so far are written; the run still reports failure.
    Warning("Vector limit exceeded", -1);
    return 14;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(generate_main, argc, argv); }
