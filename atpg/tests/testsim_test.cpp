// Tie rules and verdicts of the two-machine simulator and the search helpers
// on small hand-built models.
#include <gtest/gtest.h>

#include "messages.h"
#include "mudel.h"
#include "podem.h"
#include "testsim.h"
#include "vector.h"

namespace {

struct N {
  uint32_t var, inv, d0, d1;
};

// Inputs first, no constants, then the graphs; the last `outs` are outputs.
void Model(uint32_t inputs, const std::vector<std::vector<N>>& graphs, uint32_t outs) {
  InpCount = inputs;
  ConCount = 0;
  GrpCount = static_cast<uint32_t>(graphs.size());
  OutCount = outs;
  VarCount = InpCount + GrpCount;
  Vars.assign(VarCount, VarRec{0});
  VarNames.assign(VarCount, "v");
  Nods.clear();
  Grps.clear();
  for (const auto& g : graphs) {
    Grps.push_back(GrpRec{static_cast<uint32_t>(Nods.size()), static_cast<uint32_t>(g.size())});
    for (const N& n : g) Nods.push_back(NodRec{n.inv, n.var, {n.d0, n.d1}});
  }
  NodCount = static_cast<uint32_t>(Nods.size());
  NodNames.assign(NodCount, "n");
  verbose_mode = 1;  // no progress lines in test output
  vcount = 2;
  alloc_vec();
  tg_preprocess();
  alloc_testsimul();
  init_testsimul();
}

void Fault(uint32_t node, uint32_t graph, uint32_t stuck) {
  CurrentNode = node;
  CurrentGraph = graph;
  CurrentFault = stuck;
  RealFault = (Nods[node].n_flags & 1) ? 1 - stuck : stuck;
  for (uint32_t r : {GoodRow(), FaultyRow()})
    for (uint32_t v = 0; v < VarCount; ++v) vects[r][v] = 'x';
  SetInitialEvents();
}

void Set(uint32_t var, unsigned char value) {
  vects[GoodRow()][var] = value;
  vects[FaultyRow()][var] = value;
  SetEvent(var);
}

}  // namespace

// o = a.b with the fault on node a.
TEST(Testsim, SiteOnInputWaitsForItsValue) {
  Model(2, {{{0, 0, 0, 1}, {1, 0, 0, 0}}}, 1);
  Fault(0, 0, 0);
  EXPECT_EQ(testsimul(), 0);
  EXPECT_EQ(vects[GoodRow()][2], 'x');  // nothing evaluated yet
  Set(0, 0);
  EXPECT_EQ(testsimul(), 1);  // the good machine holds the stuck value
  Set(0, 1);
  EXPECT_EQ(testsimul(), 3);  // activated, b still unknown
  Set(1, 1);
  EXPECT_EQ(testsimul(), 2);
}

// g = a + b feeds o = g.c; the fault sits on node c of o.
TEST(Testsim, OrWithOneKnownInputIsOne) {
  Model(3, {{{0, 0, 1, 0}, {1, 0, 0, 0}}, {{3, 0, 0, 1}, {2, 0, 0, 0}}}, 1);
  Fault(3, 1, 0);
  Set(2, 1);  // activates the site, so the simulation goes past it
  Set(1, 1);
  testsimul();
  EXPECT_EQ(vects[GoodRow()][3], 1);
  Set(1, 0);
  testsimul();
  EXPECT_EQ(vects[GoodRow()][3], 'x');
}

// Node 0 (a) reaches the target node 2 by both edges: the larger successor wins.
TEST(Podem, ActivatePathPrefersLargerSuccessor) {
  Model(3, {{{0, 0, 2, 1}, {1, 0, 0, 2}, {2, 0, 0, 0}}}, 1);
  Fault(2, 0, 0);
  backtraceVar = -1;
  EXPECT_EQ(ActivatePath(0, 2), 1);
  EXPECT_EQ(backtraceVar, 0);
  EXPECT_EQ(backtraceValue, 0u);
}

// g0 = a fans out to g1 = g0.b and g2 = g0.c, read by the outputs o1, o2:
// the D-frontier offers the last reader of the list first, then the earlier.
TEST(Podem, FindDfrontTakesLastReaderFirst) {
  Model(3,
        {{{0, 0, 0, 0}},
         {{3, 0, 0, 1}, {1, 0, 0, 0}},
         {{3, 0, 0, 1}, {2, 0, 0, 0}},
         {{4, 0, 0, 0}},
         {{5, 0, 0, 0}}},
        2);
  Fault(0, 0, 0);
  Set(0, 1);
  ASSERT_EQ(testsimul(), 3);
  ASSERT_EQ(InitialObjectiveOK(), 1);
  D_pointer = -1;
  EXPECT_EQ(FindDfront(), 2);
  EXPECT_EQ(FindDfront(), 1);
  EXPECT_EQ(FindDfront(), -1);
}

// y = a.b + a: node b of a.b stuck-at-0 is redundant; proving it takes a
// backtrack, so with no backtracks allowed the fault is aborted instead.
TEST(Podem, LimitIsCheckedBeforeTheStack) {
  Model(2, {{{0, 0, 0, 1}, {1, 0, 0, 0}}, {{2, 0, 1, 0}, {0, 0, 0, 0}}}, 1);
  BacktrackLim = 10;
  Fault(1, 0, 0);
  EXPECT_EQ(ag_podem(), 1);
  BacktrackLim = 0;
  Fault(1, 0, 0);
  EXPECT_EQ(ag_podem(), 2);
  BacktrackLim = 10;
  Fault(2, 1, 1);  // g stuck-at-1: a = 0 is a test
  EXPECT_EQ(ag_podem(), 0);
  EXPECT_EQ(vects[GoodRow()][0], 0);
}
