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

// The delay marks of a stuck-at table: a detection becomes the direction of
// the node's line between the previous pattern and this one, or 'X' when
// the line did not change; the first pattern has no predecessor.
void ExpectDelayMarks() {
  std::vector<std::vector<char>> table = ftable;
  faults.assign(NodCount, 'X');
  for (uint32_t v = 0; v < vcount; ++v)
    for (uint32_t n = 0; n < NodCount; ++n) {
      char& m = ftable[v][n];
      if (v == 0 || m == 'X') {
        m = 'X';
        continue;
      }
      unsigned char now = vects[v][Nods[n].n_var], before = vects[v - 1][Nods[n].n_var];
      bool line = (now == 1) != (Nods[n].n_flags & 1);
      m = now == before ? 'X' : line ? '/' : '\\';
      char& f = faults[n];
      if (f == 'X') f = m;
      else if ((f == '/' && m == '\\') || (f == '\\' && m == '/')) f = '&';
    }
}

TEST(AnalyzeProgram, WritesTheSerialDetectionResultsByteForByte) {
  char tmpl[] = "/tmp/analyzeXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::mt19937 rng(2024);
  // Pattern counts below, at and past the 32-pattern words and the blocks of
  // packets that the simulator takes at once.
  const uint32_t counts[] = {1, 17, 32, 45, 64, 80, 511, 513, 600};
  for (uint32_t trial = 0; trial < 9; ++trial) {
    RandomModelShape shape{3 + trial, trial % 3, 10 + 4 * trial, 1 + trial % 4, 5};
    MakeRandomModel(rng, shape);
    vcount = counts[trial];
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
    ExpectDelayMarks();
    write_vec(base + ".delay", 5);
    vects = inputs;
    write_vec(base + ".in", 7);  // inputs only, as a user would supply them
    verbose_mode = 0;
    for (const char* model : {"stuck_at", "delay"}) {
      std::string cmd = std::string(ANALYZE_PATH) + " -model " + model + " -extension in " + base + " >/dev/null";
      ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
      std::string expect = base + (model[0] == 'd' ? ".delay" : ".expect");
      ASSERT_EQ(Slurp(base + ".tst"), Slurp(expect)) << model << " trial " << trial;
    }
  }
}

}  // namespace
