// The random pattern filler, the exchange sort of a package and the package
// loop of the random generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "fsimul.h"
#include "messages.h"
#include "mudel.h"
#include "randfill.h"
#include "random.h"
#include "randtest.h"
#include "ssbdd_model.h"
#include "vector.h"

namespace {

// The shared streams recomputed with plain 64-bit arithmetic.
struct PlainStreams {
  int64_t s1 = 16777215, s2 = 255;
  uint32_t Next() {
    s1 = s1 * 40014 % 2147483563;
    s2 = s2 * 40692 % 2147483399;
    return (static_cast<uint32_t>(s1 & 0xFFFF) << 16) | static_cast<uint32_t>(s2 & 0xFFFF);
  }
};

void ResetStreams() {
  seed1 = 16777215;
  seed2 = 255;
}

void InputsOnly(uint32_t inputs) {
  InpCount = inputs;
  ConCount = 0;
  GrpCount = 0;
  OutCount = 0;
  VarCount = inputs;
  NodCount = 0;
  Vars.assign(VarCount, VarRec{VF_INPUT});
  Nods.clear();
  Grps.clear();
}

}  // namespace

// Input 32w + j of a row is bit j of the row's value w; each row draws
// InpCount / 32 + 1 values, so 32 inputs draw one value that is not used.
TEST(RandomFill, BitsAndDrawsPerRow) {
  verbose_mode = 1;
  for (uint32_t inputs : {0u, 1u, 5u, 31u, 32u, 33u, 64u, 70u}) {
    InputsOnly(inputs);
    vcount = 3;
    alloc_vec();
    ResetStreams();
    FillRandomInputs(0, vcount);
    PlainStreams ref;
    for (uint32_t r = 0; r < vcount; ++r) {
      std::vector<uint32_t> words;
      for (uint32_t w = 0; w < inputs / 32 + 1; ++w) words.push_back(ref.Next());
      for (uint32_t i = 0; i < inputs; ++i)
        ASSERT_EQ(vects[r][i], (words[i / 32] >> (i % 32)) & 1u) << inputs << " inputs, row " << r << " input " << i;
    }
    // The next value is the one after the last row's draws.
    EXPECT_EQ(GetRnd(), ref.Next()) << inputs << " inputs";
  }
}

TEST(RandomFill, LeavesOtherRowsAndColumnsAlone) {
  verbose_mode = 1;
  InputsOnly(3);
  VarCount = 5;  // two further columns stand for constants and graphs
  Vars.assign(VarCount, VarRec{VF_INPUT});
  vcount = 4;
  alloc_vec();
  for (auto& row : vects) std::fill(row.begin(), row.end(), 7);
  ResetStreams();
  FillRandomInputs(1, 3);
  for (uint32_t r : {0u, 3u})
    for (unsigned char b : vects[r]) EXPECT_EQ(b, 7);
  for (uint32_t r : {1u, 2u}) {
    EXPECT_EQ(vects[r][3], 7);
    EXPECT_EQ(vects[r][4], 7);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_LE(vects[r][i], 1);
  }
}

// The order the exchange sort leaves, as original positions: ties keep their
// order only until an exchange with a larger count moves one of them.
TEST(RandomSort, ExchangeOrderTable) {
  struct Case {
    std::vector<uint32_t> counts;
    std::vector<size_t> order;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{4}, {0}},
      {{2, 2, 2}, {0, 1, 2}},
      {{3, 2, 1}, {0, 1, 2}},
      {{0, 1, 2}, {2, 1, 0}},
      {{1, 3, 2, 3}, {1, 3, 2, 0}},
      {{0, 1, 1, 2}, {3, 2, 1, 0}},        // a stable sort gives 3 1 2 0
      {{5, 0, 5, 7, 5}, {3, 2, 0, 4, 1}},  // a stable sort gives 3 0 2 4 1
      {{0, 0, 1, 0, 1}, {2, 4, 0, 3, 1}},  // a stable sort gives 2 4 0 1 3
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> counts = c.counts;
    std::vector<size_t> order(counts.size());
    std::iota(order.begin(), order.end(), 0);
    ExchangeSort(counts, [&](size_t i, size_t j) { std::swap(order[i], order[j]); });
    EXPECT_EQ(order, c.order);
    for (size_t k = 0; k < order.size(); ++k) EXPECT_EQ(counts[k], c.counts[order[k]]);
  }
}

TEST(RandomMarks, NewFaultsAndMerge) {
  // status:                  X    x    0    1    &    X    0    1
  std::vector<char> status = {'X', 'x', '0', '1', '&', 'X', '1', '0'};
  std::vector<char> row = {'0', '1', '1', '0', '0', 'X', '1', '1'};
  EXPECT_EQ(CountNewFaults(row, status), 5u);  // nodes 0, 1, 2, 3, 7
  std::vector<StatusChange> changed = MergeFaults(row, status);
  EXPECT_EQ(status, (std::vector<char>{'0', '1', '&', '&', '&', 'X', '1', '&'}));
  ASSERT_EQ(changed.size(), 5u);
  EXPECT_EQ(changed[0].node, 0u);
  EXPECT_EQ(changed[0].before, 'X');
  EXPECT_EQ(changed[1].before, 'x');
  EXPECT_EQ(changed[4].node, 7u);
  EXPECT_EQ(CountNewFaults(row, status), 0u);
}

namespace {

RandomResult RunPackages(const RandomParams& p, uint32_t pack_rows) {
  ResetStreams();
  functionals = 0;
  vcount = pack_rows;
  alloc_vec();
  init_fsimul();
  SetFsimulDropping();
  no_fsimul_faults_update();
  RandomResult r = RandomPackages(p);
  r.kept.shrink_to_fit();
  return r;
}

}  // namespace

// Renewing only the counts of the changed nodes keeps exactly what a full
// recount keeps, on models where many patterns compete in one package.
TEST(RandomPackages, ChangedNodeRecountMatchesFullRecount) {
  verbose_mode = 1;
  std::mt19937 rng(77);
  for (int trial = 0; trial < 6; ++trial) {
    SsbddShape shape;
    shape.inputs = 12 + 5 * trial;
    shape.graphs = 40 + 20 * trial;
    shape.outputs = 6;
    MakeSsbddModel(rng, shape);
    for (uint32_t criterion : {0u, 1u, 3u})
      for (uint32_t select_max : {0u, 1u, 32u}) {
        RandomParams p;
        p.packages = 6;
        p.criterion = criterion;
        p.select_max = select_max;
        p.failure_limit = 2;
        RandomResult fast = RunPackages(p, 64);
        std::vector<char> fast_status = faults;
        p.plain_recount = true;
        RandomResult plain = RunPackages(p, 64);
        EXPECT_EQ(fast.kept, plain.kept) << trial << " " << criterion << " " << select_max;
        EXPECT_EQ(fast.tested, plain.tested);
        EXPECT_EQ(fast_status, faults);
        EXPECT_EQ(fast.tested, CountDetected(faults, false));
      }
  }
}

// Criterion 0 keeps select_max rows of every package, whatever they detect;
// select_max 0 keeps every row; a criterion above any count keeps nothing and
// ends after failure_limit packages (0 and 1 alike after the first).
TEST(RandomPackages, CriterionSelectMaxAndFailureLimit) {
  verbose_mode = 1;
  std::mt19937 rng(5);
  SsbddShape shape;
  shape.inputs = 10;
  shape.graphs = 30;
  MakeSsbddModel(rng, shape);
  RandomParams p;
  p.packages = 5;
  p.criterion = 0;
  p.select_max = 3;
  EXPECT_EQ(RunPackages(p, 32).kept.size(), 15u);
  p.select_max = 0;
  EXPECT_EQ(RunPackages(p, 32).kept.size(), 160u);
  p.criterion = 2 * NodCount + 1;
  for (uint32_t limit : {0u, 1u, 3u}) {
    p.failure_limit = limit;
    RandomResult r = RunPackages(p, 32);
    EXPECT_TRUE(r.kept.empty());
    // Each package draws one value per row (10 inputs); count the packages run.
    PlainStreams ref;
    uint32_t draws = 0;
    while (!(ref.s1 == seed1 && ref.s2 == seed2) && draws < 10000) {
      ref.Next();
      ++draws;
    }
    EXPECT_EQ(draws, 32u * (limit == 0 ? 1 : limit)) << "failure limit " << limit;
  }
}

// With every fault already in the status nothing is kept.
TEST(RandomPackages, NothingLeftToDetect) {
  verbose_mode = 1;
  std::mt19937 rng(9);
  MakeSsbddModel(rng, SsbddShape{});
  RandomParams p;
  p.packages = 3;
  ResetStreams();
  functionals = 0;
  vcount = 32;
  alloc_vec();
  init_fsimul();
  SetFsimulDropping();
  no_fsimul_faults_update();
  std::fill(faults.begin(), faults.end(), '&');
  RandomResult r = RandomPackages(p);
  EXPECT_TRUE(r.kept.empty());
  EXPECT_EQ(r.tested, 2 * NodCount);
}

namespace {

// The package loop written out step by step, for comparison: the filler, the
// new-fault counts, the exchange sort moving whole rows, and the selection
// that recounts every later row in full after each kept one.
RandomResult ReferencePackages(const RandomParams& p, uint32_t pack_rows) {
  ResetStreams();
  functionals = 0;
  vcount = pack_rows;
  alloc_vec();
  init_fsimul();
  SetFsimulDropping();
  no_fsimul_faults_update();
  auto is_new = [](char m, char f) {
    return (m == '0' && (f == 'X' || f == '1')) || (m == '1' && (f == 'X' || f == '0'));
  };
  auto count = [&](uint32_t r) {
    uint32_t c = 0;
    for (uint32_t n = 0; n < NodCount; ++n) c += is_new(ftable[r][n], faults[n]);
    return c;
  };
  RandomResult res;
  res.tested = CountDetected(faults, false);
  uint32_t failures = 0;
  for (uint32_t pkg = 0; pkg < p.packages; ++pkg) {
    for (auto& row : vects) {
      for (uint32_t w = 0; w <= InpCount / 32; ++w) {
        uint32_t value = GetRnd();
        for (uint32_t j = 0; j < 32 && 32 * w + j < InpCount; ++j) row[32 * w + j] = (value >> j) & 1u;
      }
    }
    fsimul();
    std::vector<uint32_t> c(vcount);
    for (uint32_t r = 0; r < vcount; ++r) c[r] = count(r);
    for (uint32_t i = 0; i + 1 < vcount; ++i)
      for (uint32_t j = i + 1; j < vcount; ++j)
        if (c[j] > c[i]) {
          std::swap(c[i], c[j]);
          std::swap(vects[i], vects[j]);
          std::swap(ftable[i], ftable[j]);
        }
    uint32_t here = 0;
    for (uint32_t r = 0; r < vcount; ++r) {
      if (c[r] < p.criterion) continue;
      res.kept.push_back(vects[r]);
      for (uint32_t n = 0; n < NodCount; ++n) {
        char m = ftable[r][n];
        char& f = faults[n];
        if (m != '0' && m != '1') continue;
        if (f == 'X') f = m;
        else if (f != m && f != '&') f = '&';
      }
      res.tested += c[r];
      if (++here == p.select_max) break;
      for (uint32_t s = r + 1; s < vcount; ++s) c[s] = count(s);
    }
    failures = here == 0 ? failures + 1 : 0;
    if (failures != 0 && failures >= std::max(p.failure_limit, 1u)) break;
  }
  return res;
}

}  // namespace

// The library loop keeps the same rows in the same order, with the same
// tested count and status, as the step-by-step form.
TEST(RandomPackages, MatchesStepByStepForm) {
  verbose_mode = 1;
  std::mt19937 rng(12);
  struct Run {
    uint32_t inputs, rows, criterion, select_max, failure_limit;
  };
  for (const Run& run : {Run{12, 32, 1, 32, 64}, Run{32, 64, 0, 5, 2}, Run{40, 96, 2, 0, 3}, Run{64, 32, 1, 1, 0},
                         Run{20, 64, 4, 3, 1}}) {
    SsbddShape shape;
    shape.inputs = run.inputs;
    shape.constants = 1;
    shape.graphs = 3 * run.inputs;
    shape.outputs = 8;
    MakeSsbddModel(rng, shape);
    RandomParams p;
    p.packages = 12;
    p.criterion = run.criterion;
    p.select_max = run.select_max;
    p.failure_limit = run.failure_limit;
    RandomResult lib = RunPackages(p, run.rows);
    std::vector<char> lib_status = faults;
    RandomResult ref = ReferencePackages(p, run.rows);
    EXPECT_EQ(lib.kept, ref.kept) << run.inputs << " inputs";
    EXPECT_EQ(lib.tested, ref.tested) << run.inputs << " inputs";
    EXPECT_EQ(lib_status, faults) << run.inputs << " inputs";
    EXPECT_FALSE(lib.kept.empty());
  }
}
