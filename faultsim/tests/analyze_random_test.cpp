// Runs the real analyze program on random models and patterns and checks the
// file it writes against a pattern-by-pattern serial fault simulation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "messages.h"
#include "mudel.h"
#include "random_model.h"
#include "vector.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(AnalyzeProgram, WritesTheSerialDetectionResultsByteForByte) {
  char tmpl[] = "/tmp/analyzeXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::mt19937 rng(2024);
  for (uint32_t trial = 0; trial < 8; ++trial) {
    RandomModelShape shape{3 + trial, trial % 3, 10 + 4 * trial, 1 + trial % 4, 5};
    MakeRandomModel(rng, shape);
    vcount = 1 + rng() % 80;
    alloc_vec();
    for (uint32_t v = 0; v < vcount; ++v) vects[v] = RandomRow(rng, true);
    // Expected file, built from the serial reference.
    std::vector<std::vector<unsigned char>> inputs = vects;
    for (uint32_t v = 0; v < vcount; ++v) {
      std::vector<uint8_t> good = EvalSerial(inputs[v]);
      for (uint32_t n = 0; n < NodCount; ++n) {
        char m = 'X';
        for (int stuck = 0; stuck < 2 && m == 'X'; ++stuck) {
          std::vector<uint8_t> bad = EvalSerial(inputs[v], n, stuck);
          for (uint32_t o = VarCount - OutCount; o < VarCount; ++o)
            if (bad[o] != good[o]) m = stuck ? '1' : '0';
        }
        ftable[v][n] = m;
        char& f = faults[n];
        if (f == 'X') f = m;
        else if ((f == '0' && m == '1') || (f == '1' && m == '0')) f = '&';
      }
      for (uint32_t i = 0; i < VarCount; ++i) vects[v][i] = good[i];
    }
    verbose_mode = 1;
    std::string base = dir + "/r" + std::to_string(trial);
    write_ag(base + ".agm");
    write_vec(base + ".expect", 0);
    vects = inputs;
    write_vec(base + ".tst", 7);  // inputs only, as a user would supply them
    verbose_mode = 0;
    std::string cmd = std::string(ANALYZE_PATH) + " " + base + " >/dev/null";
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    ASSERT_EQ(Slurp(base + ".tst"), Slurp(base + ".expect")) << "trial " << trial;
  }
}

}  // namespace
