// Per-output fault simulation against a brute-force serial reference on
// random models with fan-out and several outputs, in both table forms.
#include "diagnosis.h"

#include <gtest/gtest.h>

#include <random>

#include "fsimul.h"
#include "mudel.h"
#include "random_model.h"
#include "ssbdd_model.h"
#include "vector.h"

namespace {

void RandomRows(std::mt19937& rng, uint32_t rows) {
  vcount = rows;
  alloc_vec();
  for (uint32_t j = 0; j < vcount; ++j) {
    std::vector<unsigned char> r = RandomRow(rng, true);
    std::copy(r.begin(), r.begin() + InpCount, vects[j].begin());
  }
}

// Mark of (o, j, node) by serial simulation of the whole model with the fault.
char Reference(uint32_t o, uint32_t j, uint32_t k, const std::vector<uint8_t>& good) {
  int stuck = good[Nods[k].n_var] ? 0 : 1;
  std::vector<uint8_t> bad = EvalSerial(vects[j], k, stuck);
  uint32_t v = VarCount - OutCount + o;
  return bad[v] != good[v] ? static_cast<char>('0' + stuck) : 'X';
}

void CheckRound(std::mt19937& rng, int round) {
  init_fsimul();
  // Untouched by the per-output simulation.
  for (char& f : faults) f = 'X';
  std::vector<std::vector<char>> table_before = ftable;
  out_fsimul_compact = 0;
  init_out_fsimul();
  out_fsimul();
  std::vector<char> plain = out_ftable;
  std::vector<std::vector<char>> etalon = etalon_outputs;
  out_fsimul_compact = 1;
  init_out_fsimul();
  out_fsimul();
  ASSERT_EQ(etalon, etalon_outputs);
  ASSERT_EQ(ftable, table_before);
  ASSERT_EQ(std::string(faults.begin(), faults.end()), std::string(NodCount, 'X'));
  for (uint32_t j = 0; j < vcount; ++j) {
    std::vector<uint8_t> good = EvalSerial(vects[j]);
    for (uint32_t o = 0; o < OutCount; ++o) {
      ASSERT_EQ(etalon_outputs[j][o], good[VarCount - OutCount + o] ? '1' : '0');
      for (uint32_t k = 0; k < NodCount; ++k) {
        char want = Reference(o, j, k, good);
        ASSERT_EQ(plain[OutIndex(o, j, k)], want) << "round " << round << " out " << o << " row " << j << " node " << k;
        ASSERT_EQ(OutMark(o, j, k), want) << "compact, round " << round;
      }
    }
  }
  out_fsimul_compact = 0;
  free_fsimul();
  (void)rng;
}

TEST(OutFsimul, MatchesSerialReferenceOnRandomModels) {
  std::mt19937 rng(21);
  for (int round = 0; round < 60; ++round) {
    RandomModelShape shape;
    shape.inputs = 1 + rng() % 6;
    shape.constants = rng() % 3;
    shape.graphs = 1 + rng() % 14;
    shape.outputs = 1 + rng() % shape.graphs;
    shape.max_len = 1 + rng() % 6;
    MakeRandomModel(rng, shape);
    RandomRows(rng, 1 + rng() % 9);
    CheckRound(rng, round);
  }
}

TEST(OutFsimul, MatchesSerialReferenceOnSynthesisedLikeModels) {
  std::mt19937 rng(22);
  for (int round = 0; round < 60; ++round) {
    SsbddShape shape;
    shape.inputs = 2 + rng() % 6;
    shape.graphs = 3 + rng() % 16;
    shape.outputs = 1 + rng() % 4;
    if (shape.outputs > shape.graphs) shape.outputs = shape.graphs;
    shape.max_leaves = 1 + rng() % 5;
    shape.graph_leaf_percent = 70;
    MakeSsbddModel(rng, shape);
    RandomRows(rng, 1 + rng() % 12);
    CheckRound(rng, round);
  }
}

// A fault seen at two outputs is marked in both tables; an output graph's
// own nodes only in its own.  Model: b = a; o1 = b; o2 = b AND c.
TEST(OutFsimul, FanOutToTwoOutputs) {
  InpCount = 2;
  ConCount = 0;
  GrpCount = 3;
  OutCount = 2;
  VarCount = 5;
  Vars.assign(VarCount, VarRec{0});
  Vars[0].v_flags = Vars[1].v_flags = VF_INPUT;
  Vars[3].v_flags = Vars[4].v_flags = VF_OUTPUT;
  VarNames = {"a", "c", "b", "o1", "o2"};
  Nods = {NodRec{0, 0, {0, 0}}, NodRec{0, 2, {0, 0}}, NodRec{0, 2, {0, 1}}, NodRec{0, 1, {0, 0}}};
  Grps = {GrpRec{0, 1}, GrpRec{1, 1}, GrpRec{2, 2}};
  NodCount = 4;
  NodNames.assign(NodCount, "n");
  vcount = 1;
  alloc_vec();
  vects[0][0] = 1;
  vects[0][1] = 1;
  init_fsimul();
  init_out_fsimul();
  out_fsimul();
  EXPECT_EQ(OutMark(0, 0, 0), '0');
  EXPECT_EQ(OutMark(1, 0, 0), '0');
  EXPECT_EQ(OutMark(0, 0, 1), '0');
  EXPECT_EQ(OutMark(1, 0, 1), 'X');
  EXPECT_EQ(OutMark(0, 0, 3), 'X');
  EXPECT_EQ(OutMark(1, 0, 3), '0');
  EXPECT_EQ(etalon_outputs[0][0], '1');
  EXPECT_EQ(etalon_outputs[0][1], '1');
  free_fsimul();
}

}  // namespace
