#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "mudel.h"
#include "psimul.h"
#include "random_model.h"
#include "vector.h"

namespace {

// The detection rule of the simulator, pattern by pattern: a fault is
// detected when injecting it changes at least one primary output.
char ReferenceMark(const std::vector<unsigned char>& row, uint32_t node) {
  std::vector<uint8_t> good = EvalSerial(row);
  for (int stuck = 0; stuck < 2; ++stuck) {
    std::vector<uint8_t> bad = EvalSerial(row, node, stuck);
    for (uint32_t o = VarCount - OutCount; o < VarCount; ++o)
      if (good[o] != bad[o]) return stuck ? '1' : '0';
  }
  return 'X';
}

struct Shape {
  RandomModelShape model;
  uint32_t patterns;
  bool allow_x;
};

class PsimulRandom : public ::testing::TestWithParam<Shape> {};

TEST_P(PsimulRandom, MatchesSerialReference) {
  const Shape& s = GetParam();
  std::mt19937 rng(1234 + s.patterns + s.model.graphs);
  for (int trial = 0; trial < 20; ++trial) {
    MakeRandomModel(rng, s.model);
    vcount = s.patterns;
    alloc_vec();
    for (uint32_t v = 0; v < vcount; ++v) vects[v] = RandomRow(rng, s.allow_x);
    std::vector<std::vector<unsigned char>> inputs = vects;
    alloc_psimul();
    init_psimul();
    psimul();
    serial_vec();
    std::vector<char> expectFaults(NodCount, 'X');
    for (uint32_t v = 0; v < vcount; ++v) {
      std::vector<uint8_t> good = EvalSerial(inputs[v]);
      for (uint32_t i = 0; i < VarCount; ++i) ASSERT_EQ(vects[v][i], good[i]) << "pattern " << v << " var " << i;
      for (uint32_t n = 0; n < NodCount; ++n) {
        char m = ReferenceMark(inputs[v], n);
        ASSERT_EQ(ftable[v][n], m) << "trial " << trial << " pattern " << v << " node " << n;
        char& f = expectFaults[n];
        if (f == 'X') f = m;
        else if ((f == '0' && m == '1') || (f == '1' && m == '0')) f = '&';
      }
    }
    ASSERT_EQ(faults, expectFaults);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PsimulRandom,
    ::testing::Values(Shape{{3, 0, 4, 1, 3}, 1, false},     // one pattern
                      Shape{{5, 0, 12, 3, 5}, 31, true},    // below one word, 'x' inputs
                      Shape{{6, 2, 15, 2, 6}, 70, true},    // constants, partial last packet
                      Shape{{4, 1, 10, 4, 4}, 64, false},   // exact packets, many outputs
                      Shape{{8, 0, 30, 5, 8}, 100, true},   // deeper models
                      Shape{{2, 0, 5, 5, 3}, 33, false},    // every graph an output
                      Shape{{5, 1, 16, 3, 4}, 545, true}));  // past one block of packets

TEST(Psimul, NoOutputsDetectNothing) {
  std::mt19937 rng(7);
  MakeRandomModel(rng, {4, 0, 6, 0, 4});
  vcount = 40;
  alloc_vec();
  for (uint32_t v = 0; v < vcount; ++v) vects[v] = RandomRow(rng, false);
  alloc_psimul();
  init_psimul();
  psimul();
  for (const auto& row : ftable)
    for (char m : row) EXPECT_EQ(m, 'X');
}

TEST(Psimul, MergeKeepsEarlierMarksAndTreatsLowerXAsUndetected) {
  std::mt19937 rng(11);
  MakeRandomModel(rng, {3, 0, 4, 2, 3});
  vcount = 8;
  alloc_vec();
  for (uint32_t v = 0; v < vcount; ++v) vects[v] = RandomRow(rng, false);
  std::vector<std::vector<unsigned char>> inputs = vects;
  faults.assign(NodCount, 'x');
  faults[0] = '&';
  alloc_psimul();
  init_psimul();
  psimul();
  serial_vec();
  EXPECT_EQ(faults[0], '&');
  for (uint32_t n = 1; n < NodCount; ++n) {
    char first = 'X';
    for (uint32_t v = 0; v < vcount && first == 'X'; ++v) first = ftable[v][n];
    if (first == 'X') EXPECT_EQ(faults[n], 'X') << n;  // 'x' took the first mark, 'X'
    else EXPECT_NE(faults[n], 'x') << n;
  }
}

TEST(PsimulDeath, NoVectors) {
  std::mt19937 rng(3);
  MakeRandomModel(rng, {2, 0, 2, 1, 2});
  vcount = 0;
  EXPECT_EXIT(alloc_psimul(), ::testing::ExitedWithCode(14), "\nError: No test vectors found!\n");
}

}  // namespace

namespace {

// Runs the direct form and then the fast one, once with each instruction
// set this processor offers, on the current model and patterns and requires
// the same values, detection masks and table.
void ExpectFastMatchesPlain(const std::string& what) {
  alloc_psimul();
  init_psimul();
  psimul_plain();
  auto table = ftable;
  auto values = pvects;
  std::vector<FLIST> masks = flist;
  for (int level = 0; level <= 2; ++level) {
    if (psimul_limit_isa(level) != level) continue;
    std::string where = what + " instruction set " + std::to_string(level);
    // Graph columns keep their last values between runs, and a delayed
    // variable read before its graph is evaluated sees them: start afresh.
    alloc_psimul();
    init_psimul();
    psimul();
    ASSERT_TRUE(pvects == values) << where;
    for (size_t p = 0; p < masks.size(); ++p) {
      ASSERT_TRUE(flist[p].sa0 == masks[p].sa0) << where << " packet " << p;
      ASSERT_TRUE(flist[p].sa1 == masks[p].sa1) << where << " packet " << p;
    }
    ASSERT_TRUE(ftable == table) << where;
  }
  psimul_limit_isa(2);
}

// The fast simulator must give exactly the tables and values of the direct
// form, also on models that read delayed variables out of order.
TEST(Psimul, FastMatchesPlain) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 60; ++trial) {
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    RandomModelShape shape{1 + pick(8), pick(3), 1 + pick(40), 0, 1 + pick(7)};
    shape.outputs = pick(shape.graphs + 1);
    MakeRandomModel(rng, shape);
    if (trial % 3 == 0) {
      // Let some nodes test delayed variables of any graph, as sequential models do.
      for (uint32_t g = 0; g < GrpCount; g += 3) Vars[GraphVar(g)].v_flags |= VF_DELAYED;
      for (NodRec& n : Nods)
        if (rng() % 4 == 0) n.n_var = GraphVar((rng() % ((GrpCount + 2) / 3)) * 3);
    }
    vcount = 1 + rng() % 90;
    alloc_vec();
    for (uint32_t v = 0; v < vcount; ++v) vects[v] = RandomRow(rng, true);
    ExpectFastMatchesPlain("trial " + std::to_string(trial));
  }
}

// Degenerate models: no graphs (so no nodes), or no inputs at all.
TEST(Psimul, FastMatchesPlainWithoutGraphsOrInputs) {
  std::mt19937 rng(5);
  for (RandomModelShape shape : {RandomModelShape{3, 1, 0, 0, 1}, RandomModelShape{0, 2, 4, 1, 3},
                                 RandomModelShape{0, 0, 2, 2, 1}}) {
    MakeRandomModel(rng, shape);
    vcount = 40;
    alloc_vec();
    for (uint32_t v = 0; v < vcount; ++v) vects[v] = RandomRow(rng, true);
    ExpectFastMatchesPlain("inputs " + std::to_string(shape.inputs) + " graphs " + std::to_string(shape.graphs));
    serial_vec();
    EXPECT_EQ(faults.size(), NodCount);
  }
}

// Deep reconvergent models (each graph reads a few of the graphs just before
// it, so changes fan out and meet again) with pattern counts around the
// word and block boundaries, constants and 'x' inputs.
TEST(Psimul, FastMatchesPlainOnDeepModelsAcrossBlocks) {
  std::mt19937 rng(4242);
  const uint32_t counts[] = {1, 31, 32, 33, 511, 512, 513, 1000, 1025};
  for (uint32_t count : counts) {
    for (uint32_t trial = 0; trial < 3; ++trial) {
      RandomModelShape shape{6 + trial, trial, 60 + 20 * trial, 2 + 3 * trial, 3 + trial};
      MakeRandomModel(rng, shape);
      uint32_t firstOut = GrpCount - OutCount;
      for (uint32_t g = 1; g < GrpCount; ++g)
        for (uint32_t k = Grps[g].g_beg; k < Grps[g].g_beg + Grps[g].g_len; ++k)
          if (rng() % 4 != 0) {
            uint32_t back = 1 + rng() % std::min<uint32_t>(g, 4);
            if (g - back < firstOut) Nods[k].n_var = GraphVar(g - back);
          }
      vcount = count;
      alloc_vec();
      for (uint32_t v = 0; v < vcount; ++v) vects[v] = RandomRow(rng, trial != 0);
      ExpectFastMatchesPlain("patterns " + std::to_string(count) + " trial " + std::to_string(trial));
    }
  }
}

}  // namespace
