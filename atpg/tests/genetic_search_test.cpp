// The parts of the genetic search: the uniform deviates, the stall limit,
// roulette selection, crossover and the best individual; and the whole
// search with fixed seeds.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <random>

#include "fsimul.h"
#include "gasearch.h"
#include "messages.h"
#include "mudel.h"
#include "random.h"
#include "ssbdd_model.h"
#include "vector.h"

namespace {

// The shuffled combined generator recomputed with 64-bit products.
struct PlainDeviate {
  int64_t s1, s2, iy = 0, table[32] = {};
  explicit PlainDeviate(int64_t seed) : s1(seed), s2(seed) {
    for (int j = 39; j >= 0; --j) {
      s1 = s1 * 40014 % 2147483563;
      if (j < 32) table[j] = s1;
    }
    iy = table[0];
  }
  double Next() {
    s1 = s1 * 40014 % 2147483563;
    s2 = s2 * 40692 % 2147483399;
    int64_t j = iy / (1 + 2147483562 / 32);
    iy = table[j] - s2;
    table[j] = s1;
    if (iy < 1) iy += 2147483562;
    return static_cast<float>(static_cast<double>(iy) / 2147483563.0);
  }
};

}  // namespace

TEST(UniformDeviate, MatchesPlainArithmetic) {
  for (int32_t seed : {1, 12345, 1765432100, 2147483562}) {
    UniformDeviate dev(-seed);
    PlainDeviate ref(seed);
    for (int k = 0; k < 2000; ++k) {
      float u = dev();
      double expect = std::min(ref.Next(), static_cast<double>(1.0f - 1.2e-7f));
      ASSERT_EQ(u, static_cast<float>(expect)) << "seed " << seed << " value " << k;
      ASSERT_GT(u, 0.0f);
      ASSERT_LT(u, 1.0f);
    }
  }
  // A seed of 0 starts as seed 1.
  UniformDeviate zero(0), one(-1);
  for (int k = 0; k < 50; ++k) EXPECT_EQ(zero(), one());
}

// The first deviates of two seeds, computed apart from this code with exact
// rational arithmetic: iy / 2147483563 rounded to the nearest float.
TEST(UniformDeviate, FirstValuesOfFixedSeeds) {
  const float from_one[] = {0x1.243ae4p-2f, 0x1.037054p-2f, 0x1.7ed8dcp-4f, 0x1.378ce8p-1f,
                            0x1.ce8d1ap-1f, 0x1.9125f6p-3f, 0x1.da107ep-2f, 0x1.e0c768p-1f};
  const float from_time[] = {0x1.800f02p-2f, 0x1.1c0c38p-2f, 0x1.dd1de2p-6f, 0x1.9c52f6p-4f,
                             0x1.25de74p-1f, 0x1.e08db2p-1f, 0x1.3f3fa4p-2f, 0x1.da297cp-1f};
  UniformDeviate a(-1), b(-1765000000);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(a(), from_one[k]) << "value " << k;
    EXPECT_EQ(b(), from_time[k]) << "value " << k;
  }
}

TEST(UniformDeviate, SameSeedSameSequence) {
  UniformDeviate a(-1700000000), b(-1700000000), c(-1700000001);
  bool differs = false;
  for (int k = 0; k < 100; ++k) {
    float x = a();
    EXPECT_EQ(x, b());
    differs |= x != c();
  }
  EXPECT_TRUE(differs);
}

TEST(GeneticParts, StallLimit) {
  EXPECT_EQ(StallLimit(100, 10), 999u);  // 1/10 in single precision is just above 0.1
  EXPECT_EQ(StallLimit(100, 1), 100u);
  EXPECT_EQ(StallLimit(0, 10), 0u);
  EXPECT_EQ(StallLimit(100, 0), 0u);
  EXPECT_EQ(StallLimit(3, 4), 12u);
  EXPECT_EQ(StallLimit(4000000000u, 2147483647.0f), UINT32_MAX);
}

TEST(GeneticParts, Roulette) {
  const std::vector<uint64_t> zero(6, 0);
  for (float u : {0.0f, 0.5f, 0.9999999f}) EXPECT_EQ(Roulette(zero, 0, u), 0u);
  const std::vector<uint64_t> f = {0, 4, 0, 9};
  EXPECT_EQ(Roulette(f, 13, 0.0f), 0u);   // a = 0: individual 0 even with no fitness
  EXPECT_EQ(Roulette(f, 13, 0.1f), 1u);   // a = 1
  EXPECT_EQ(Roulette(f, 13, 0.33f), 1u);  // a = 4 reaches 4 at individual 1
  EXPECT_EQ(Roulette(f, 13, 0.35f), 1u);  // a = floor(4.55) = 4
  EXPECT_EQ(Roulette(f, 13, 0.4f), 3u);   // a = 5
  EXPECT_EQ(Roulette(f, 13, 0.9999f), 3u);
  // A sum larger than the running total chooses the last, never past it.
  EXPECT_EQ(Roulette({1, 1}, 10, 0.99f), 1u);
  // Fitness sums beyond 32 bits: the product is taken in double.
  const std::vector<uint64_t> big = {uint64_t{1} << 40, uint64_t{1} << 40};
  EXPECT_EQ(Roulette(big, uint64_t{1} << 41, 0.75f), 1u);
}

TEST(GeneticParts, CutAndCrossover) {
  EXPECT_EQ(CutPoint(0.0f, 7), 0u);
  EXPECT_EQ(CutPoint(0.5f, 7), 3u);
  EXPECT_EQ(CutPoint(1.0f - 1.2e-7f, 7), 6u);
  EXPECT_EQ(CutPoint(0.5f, 0), 0u);
  const std::vector<unsigned char> a = {1, 1, 1, 1, 9}, b = {0, 0, 0, 0, 8};
  std::vector<unsigned char> c1(5, 7), c2(5, 7);
  Crossover(a, b, 0, 4, c1, c2);  // a cut of 0: child 1 is b, child 2 is a
  EXPECT_EQ(c1, (std::vector<unsigned char>{0, 0, 0, 0, 7}));
  EXPECT_EQ(c2, (std::vector<unsigned char>{1, 1, 1, 1, 7}));
  Crossover(a, b, 3, 4, c1, c2);
  EXPECT_EQ(c1, (std::vector<unsigned char>{1, 1, 1, 0, 7}));
  EXPECT_EQ(c2, (std::vector<unsigned char>{0, 0, 0, 1, 7}));
}

TEST(GeneticParts, BestIsTheFirstOfTheLargest) {
  EXPECT_EQ(BestIndividual({3, 9, 9, 1}), 1u);
  EXPECT_EQ(BestIndividual({0, 0, 0}), 0u);
  EXPECT_EQ(BestIndividual({1, 2, 4, 4}), 2u);
}

namespace {

// A full test of the stored rows, as the program makes it.
std::vector<char> FinalStatus(const std::vector<std::vector<unsigned char>>& rows) {
  vcount = static_cast<uint32_t>(rows.size());
  alloc_vec();
  init_fsimul();
  vects = rows;
  fsimul();
  free_fsimul();
  return faults;
}

}  // namespace

TEST(GeneticSearch, FixedSeedsRepeat) {
  verbose_mode = 1;
  std::mt19937 rng(21);
  SsbddShape shape;
  shape.inputs = 20;
  shape.constants = 2;
  shape.graphs = 60;
  shape.outputs = 8;
  MakeSsbddModel(rng, shape);
  GeneticParams p;
  p.max_generations = 200;
  const GeneticSeeds seeds{1765000000, -1765000000};
  GeneticResult a = GeneticSearch(p, seeds);
  GeneticResult b = GeneticSearch(p, seeds);
  EXPECT_EQ(a.stored, b.stored);
  EXPECT_EQ(a.generations, b.generations);
  ASSERT_FALSE(a.stored.empty());
  // Another deviate seed breeds another search.
  GeneticResult c = GeneticSearch(p, GeneticSeeds{1765000000, -1765000001});
  EXPECT_NE(a.stored, c.stored);
  // Every stored row found something new: no more rows than tested faults,
  // and the constant columns hold the model's constants.
  std::vector<char> status = FinalStatus(a.stored);
  EXPECT_LE(a.stored.size(), CountDetected(status, false));
  for (const auto& row : a.stored) {
    EXPECT_EQ(row.size(), VarCount);
    for (uint32_t i = InpCount; i < InpCount + ConCount; ++i)
      EXPECT_EQ(row[i], (Vars[i].v_flags & VF_CONST0) ? 0 : 1);
  }
}

// Generations stop at the maximum, or once the stall counter passes the
// limit: with timeout 0 the first fruitless generation after the last find.
TEST(GeneticSearch, GenerationLimits) {
  verbose_mode = 1;
  std::mt19937 rng(3);
  SsbddShape shape;
  shape.inputs = 4;
  shape.graphs = 6;
  MakeSsbddModel(rng, shape);
  GeneticParams p;
  p.max_generations = 0;
  GeneticResult r = GeneticSearch(p, GeneticSeeds{1, -1});
  EXPECT_EQ(r.generations, 0u);
  EXPECT_TRUE(r.stored.empty());
  p.max_generations = 100000;
  p.timeout = 0;
  r = GeneticSearch(p, GeneticSeeds{1, -1});
  EXPECT_LT(r.generations, 100000u);
  EXPECT_GE(r.generations, r.stored.size() + 1);
  p.timeout = 1;  // stall limit = node count
  GeneticResult longer = GeneticSearch(p, GeneticSeeds{1, -1});
  EXPECT_GE(longer.generations, NodCount + 1);
}

// A population of 2 breeds one pair; the search runs past the 500 rows of a
// small store when the model has that many faults to find.
TEST(GeneticSearch, StoreGrowsPastFiveHundredRows) {
  verbose_mode = 1;
  // 300 independent 8-input ANDs: output k = AND of inputs 8k .. 8k+7.
  const uint32_t ands = 300, width = 8;
  InpCount = ands * width;
  ConCount = 0;
  GrpCount = ands;
  OutCount = ands;
  VarCount = InpCount + GrpCount;
  Vars.assign(VarCount, VarRec{VF_INPUT});
  for (uint32_t g = 0; g < GrpCount; ++g) Vars[GraphVar(g)].v_flags = VF_OUTPUT;
  VarNames.assign(VarCount, "v");
  Nods.clear();
  Grps.clear();
  for (uint32_t g = 0; g < ands; ++g) {
    Grps.push_back(GrpRec{static_cast<uint32_t>(Nods.size()), width});
    for (uint32_t k = 0; k < width; ++k)
      Nods.push_back(NodRec{0, g * width + k, {0, k + 1 < width ? k + 1 : 0}});
  }
  NodCount = static_cast<uint32_t>(Nods.size());
  NodNames.assign(NodCount, "n");
  GeneticParams p;
  p.popul_size = 2;
  p.max_generations = 3000;
  GeneticResult r = GeneticSearch(p, GeneticSeeds{1700000000, -1700000000});
  EXPECT_GT(r.stored.size(), 500u);
  std::vector<char> status = FinalStatus(r.stored);
  EXPECT_LE(r.stored.size(), CountDetected(status, false));
}

namespace {

// The search written out step by step, for comparison: populations as plain
// row lists, the filler, fitness, roulette, crossover and mutation inline.
GeneticResult ReferenceSearch(const GeneticParams& p, const GeneticSeeds& seeds) {
  seed1 = seeds.rnd_time;
  seed2 = seeds.rnd_time;
  GetRnd();
  UniformDeviate dev(seeds.deviate);
  const uint32_t n = p.popul_size;
  vcount = n;
  functionals = 0;
  alloc_vec();
  std::vector<std::vector<unsigned char>> cur = vects, next = vects;
  for (auto& row : cur) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < InpCount; ++i) {
      if (i % 32 == 0) value = GetRnd();
      row[i] = (value >> (i % 32)) & 1u;
    }
    if (InpCount % 32 == 0) GetRnd();
  }
  init_fsimul();
  SetFsimulDropping();
  no_fsimul_faults_update();
  const float r = 1.0f / p.timeout;
  const double limit = std::floor(NodCount / static_cast<double>(r));
  GeneticResult res;
  uint32_t stall = 0;
  float rate = p.mutation_rate1;
  while (res.generations < p.max_generations && stall <= limit) {
    vects = cur;
    fsimul();
    std::vector<uint64_t> fit(n);
    uint64_t sum = 0;
    uint32_t best = 0;
    for (uint32_t k = 0; k < n; ++k) {
      uint64_t c = 0;
      for (uint32_t node = 0; node < NodCount; ++node) {
        char m = ftable[k][node], f = faults[node];
        if ((m == '0' && (f == '1' || f == 'X')) || (m == '1' && (f == '0' || f == 'X'))) ++c;
      }
      fit[k] = c * c;
      sum += fit[k];
      if (fit[k] > fit[best]) best = k;
    }
    if (fit[best] != 0) {
      for (uint32_t node = 0; node < NodCount; ++node) {
        char m = ftable[best][node];
        char& f = faults[node];
        if (m != '0' && m != '1') continue;
        if (f == 'X') f = m;
        else if (f != m && f != '&') f = '&';
      }
      res.stored.push_back(cur[best]);
      stall = 0;
      rate = p.mutation_rate1;
    } else {
      rate = p.mutation_rate2;
      ++stall;
    }
    auto pick = [&](float u) {
      double a = std::floor(static_cast<double>(u) * static_cast<double>(sum));
      uint64_t run = 0;
      for (uint32_t k = 0; k < n; ++k)
        if (static_cast<double>(run += fit[k]) >= a) return k;
      return n - 1;
    };
    for (uint32_t i = 0; i < n; i += 2) {
      uint32_t cut = static_cast<uint32_t>(std::floor(static_cast<double>(dev()) * InpCount));
      uint32_t a = pick(dev());
      uint32_t b = pick(dev());
      for (uint32_t k = 0; k < InpCount; ++k) {
        next[i][k] = k < cut ? cur[a][k] : cur[b][k];
        next[i + 1][k] = k < cut ? cur[b][k] : cur[a][k];
      }
    }
    std::swap(cur, next);
    for (auto& row : cur)
      for (uint32_t k = 0; k < InpCount; ++k)
        if (dev() <= rate) row[k] = row[k] == 0 ? 1 : 0;
    ++res.generations;
  }
  free_fsimul();
  free_vec();
  return res;
}

// Inputs and constants of the stored rows (the graph columns are recomputed
// by the final simulation).
std::vector<std::vector<unsigned char>> Patterns(const std::vector<std::vector<unsigned char>>& rows) {
  std::vector<std::vector<unsigned char>> out;
  for (const auto& row : rows) out.emplace_back(row.begin(), row.begin() + InpCount + ConCount);
  return out;
}

}  // namespace

// The library search stores the same rows after the same number of
// generations as the step-by-step form, so every draw comes in its order.
TEST(GeneticSearch, MatchesStepByStepForm) {
  verbose_mode = 1;
  std::mt19937 rng(40);
  struct Run {
    uint32_t inputs, popul, generations;
    float timeout, rate1, rate2;
  };
  for (const Run& run : {Run{12, 32, 300, 10, 0.1f, 0.5f}, Run{32, 6, 400, 1, 0.05f, 0.3f},
                         Run{45, 2, 300, 0, 0.1f, 0.5f}, Run{64, 10, 200, 3, 0.2f, 0.9f}}) {
    SsbddShape shape;
    shape.inputs = run.inputs;
    shape.constants = 1;
    shape.graphs = 3 * run.inputs;
    shape.outputs = 10;
    MakeSsbddModel(rng, shape);
    GeneticParams p;
    p.popul_size = run.popul;
    p.max_generations = run.generations;
    p.timeout = run.timeout;
    p.mutation_rate1 = run.rate1;
    p.mutation_rate2 = run.rate2;
    for (int32_t t : {1765000000, 1765000123}) {
      GeneticResult lib = GeneticSearch(p, GeneticSeeds{t, -t});
      GeneticResult ref = ReferenceSearch(p, GeneticSeeds{t, -t});
      EXPECT_EQ(lib.generations, ref.generations) << run.inputs << " inputs, seed " << t;
      EXPECT_EQ(Patterns(lib.stored), Patterns(ref.stored)) << run.inputs << " inputs, seed " << t;
      EXPECT_FALSE(lib.stored.empty());
    }
  }
}

// The program seeds GetRnd with Randomize; the search, given the same time,
// starts the stream where Randomize leaves it.
TEST(GeneticSearch, TimeSeedStartsGetRndAsRandomize) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    int32_t before = static_cast<int32_t>(time(nullptr));
    Randomize();
    int32_t s1 = seed1, s2 = seed2;
    if (static_cast<int32_t>(time(nullptr)) != before) continue;  // the second turned over
    seed1 = before;
    seed2 = before;
    GetRnd();
    EXPECT_EQ(seed1, s1);
    EXPECT_EQ(seed2, s2);
    return;
  }
}
