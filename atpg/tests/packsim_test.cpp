// The word-parallel package simulation against the single-fault simulator it
// stands for (dropping on and status update off, and the reverse), and the
// random and genetic generators run on either.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fsimul.h"
#include "gasearch.h"
#include "messages.h"
#include "mudel.h"
#include "packsim.h"
#include "random.h"
#include "random_model.h"
#include "randtest.h"
#include "ssbdd_model.h"
#include "vector.h"

namespace {

// The two kinds of model the batch tests draw: arbitrary graphs (forward
// edges, shared successors) and synthesised-like ones.
void MakeSmallRandomModel(std::mt19937& rng) {
  RandomModelShape shape;
  shape.inputs = 1 + rng() % 12;
  shape.constants = rng() % 3;
  shape.graphs = 1 + rng() % 40;
  shape.outputs = 1 + rng() % std::min<uint32_t>(shape.graphs, 6);
  shape.max_len = 1 + rng() % 7;
  MakeRandomModel(rng, shape);
}

void MakeSmallSsbddModel(std::mt19937& rng) {
  SsbddShape shape;
  shape.inputs = 4 + rng() % 30;
  shape.constants = rng() % 2;
  shape.graphs = 20 + rng() % 150;
  shape.outputs = 1 + rng() % 10;
  shape.max_leaves = 2 + rng() % 8;
  MakeSsbddModel(rng, shape);
}

// A status that mixes every mark, 'x' (not detected, read from a file)
// included; share_x in percent of 'X'.
std::vector<char> RandomStatus(std::mt19937& rng, uint32_t share_x) {
  const char others[] = {'0', '1', '&', 'x'};
  std::vector<char> s(NodCount);
  for (char& c : s) c = rng() % 100 < share_x ? 'X' : others[rng() % 4];
  return s;
}

// Fresh test data of `rows` random rows (with 'x' inputs when allow_x) and a
// random status.
void RandomTest(std::mt19937& rng, uint32_t rows, uint32_t share_x, bool allow_x) {
  verbose_mode = 1;
  functionals = 0;
  vcount = rows;
  alloc_vec();
  for (auto& row : vects) row = RandomRow(rng, allow_x);
  faults = RandomStatus(rng, share_x);
}

// Both forms over the same rows and status, with dropping on and update off
// (Simulate) or the other way round (SimulateAll): every column of every row,
// every fault-table row, the counts and the status must agree.
void ExpectSameAsFsimul(std::mt19937& rng, uint32_t rows, uint32_t share_x, bool allow_x, bool dropping,
                        const std::string& what) {
  RandomTest(rng, rows, share_x, allow_x);
  // Leftovers of an earlier package in the table.
  for (auto& row : ftable)
    for (char& m : row) m = "X01"[rng() % 3];
  const auto rows_in = vects;
  const auto status = faults;

  init_fsimul();
  if (dropping) {
    SetFsimulDropping();
    no_fsimul_faults_update();
  }
  fsimul();
  const auto ref_vects = vects;
  const auto ref_table = ftable;
  const auto ref_status = faults;

  vects = rows_in;
  faults = status;
  for (auto& row : ftable)
    for (char& m : row) m = "X01"[rng() % 3];
  std::vector<uint32_t> counts(rows, 12345);
  PackSimulator sim;
  if (dropping) {
    sim.Simulate(counts);
  } else {
    sim.SimulateAll();
  }
  free_fsimul();
  EXPECT_EQ(vects, ref_vects) << what;
  EXPECT_EQ(faults, ref_status) << what;
  for (uint32_t r = 0; r < rows; ++r) {
    ASSERT_EQ(ftable[r], ref_table[r]) << what << ", row " << r;
    if (dropping) {
      EXPECT_EQ(counts[r], CountNewFaults(ref_table[r], status)) << what << ", row " << r;
    }
  }
}

void ExpectSameAsFsimul(std::mt19937& rng, uint32_t rows, uint32_t share_x, bool allow_x, const std::string& what) {
  ExpectSameAsFsimul(rng, rows, share_x, allow_x, true, what + " (dropping)");
  ExpectSameAsFsimul(rng, rows, share_x, allow_x, false, what + " (every fault)");
}

// The deterministic generator's batches: rows added a few at a time, some
// faults asked about after each (Detecting), and the rows simulated together
// now and then (SimulateNew).  Against the single-fault simulator: a lookup
// gives exactly the rows that detect the fault (fsimul without dropping),
// and rows, fault table and status after the batches are those of
// fsimul_one on each row in turn with dropping and update on.
void ExpectBatchesSameAsFsimulOne(std::mt19937& rng, uint32_t rows, uint32_t share_x, bool allow_x, bool table,
                                  const std::string& what) {
  RandomTest(rng, rows, share_x, allow_x);
  const auto rows_in = vects;
  const auto status = faults;

  init_fsimul();
  no_fsimul_faults_update();
  fsimul();
  const auto detects = ftable;  // every fault each row detects
  vects = rows_in;
  faults = status;
  for (auto& row : ftable) std::fill(row.begin(), row.end(), 'X');
  SetFsimulDropping();
  set_fsimul_faults_update();
  for (uint32_t r = 0; r < rows; ++r) fsimul_one(r);
  const auto ref_vects = vects;
  const auto ref_table = ftable;
  const auto ref_status = faults;

  vects = rows_in;
  faults = status;
  for (auto& row : ftable) std::fill(row.begin(), row.end(), 'X');
  PackSimulator sim;
  const uint32_t batch = sim.BatchRows();
  uint32_t first = 0, count = 0;
  for (uint32_t r = 0; r < rows; ++r) {
    ++count;
    // Now and then a row joins unasked, so that a batch also grows by two.
    for (int q = 0; q < 6 && rng() % 3 != 0; ++q) {
      const uint32_t node = rng() % NodCount;
      const char mark = "01"[rng() % 2];
      uint32_t expect = 0;
      for (uint32_t j = 0; j < count; ++j)
        if (detects[first + j][node] == mark) expect |= 1u << j;
      ASSERT_EQ(sim.Detecting(first, count, node, mark), expect) << what << ", node " << node << " " << mark;
    }
    if (count == batch || rng() % 5 == 0) {
      sim.SimulateNew(first, count, table);
      first += count;
      count = 0;
    }
  }
  if (count > 0) sim.SimulateNew(first, count, table);
  free_fsimul();
  EXPECT_EQ(vects, ref_vects) << what;
  EXPECT_EQ(faults, ref_status) << what;
  // Without the table its rows stay as they were.
  for (uint32_t r = 0; r < rows; ++r)
    ASSERT_EQ(ftable[r], table ? ref_table[r] : std::vector<char>(NodCount, 'X')) << what << ", row " << r;
}

}  // namespace

// Batches of the deterministic generator on arbitrary and synthesised-like
// graphs, with constants and 'x' inputs.
TEST(PackSimulator, BatchesSameAsOneRowAtATime) {
  std::mt19937 rng(2712);
  for (int trial = 0; trial < 30; ++trial) {
    MakeSmallRandomModel(rng);
    for (uint32_t rows : {1u, 33u, 70u})
      ExpectBatchesSameAsFsimulOne(rng, rows, trial % 2 ? 100 : 50, trial % 3 == 0, trial % 4 != 0, "random model");
  }
  for (int trial = 0; trial < 15; ++trial) {
    MakeSmallSsbddModel(rng);
    ExpectBatchesSameAsFsimulOne(rng, 80, trial % 2 ? 100 : 70, false, trial % 3 != 0, "ssbdd model");
  }
}

// Arbitrary graphs (forward edges, shared successors) and synthesised-like
// ones, with constants, 'x' inputs, and row counts around the 32-pattern word.
TEST(PackSimulator, SameRowsAsSingleFaultSimulation) {
  std::mt19937 rng(1201);
  for (int trial = 0; trial < 40; ++trial) {
    MakeSmallRandomModel(rng);
    for (uint32_t rows : {1u, 31u, 32u, 33u, 100u})
      ExpectSameAsFsimul(rng, rows, trial % 2 ? 100 : 50, trial % 3 == 0, "random model");
  }
  for (int trial = 0; trial < 20; ++trial) {
    MakeSmallSsbddModel(rng);
    for (uint32_t rows : {32u, 64u, 70u}) ExpectSameAsFsimul(rng, rows, trial % 2 ? 100 : 70, false, "ssbdd model");
  }
}

// A single graph that is an output, and a model with no undetected fault.
TEST(PackSimulator, OneOutputGraphAndNothingLeft) {
  std::mt19937 rng(12);
  RandomModelShape shape;
  shape.inputs = 6;
  shape.graphs = 1;
  shape.outputs = 1;
  shape.max_len = 6;
  MakeRandomModel(rng, shape);
  ExpectSameAsFsimul(rng, 32, 100, true, "one graph");
  shape.graphs = 20;
  shape.outputs = 3;
  MakeRandomModel(rng, shape);
  ExpectSameAsFsimul(rng, 40, 0, false, "no undetected fault");
}

// A model whose nodes read a delayed variable is left to fsimul.
TEST(PackSimulator, DelayedVariablesUseTheSingleFaultSimulator) {
  std::mt19937 rng(7);
  RandomModelShape shape;
  shape.inputs = 5;
  shape.graphs = 12;
  shape.outputs = 2;
  MakeRandomModel(rng, shape);
  for (uint32_t i = 0; i < InpCount; ++i) Vars[i].v_flags |= VF_DELAYED;
  ExpectSameAsFsimul(rng, 32, 100, false, "delayed inputs");
}

namespace {

RandomResult RunPackages(RandomParams p, uint32_t rows, bool plain, const std::vector<char>& status,
                         std::vector<char>& final_status, std::pair<int32_t, int32_t>& streams) {
  verbose_mode = 1;
  seed1 = 16777215;
  seed2 = 255;
  functionals = 0;
  vcount = rows;
  alloc_vec();
  init_fsimul();
  SetFsimulDropping();
  no_fsimul_faults_update();
  faults = status;
  p.plain_simulation = plain;
  RandomResult r = RandomPackages(p);
  final_status = faults;
  streams = {seed1, seed2};
  free_fsimul();
  return r;
}

}  // namespace

// The whole package loop keeps the same rows in the same order, reaches the
// same status and leaves the shared random streams where the plain run does.
TEST(PackSimulator, RandomPackagesKeepTheSameRows) {
  std::mt19937 rng(4242);
  for (int trial = 0; trial < 8; ++trial) {
    SsbddShape shape;
    shape.inputs = 8 + 9 * trial;
    shape.constants = trial % 2;
    shape.graphs = 60 + 30 * trial;
    shape.outputs = 4 + trial;
    shape.max_leaves = 6;
    MakeSsbddModel(rng, shape);
    std::vector<char> start(NodCount, 'X');
    if (trial % 3 == 1) start = RandomStatus(rng, 80);
    for (uint32_t rows : {32u, 96u}) {
      RandomParams p;
      p.packages = 40;
      p.failure_limit = 4;
      p.criterion = trial % 4 == 3 ? 2 : 1;
      p.select_max = trial % 4 == 2 ? 0 : 32;
      std::vector<char> s_fast, s_plain;
      std::pair<int32_t, int32_t> r_fast, r_plain;
      RandomResult fast = RunPackages(p, rows, false, start, s_fast, r_fast);
      RandomResult plain = RunPackages(p, rows, true, start, s_plain, r_plain);
      EXPECT_EQ(fast.kept, plain.kept) << "trial " << trial << ", rows " << rows;
      EXPECT_EQ(fast.tested, plain.tested);
      EXPECT_EQ(s_fast, s_plain);
      EXPECT_EQ(r_fast, r_plain);
      EXPECT_FALSE(fast.kept.empty());
    }
  }
}

// The genetic search stores the same rows over the same generations, with
// populations of one pair, one word, and more than a word.
TEST(PackSimulator, GeneticSearchStoresTheSameRows) {
  verbose_mode = 1;
  std::mt19937 rng(31);
  for (int trial = 0; trial < 6; ++trial) {
    SsbddShape shape;
    shape.inputs = 10 + 11 * trial;
    shape.constants = trial % 2;
    shape.graphs = 80 + 40 * trial;
    shape.outputs = 5 + trial;
    shape.max_leaves = 6;
    MakeSsbddModel(rng, shape);
    for (uint32_t popul : {2u, 32u, 34u, 70u}) {
      GeneticParams p;
      p.popul_size = popul;
      p.max_generations = 150;
      p.timeout = 1;
      const GeneticSeeds seeds{1765000000 + trial, -1765000000 - static_cast<int32_t>(popul)};
      GeneticResult fast = GeneticSearch(p, seeds);
      p.plain_simulation = true;
      GeneticResult plain = GeneticSearch(p, seeds);
      EXPECT_EQ(fast.stored, plain.stored) << "trial " << trial << ", population " << popul;
      EXPECT_EQ(fast.generations, plain.generations);
      EXPECT_FALSE(fast.stored.empty());
    }
  }
}
