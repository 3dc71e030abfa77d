// The formula simulator against the word-parallel one, in process, on random
// models: whole and sliced topologies, with and without the early stop of a
// root's list, in blocks of words and word by word, with dropping and
// statistics.
#include <gtest/gtest.h>

#include <random>

#include "messages.h"
#include "mudel.h"
#include "npsimul.h"
#include "psimul.h"
#include "random_model.h"
#include "topology.h"
#include "vector.h"

namespace {

struct Result {
  std::vector<std::vector<char>> table;
  std::vector<char> faults;
  std::vector<std::vector<unsigned char>> values;
  std::vector<uint64_t> stats0, stats1;
};

struct SimRun {
  unsigned mode;      // SIM_DROP, SIM_TABLE, SIM_STATS
  uint32_t slices;    // 0: whole topology
  unsigned build;     // BUILD_SLICE or BUILD_KEEP_PREV when sliced
  bool shortcut;
  bool blocks = true;  // false: word by word
};

Result Reference(const std::vector<std::vector<unsigned char>>& inputs) {
  vects = inputs;
  ftable.assign(vcount, std::vector<char>(NodCount, 'X'));
  faults.assign(NodCount, 'X');
  alloc_psimul();
  init_psimul();
  psimul();
  serial_vec();
  return Result{ftable, faults, vects, {}, {}};
}

// Slice bounds: `slices` strictly rising bounds over the internal graphs.
std::vector<uint32_t> Bounds(std::mt19937& rng, uint32_t slices) {
  uint32_t internal = GrpCount - OutCount;
  std::vector<uint32_t> cuts;
  for (uint32_t k = 1; k < internal; ++k) cuts.push_back(k);
  std::shuffle(cuts.begin(), cuts.end(), rng);
  cuts.resize(slices - 1);
  std::sort(cuts.begin(), cuts.end());
  std::vector<uint32_t> b{0};
  b.insert(b.end(), cuts.begin(), cuts.end());
  b.push_back(internal);
  return b;
}

Result Mega(const std::vector<std::vector<unsigned char>>& inputs, const SimRun& run, const std::vector<uint32_t>& bounds) {
  vects = inputs;
  ftable.assign(vcount, std::vector<char>(NodCount, 'X'));
  faults.assign(NodCount, 'X');
  formulaShortcut = run.shortcut;
  formulaBlocks = run.blocks;
  alloc_topology();
  alloc_npsimul(run.mode);
  uint32_t words = vcount ? (vcount - 1) / 32 + 1 : 0;
  if (run.slices == 0) {
    topology_build();
    npsimul(run.mode);
  } else {
    for (uint32_t k = run.slices; k >= 1; --k) {
      uint32_t first = bounds[k - 1], last = bounds[k] - 1;
      topology_build_ext(run.build, first, last, words);
      unsigned flags = run.mode | SIM_SLICE | (k == run.slices ? SIM_FIRST_SLICE : 0u) | (k == 1 ? SIM_LAST_SLICE : 0u);
      npsimul_ext(flags, first, last);
      free_topology_slice(first);
    }
  }
  Result r{ftable, faults, vects, FaultStats0, FaultStats1};
  free_npsimul();
  free_topology();
  formulaShortcut = true;
  formulaBlocks = true;
  return r;
}

class NpsimulRandom : public ::testing::TestWithParam<SimRun> {};

TEST_P(NpsimulRandom, FindsWhatTheWordParallelSimulatorFinds) {
  const SimRun& run = GetParam();
  verbose_mode = 1;
  std::mt19937 rng(77 + run.mode * 5 + run.slices * 3 + run.build + run.shortcut + 11 * run.blocks);
  // Up to one block of words and beyond it.
  const uint32_t counts[] = {1, 31, 32, 33, 64, 65, 100, 512, 545};
  for (int trial = 0; trial < 60; ++trial) {
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    RandomModelShape shape{2 + pick(6), pick(3), 8 + pick(40), 1 + pick(4), 1 + pick(6)};
    MakeRandomModel(rng, shape);
    uint32_t internal = GrpCount - OutCount;
    if (run.slices > internal) continue;
    vcount = counts[trial % 9];
    std::vector<std::vector<unsigned char>> inputs;
    vects.assign(vcount, {});
    for (uint32_t v = 0; v < vcount; ++v) inputs.push_back(RandomRow(rng, true));
    Result ref = Reference(inputs);
    std::vector<uint32_t> bounds = run.slices ? Bounds(rng, run.slices) : std::vector<uint32_t>{};
    Result got = Mega(inputs, run, bounds);
    SCOPED_TRACE("trial " + std::to_string(trial));
    ASSERT_EQ(got.values, ref.values);
    if (run.mode == 0) {
      ASSERT_EQ(got.table, ref.table);
      ASSERT_EQ(got.faults, ref.faults);
    } else if (run.mode & SIM_STATS) {
      ASSERT_EQ(got.faults, ref.faults);
      for (uint32_t n = 0; n < NodCount; ++n) {
        uint64_t zeros = 0, ones = 0;
        for (uint32_t v = 0; v < vcount; ++v) {
          zeros += ref.table[v][n] == '0';
          ones += ref.table[v][n] == '1';
        }
        ASSERT_EQ(got.stats0[n], zeros) << "node " << n;
        ASSERT_EQ(got.stats1[n], ones) << "node " << n;
      }
    } else {
      ASSERT_EQ(got.faults, ref.faults);
      if (run.mode & SIM_TABLE)
        for (uint32_t v = 0; v < vcount; ++v)
          for (uint32_t n = 0; n < NodCount; ++n)
            if (got.table[v][n] != 'X') {
              ASSERT_EQ(got.table[v][n], ref.table[v][n]) << "pattern " << v << " node " << n;
            }
    }
  }
  verbose_mode = 0;
}

// Dropping in blocks of words gives exactly what it gives word by word: the
// same table (a graph dropped in one word stores nothing from the next word
// on) and the same fault status, whole and sliced.
TEST(NpsimulDrop, BlocksAsWordByWord) {
  verbose_mode = 1;
  std::mt19937 rng(2029);
  const uint32_t counts[] = {33, 512, 545, 1100};
  const SimRun runs[] = {{SIM_DROP | SIM_TABLE, 0, 0, true}, {SIM_DROP, 0, 0, true},
                         {SIM_DROP | SIM_TABLE, 3, BUILD_KEEP_PREV, true}, {SIM_DROP | SIM_TABLE, 2, BUILD_SLICE, false}};
  for (int trial = 0; trial < 48; ++trial) {
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    // Few inputs, so that graphs are dropped within the packet.
    RandomModelShape shape{2 + pick(4), pick(2), 8 + pick(40), 1 + pick(4), 1 + pick(6)};
    MakeRandomModel(rng, shape);
    const SimRun& run = runs[trial % 4];
    if (run.slices > GrpCount - OutCount) continue;
    vcount = counts[trial / 4 % 4];
    std::vector<std::vector<unsigned char>> inputs;
    vects.assign(vcount, {});
    for (uint32_t v = 0; v < vcount; ++v) inputs.push_back(RandomRow(rng, true));
    std::vector<uint32_t> bounds = run.slices ? Bounds(rng, run.slices) : std::vector<uint32_t>{};
    SimRun single = run;
    single.blocks = false;
    Result words = Mega(inputs, single, bounds);
    Result blocks = Mega(inputs, run, bounds);
    SCOPED_TRACE("trial " + std::to_string(trial));
    ASSERT_EQ(blocks.values, words.values);
    ASSERT_EQ(blocks.faults, words.faults);
    if (run.mode & SIM_TABLE) {
      ASSERT_EQ(blocks.table, words.table);
    }
  }
  verbose_mode = 0;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, NpsimulRandom,
    ::testing::Values(SimRun{0, 0, 0, true}, SimRun{0, 0, 0, false}, SimRun{0, 2, BUILD_SLICE, true},
                      SimRun{0, 3, BUILD_SLICE, false}, SimRun{0, 2, BUILD_KEEP_PREV, true},
                      SimRun{0, 4, BUILD_KEEP_PREV, true}, SimRun{0, 5, BUILD_KEEP_PREV, false},
                      SimRun{SIM_DROP, 0, 0, true}, SimRun{SIM_DROP | SIM_TABLE, 0, 0, true},
                      SimRun{SIM_DROP, 3, BUILD_KEEP_PREV, true}, SimRun{SIM_DROP | SIM_TABLE, 2, BUILD_SLICE, true},
                      SimRun{SIM_STATS, 0, 0, true}, SimRun{SIM_STATS, 3, BUILD_KEEP_PREV, true},
                      SimRun{0, 0, 0, true, false}, SimRun{0, 3, BUILD_KEEP_PREV, true, false},
                      SimRun{SIM_STATS, 2, BUILD_SLICE, true, false}),
    [](const ::testing::TestParamInfo<SimRun>& info) {
      const SimRun& r = info.param;
      std::string name = (r.mode & SIM_STATS) ? "stats" : (r.mode & SIM_TABLE) ? "drop_table" : (r.mode & SIM_DROP) ? "drop" : "table";
      name += r.slices ? "_" + std::to_string(r.slices) + (r.build == BUILD_KEEP_PREV ? "_slices_kept" : "_slices") : "_whole";
      return name + (r.shortcut ? "" : "_every_formula") + (r.blocks ? "" : "_word_by_word");
    });

}  // namespace
