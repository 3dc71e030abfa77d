// The location gives the same result on the plain and the compact per-output
// table, and its exoneration follows the gate paths with the polarity
// swapped at inverting gates.
#include "locate.h"

#include <gtest/gtest.h>

#include <random>

#include "diagnosis.h"
#include "diagreport.h"
#include "fsimul.h"
#include "gatepaths.h"
#include "mudel.h"
#include "random.h"
#include "random_model.h"
#include "ssbdd_model.h"
#include "vector.h"

namespace {

struct Result {
  std::vector<std::vector<char>> outs;
  std::vector<unsigned char> nodes, gates;
};

// Flips output values of the "specification" (vects) at random.
Result Locate(int compact, int32_t s1, int32_t s2, const std::vector<std::vector<unsigned char>>& spec_rows) {
  out_fsimul_compact = compact;
  init_fsimul();
  init_out_fsimul();
  out_fsimul();
  vects = spec_rows;
  LocateGate_init();
  seed1 = s1;
  seed2 = s2;
  LocateGateWithSeed();
  Result r{FaultyOuts, FfreeNodes, FaultyGates};
  free_fsimul();
  out_fsimul_compact = 0;
  return r;
}

TEST(LocateGate, PlainAndCompactTablesGiveTheSameLocation) {
  std::mt19937 rng(31);
  for (int round = 0; round < 80; ++round) {
    SsbddShape shape;
    shape.inputs = 2 + rng() % 6;
    shape.graphs = 2 + rng() % 14;
    shape.outputs = 1 + rng() % 3;
    if (shape.outputs > shape.graphs) shape.outputs = shape.graphs;
    shape.max_leaves = 1 + rng() % 4;
    MakeSsbddModel(rng, shape);
    vcount = 1 + rng() % 12;
    alloc_vec();
    for (uint32_t j = 0; j < vcount; ++j) {
      std::vector<unsigned char> r = RandomRow(rng, false);
      std::copy(r.begin(), r.begin() + InpCount, vects[j].begin());
    }
    simul();
    std::vector<std::vector<unsigned char>> design_rows = vects, spec_rows = vects;
    for (auto& row : spec_rows)
      for (uint32_t v = VarCount - OutCount; v < VarCount; ++v)
        if (rng() % 4 == 0) row[v] ^= 1;
    DesignNodes = NodCount;
    GateCount = 1 + static_cast<int>(rng() % 8);
    GateType.assign(GateCount, GateEntry{});
    for (GateEntry& g : GateType) g.type = static_cast<char>(rng() % 5);
    NodeCount = static_cast<int>(NodCount);
    Node_Gate.assign(NodCount, NodePath{});
    for (NodePath& p : Node_Gate)
      for (uint32_t n = rng() % 4; n > 0; --n) p.gates.push_back(static_cast<int>(rng() % GateCount));
    int32_t s1 = static_cast<int32_t>(1 + rng() % 1000000), s2 = static_cast<int32_t>(1 + rng() % 1000000);
    vects = design_rows;
    Result plain = Locate(0, s1, s2, spec_rows);
    vects = design_rows;
    Result compact = Locate(1, s1, s2, spec_rows);
    ASSERT_EQ(plain.outs, compact.outs) << round;
    ASSERT_EQ(plain.nodes, compact.nodes) << round;
    ASSERT_EQ(plain.gates, compact.gates) << round;
    uint32_t suspected = 0;
    for (unsigned char g : plain.gates) suspected += g != 0;
    EXPECT_GE(suspected, std::min(5u, static_cast<uint32_t>(GateCount))) << round;
  }
}

// One node exonerated for stuck-at-1 (code 1) on the path INV -> AND:
// the INV's output value 0 and the AND's value 0 lose their suspicion.
TEST(LocateGate, ExonerationSwapsAtInvertingGates) {
  // a -> graph g (one node), output = g.
  InpCount = 1;
  ConCount = 0;
  GrpCount = 1;
  OutCount = 1;
  VarCount = 2;
  Vars = {VarRec{VF_INPUT}, VarRec{VF_OUTPUT}};
  VarNames = {"a", "y"};
  Nods = {NodRec{0, 0, {0, 0}}};
  Grps = {GrpRec{0, 1}};
  NodCount = 1;
  NodNames = {"a"};
  vcount = 1;
  alloc_vec();
  vects[0][0] = 0;  // a = 0: the node's stuck-at-1 shows at y
  simul();
  DesignNodes = 1;
  GateCount = 2;
  GateType = {GateEntry{"inv", 0}, GateEntry{"and", 4}};
  NodeCount = 1;
  Node_Gate = {NodePath{{0, 1}}};
  std::vector<std::vector<unsigned char>> same = vects;
  Result r = Locate(1, 1, 1, same);
  EXPECT_EQ(r.nodes[0], 1);
  // inv: code 1 swapped to 2 (value 0) cleared, value 1 left; and: the same.
  EXPECT_EQ(r.gates[0], 1);
  EXPECT_EQ(r.gates[1], 1);
}

}  // namespace
