// The search's verdicts checked against exhaustive serial simulation on small
// synthesised-looking models: a test must detect its fault whatever the
// unassigned inputs hold, and an untestable fault must be detected by no
// input pattern at all.
#include <gtest/gtest.h>

#include <random>

#include "fsimul.h"
#include "generator.h"
#include "messages.h"
#include "mudel.h"
#include "podem.h"
#include "random_model.h"
#include "ssbdd_model.h"
#include "testsim.h"
#include "vector.h"

namespace {

void Prepare(uint32_t pattern_rows) {
  VectorLim = pattern_rows;
  verbose_mode = 1;  // no progress lines in test output
  vcount = VectorLim + 2;
  alloc_vec();
  tg_preprocess();
  alloc_testsimul();
  init_testsimul();
  init_fsimul();
}

bool Detects(const std::vector<unsigned char>& inputs, uint32_t node, uint32_t real_fault) {
  std::vector<unsigned char> row(VarCount, 0);
  std::copy(inputs.begin(), inputs.begin() + InpCount, row.begin());
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) row[i] = (Vars[i].v_flags & VF_CONST0) ? 0 : 1;
  std::vector<uint8_t> good = EvalSerial(row);
  std::vector<uint8_t> bad = EvalSerial(row, node, static_cast<int>(real_fault));
  for (uint32_t v = VarCount - OutCount; v < VarCount; ++v)
    if (good[v] != bad[v]) return true;
  return false;
}

bool Testable(uint32_t node, uint32_t real_fault) {
  std::vector<unsigned char> in(InpCount, 0);
  for (uint64_t p = 0; p < (uint64_t{1} << InpCount); ++p) {
    for (uint32_t i = 0; i < InpCount; ++i) in[i] = (p >> i) & 1;
    if (Detects(in, node, real_fault)) return true;
  }
  return false;
}

// Runs the search for one fault the way the fault loop sets it up.
int Search(uint32_t node, uint32_t graph, uint32_t stuck) {
  CurrentNode = node;
  CurrentGraph = graph;
  CurrentFault = stuck;
  RealFault = (Nods[node].n_flags & 1) ? 1 - stuck : stuck;
  for (uint32_t r : {GoodRow(), FaultyRow()}) {
    for (uint32_t i = 0; i < InpCount; ++i) vects[r][i] = 'x';
    for (uint32_t v = InpCount + ConCount; v < VarCount; ++v) vects[r][v] = 'x';
  }
  SetInitialEvents();
  return ag_podem();
}

}  // namespace

TEST(Search, VerdictsAgreeWithExhaustiveSimulation) {
  std::mt19937 rng(2024);
  int tests = 0, untestable = 0;
  for (int round = 0; round < 150; ++round) {
    SsbddShape s;
    s.inputs = 1 + rng() % 7;
    s.constants = rng() % 3;
    s.graphs = 1 + rng() % 10;
    s.outputs = 1 + rng() % std::min<uint32_t>(3, s.graphs);
    s.max_leaves = 1 + rng() % 5;
    MakeSsbddModel(rng, s);
    Prepare(4);
    BacktrackLim = 1000000;  // no aborts: every verdict is final
    uint32_t graph = 0;
    for (uint32_t node = 0; node < NodCount; ++node) {
      while (node >= Grps[graph].g_beg + Grps[graph].g_len) ++graph;
      for (uint32_t stuck = 0; stuck < 2; ++stuck) {
        int r = Search(node, graph, stuck);
        ASSERT_NE(r, 2) << "round " << round << " node " << node;
        if (r == 1) {
          ++untestable;
          ASSERT_FALSE(Testable(node, RealFault)) << "round " << round << " node " << node << " sa-" << RealFault;
          continue;
        }
        ++tests;
        // Every completion of the unassigned inputs must detect the fault.
        std::vector<unsigned char> t(vects[GoodRow()].begin(), vects[GoodRow()].begin() + InpCount);
        for (int fill = 0; fill < 8; ++fill) {
          std::vector<unsigned char> in = t;
          for (unsigned char& v : in)
            if (v == 'x') v = rng() & 1;
          ASSERT_TRUE(Detects(in, node, RealFault)) << "round " << round << " node " << node;
        }
      }
    }
  }
  EXPECT_GT(tests, 0);
  EXPECT_GT(untestable, 0);
}

// The fault loop resets the rows through ResetMachines, which lets a
// backtrack put the graph values back instead of simulating its way there;
// the search set up without it simulates every step.  Both must take the
// same steps: the same verdicts, backtracks and test inputs, fault by fault.
TEST(Search, BacktrackingByRestoreTakesTheSimulatedSteps) {
  std::mt19937 rng(77);
  uint64_t backtracks = 0;
  for (int round = 0; round < 150; ++round) {
    SsbddShape s;
    s.inputs = 2 + rng() % 8;
    s.constants = rng() % 3;
    s.graphs = 2 + rng() % 16;
    s.outputs = 1 + rng() % std::min<uint32_t>(3, s.graphs);
    s.max_leaves = 1 + rng() % 5;
    MakeSsbddModel(rng, s);
    for (uint32_t limit : {3u, 1000000u}) {
      BacktrackLim = limit;
      struct Step {
        int verdict;
        uint32_t backtracks;
        std::vector<unsigned char> inputs;
      };
      std::vector<Step> simulated, restored;
      for (int restoring = 0; restoring < 2; ++restoring) {
        Prepare(4);  // rows not yet reset through ResetMachines
        uint32_t graph = 0;
        for (uint32_t node = 0; node < NodCount; ++node) {
          while (node >= Grps[graph].g_beg + Grps[graph].g_len) ++graph;
          for (uint32_t stuck = 0; stuck < 2; ++stuck) {
            int r;
            if (restoring) {
              CurrentNode = node;
              CurrentGraph = graph;
              CurrentFault = stuck;
              RealFault = (Nods[node].n_flags & 1) ? 1 - stuck : stuck;
              ResetMachines();
              SetInitialEvents();
              r = ag_podem();
            } else {
              r = Search(node, graph, stuck);
            }
            (restoring ? restored : simulated)
                .push_back(Step{r, backtrack_count,
                                std::vector<unsigned char>(vects[GoodRow()].begin(),
                                                           vects[GoodRow()].begin() + InpCount)});
          }
        }
      }
      ASSERT_EQ(simulated.size(), restored.size());
      for (size_t i = 0; i < simulated.size(); ++i) {
        ASSERT_EQ(simulated[i].verdict, restored[i].verdict) << "round " << round << " fault " << i;
        ASSERT_EQ(simulated[i].backtracks, restored[i].backtracks) << "round " << round << " fault " << i;
        ASSERT_EQ(simulated[i].inputs, restored[i].inputs) << "round " << round << " fault " << i;
        backtracks += restored[i].backtracks;
      }
    }
  }
  EXPECT_GT(backtracks, 1000u);  // the restoring way back was taken often
}

// With the default backtrack limit the fault loop never hits the coverage
// check of a stored pattern, and its summary figures agree with the marks.
TEST(Search, FaultLoopOnRandomModelsKeepsItsInvariants) {
  std::mt19937 rng(99);
  uint32_t untestable_seen = 0;
  for (int round = 0; round < 60; ++round) {
    SsbddShape s;
    s.inputs = 2 + rng() % 7;
    s.constants = rng() % 2;
    s.graphs = 4 + rng() % 30;
    s.outputs = 1 + rng() % 4;
    MakeSsbddModel(rng, s);
    Prepare(200);
    BacktrackLim = 10;
    TPFFlag = 0;
    redundant_file = tmpfile();
    testing::internal::CaptureStdout();
    ASSERT_EQ(generate(), GenerateEnd::Done);
    testing::internal::GetCapturedStdout();
    // Re-simulate the stored patterns without dropping: the status must match.
    std::vector<char> status = faults;
    vcount = vektoreid;
    for (char& f : faults) f = 'X';
    ResetFsimulDropping();
    fsimul();
    EXPECT_EQ(std::string(status.begin(), status.end()), std::string(faults.begin(), faults.end()));
    // Every fault of the untestable list is detected by no input pattern.
    rewind(redundant_file);
    char line[256];
    uint32_t listed = 0;
    while (fgets(line, sizeof line, redundant_file)) {
      unsigned node = 0, value = 0;
      char name[200];
      ASSERT_EQ(sscanf(line, "Node %u (%199[^)]): sa-%u", &node, name, &value), 3) << line;
      ASSERT_EQ(NodNames[node], name);
      ASSERT_FALSE(Testable(node, value)) << "round " << round << ": " << line;
      ++listed;
    }
    fclose(redundant_file);
    untestable_seen += listed;
  }
  EXPECT_GT(untestable_seen, 0u);
}
