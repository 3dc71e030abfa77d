// genetic: test generation for combinational SSBDD models with a genetic
// algorithm over populations of input patterns.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

#include "fsimul.h"
#include "gasearch.h"
#include "messages.h"
#include "mudel.h"
#include "packsim.h"
#include "textnum.h"
#include "vector.h"

namespace {

GeneticParams params;
std::string InFile;

[[noreturn]] void usage() {
  Error("Usage: genetic [options] <design>\nOptions:\n"
        "  -mutation_rate1 x  Initial mutation rate (Default 0.1).\n"
        "                     (Recommended range 0.01 ... 0.1).\n"
        "  -popul_size x      Number of vectors in a population.\n"
        "                     Must be an even value. (Default 32).\n"
        "  -timeout x         Timeout value. The greater the value\n"
        "                     the more thoroughly we will search.\n"
        "                     (Default timeout is 10). (10 ... 100 recommended).\n"
        "  -mutation_rate2 x  Mutation rate applied when fitness value becomes zero.\n"
        "                         (Default 0.5). (Recommended range 0.1 ... 0.5).\n"
        "  -max_generations x     Maximum number of generations. (Default 1000).\n"
        "                         (Suggested range 1 ... 10,000).\n"
        "  -infile f              Reads file f with data about detected faults.\n",
        -1);
}

// A rate is a real number written in full (no trailing text), and finite.
float Rate(const char* text) {
  char* end = nullptr;
  double v = strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(v)) Errors("Illegal option", text, -1);
  return static_cast<float>(v);
}

void options(int argc, char** argv) {
  for (int i = 1; i < argc - 1; i += 2) {
    const char* word = argv[i];
    const char* value = argv[i + 1];
    if (strcmp(word, "-mutation_rate1") == 0) {
      params.mutation_rate1 = Rate(value);
    } else if (strcmp(word, "-popul_size") == 0) {
      long long n = NumberOption(value, 0, INT32_MAX);
      // Offspring are bred in pairs.
      if (n < 2 || n % 2 != 0) Errors("Illegal population size (an even number, at least 2)", value, -1);
      params.popul_size = static_cast<uint32_t>(n);
    } else if (strcmp(word, "-timeout") == 0) {
      params.timeout = static_cast<float>(NumberOption(value, 0, INT32_MAX));
    } else if (strcmp(word, "-mutation_rate2") == 0) {
      params.mutation_rate2 = Rate(value);
    } else if (strcmp(word, "-max_generations") == 0) {
      params.max_generations = static_cast<uint32_t>(NumberOption(value, 0, INT32_MAX));
    } else if (strcmp(word, "-infile") == 0) {
      InFile = value;
    } else {
      Errors("Illegal option", word, -1);
    }
  }
}

int genetic_main(int argc, char** argv) {
  // Both random sources start from the clock, so every run differs.
  const int32_t now = static_cast<int32_t>(time(nullptr));
  const GeneticSeeds seeds{now, -now};
  TextOut("Genetic ATPG\n");
  if (argc < 2) usage();
  StartTimer();
  options(argc, argv);
  const std::string design = argv[argc - 1];
  read_ag(design + ".agm");
  // The generators' simulator and analyze read a state variable differently:
  // on a sequential model the counts would disagree with the written test.
  RefuseDelayedVariables(design + ".agm", "genetic");

  // The fault-info file is read before the search, so a bad one costs no
  // search; its marks enter only the final status.
  std::vector<char> known;
  if (!InFile.empty()) {
    faults.assign(NodCount, 'X');
    ReadFaultInfo(InFile);
    known = faults;
    for (char& f : known)
      if (f == 'x') f = 'X';  // not detected, like 'X'
  }

  GeneticResult result = GeneticSearch(params, seeds);
  EndTimer();

  vcount = static_cast<uint32_t>(result.stored.size());
  functionals = 0;
  alloc_vec();
  init_fsimul();
  if (!InFile.empty()) faults = known;
  ResetFsimulDropping();
  set_fsimul_faults_update();
  vects = std::move(result.stored);
  PackSimulator().SimulateAll();
  write_vec(design + ".tst", 0);

  uint32_t tested = CountDetected(faults, false);
  uint32_t total = 2 * NodCount;
  long double coverage = total ? static_cast<long double>(tested) / total * 100 : 0;
  TextOut(Format("\nTested %u of %u faults\nFault coverage: %Lf %%\n%u vectors generated\n", tested, total, coverage,
                 vcount));
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(genetic_main, argc, argv); }
