// The cone sweep of the topology build against the depth-first search, and
// the build of a root from its only reader's list against the walk, on
// random models: the same formulas file and statistics, whole, sliced and
// with the kept previous results.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "messages.h"
#include "mudel.h"
#include "random_model.h"
#include "topology.h"
#include "topology_print.h"

namespace {

std::string Printed(uint32_t slices, unsigned flags) {
  std::string text;
  FILE* f = tmpfile();
  alloc_topology();
  uint32_t internal = GrpCount - OutCount;
  if (slices == 0) {
    topology_build();
    topology_print(f);
    topology_print_stats(f);
  } else {
    for (uint32_t k = slices; k >= 1; --k) {
      uint32_t first = internal * (k - 1) / slices, last = internal * k / slices - 1;
      topology_build_ext(flags, first, last, 3);
      topology_print(f);
      topology_print_stats(f);
      text += topology_stats();
      free_topology_slice(first);
    }
  }
  text += topology_stats();
  free_topology();
  rewind(f);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);
  return text;
}

TEST(TopologyBuild, ConeSweepMatchesSearch) {
  verbose_mode = 1;
  std::mt19937 rng(4711);
  struct Run {
    uint32_t slices;
    unsigned flags;
  };
  const Run runs[] = {{0, 0}, {2, BUILD_SLICE}, {3, BUILD_KEEP_PREV}};
  for (int trial = 0; trial < 80; ++trial) {
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    RandomModelShape shape{2 + pick(6), pick(3), 8 + pick(120), 1 + pick(4), 1 + pick(6)};
    MakeRandomModel(rng, shape);
    for (const Run& run : runs) {
      if (run.slices > GrpCount - OutCount) continue;
      coneSweep = false;
      std::string search = Printed(run.slices, run.flags);
      coneSweep = true;
      std::string sweep = Printed(run.slices, run.flags);
      ASSERT_EQ(sweep, search) << "trial " << trial << " slices " << run.slices;
    }
  }
  verbose_mode = 0;
}

// A root that one graph alone reads, built from that graph's list, against
// the walk over its cone: on random models (one-node graphs, as at gate
// level, make many such roots) and full-scan s27 and s298, whole and sliced.
TEST(TopologyBuild, ReaderShortcutMatchesWalk) {
  verbose_mode = 1;
  std::mt19937 rng(2718);
  auto compare = [](const std::string& what) {
    const uint32_t slices[] = {0, 2, 5};
    for (uint32_t n : slices) {
      if (n > GrpCount - OutCount) continue;
      unsigned flags = n ? static_cast<unsigned>(BUILD_SLICE) : 0u;
      readerShortcut = false;
      std::string walk = Printed(n, flags);
      readerShortcut = true;
      std::string shortcut = Printed(n, flags);
      ASSERT_EQ(shortcut, walk) << what << " slices " << n;
    }
  };
  for (int trial = 0; trial < 120; ++trial) {
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    RandomModelShape shape{2 + pick(6), pick(2), 8 + pick(150), 1 + pick(8), 1 + (trial % 2 ? pick(4) : 0)};
    MakeRandomModel(rng, shape);
    compare("trial " + std::to_string(trial));
  }
  for (const char* name : {"s27fs.agm", "s298fs.agm", "rand200.agm"}) {
    read_ag(std::string(TEST_DATA_DIR) + "/" + name);
    compare(name);
    free_ag();
  }
  verbose_mode = 0;
}

// The split estimate on models of every size and shape (random ones and
// full-scan s298, whose estimates are very uneven): for every n up to the
// internal graphs, all bounds set, rising strictly from 0 to their count.
void ExpectEveryBoundSet(const std::string& what) {
  uint32_t internal = GrpCount - OutCount;
  for (uint32_t n = 2; n <= 31 && n <= internal; ++n) {
    std::vector<uint32_t> bounds(33, 0);
    topology_estimate_split(n, bounds);
    ASSERT_EQ(bounds[0], 0u) << what << " n " << n;
    ASSERT_EQ(bounds[n], internal) << what << " n " << n;
    for (uint32_t k = 1; k <= n; ++k) ASSERT_LT(bounds[k - 1], bounds[k]) << what << " n " << n << " bound " << k;
  }
}

TEST(SplitEstimate, EveryBoundSetAndNoSliceEmpty) {
  verbose_mode = 1;
  std::mt19937 rng(1913);
  for (int trial = 0; trial < 150; ++trial) {
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    RandomModelShape shape{2 + pick(20), pick(2), 3 + pick(150), 1 + pick(6), 1 + pick(8)};
    MakeRandomModel(rng, shape);
    ExpectEveryBoundSet("trial " + std::to_string(trial));
  }
  for (const char* name : {"s298fs.agm", "rand200.agm"}) {
    read_ag(std::string(TEST_DATA_DIR) + "/" + name);
    ExpectEveryBoundSet(name);
    free_ag();
  }
  verbose_mode = 0;
}

}  // namespace
