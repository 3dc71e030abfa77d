#include "gasearch.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "fsimul.h"
#include "messages.h"
#include "mudel.h"
#include "packsim.h"
#include "randfill.h"
#include "random.h"
#include "randtest.h"
#include "vector.h"

namespace {

constexpr int32_t IM1 = 2147483563, IM2 = 2147483399, IMM1 = IM1 - 1;
constexpr int32_t IA1 = 40014, IA2 = 40692, IQ1 = 53668, IQ2 = 52774, IR1 = 12211, IR2 = 3791;
constexpr int32_t NTAB = 32, NDIV = 1 + IMM1 / NTAB;
// The scale stays in double and each deviate is rounded to float once: this
// gives iy / IM1 correctly rounded for every iy.  Only the cap below 1 is a
// float constant.
constexpr double AM = 1.0 / IM1;
constexpr float RNMX = 1.0f - 1.2e-7f;

// One step of a stream by Schrage's method (no product leaves 32 bits).
inline int32_t Step(int32_t s, int32_t a, int32_t m, int32_t q, int32_t r) {
  int32_t k = s / q;
  s = a * (s - k * q) - k * r;
  if (s < 0) s += m;
  return s;
}

}  // namespace

float UniformDeviate::operator()() {
  if (idum_ <= 0) {
    idum_ = (idum_ == 0 || idum_ == INT32_MIN) ? 1 : -idum_;
    idum2_ = idum_;
    for (int j = NTAB + 7; j >= 0; --j) {
      idum_ = Step(idum_, IA1, IM1, IQ1, IR1);
      if (j < NTAB) iv_[j] = idum_;
    }
    iy_ = iv_[0];
  }
  idum_ = Step(idum_, IA1, IM1, IQ1, IR1);
  idum2_ = Step(idum2_, IA2, IM2, IQ2, IR2);
  int32_t j = iy_ / NDIV;
  iy_ = iv_[j] - idum2_;
  iv_[j] = idum_;
  if (iy_ < 1) iy_ += IMM1;
  float temp = static_cast<float>(AM * iy_);
  return temp > RNMX ? RNMX : temp;
}

uint32_t StallLimit(uint32_t nodes, float timeout) {
  float r = 1.0f / timeout;  // timeout 0: r is infinite and the limit 0
  double limit = std::floor(static_cast<double>(nodes) / static_cast<double>(r));
  if (!(limit >= 0)) return 0;
  if (limit >= 4294967295.0) return UINT32_MAX;
  return static_cast<uint32_t>(limit);
}

uint32_t Roulette(const std::vector<uint64_t>& fitness, uint64_t sum, float u) {
  double a = std::floor(static_cast<double>(u) * static_cast<double>(sum));
  uint64_t running = 0;
  for (uint32_t k = 0; k < fitness.size(); ++k) {
    running += fitness[k];
    if (static_cast<double>(running) >= a) return k;
  }
  return fitness.empty() ? 0 : static_cast<uint32_t>(fitness.size() - 1);
}

uint32_t CutPoint(float u, uint32_t inputs) {
  double cut = std::floor(static_cast<double>(u) * inputs);
  if (!(cut >= 0)) return 0;
  return cut >= inputs ? inputs : static_cast<uint32_t>(cut);
}

void Crossover(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, uint32_t cut,
               uint32_t inputs, std::vector<unsigned char>& child1, std::vector<unsigned char>& child2) {
  for (uint32_t i = 0; i < inputs; ++i) {
    child1[i] = i < cut ? a[i] : b[i];
    child2[i] = i < cut ? b[i] : a[i];
  }
}

uint32_t BestIndividual(const std::vector<uint64_t>& fitness) {
  uint32_t best = 0;
  for (uint32_t k = 1; k < fitness.size(); ++k)
    if (fitness[k] > fitness[best]) best = k;
  return best;
}

GeneticResult GeneticSearch(const GeneticParams& params, const GeneticSeeds& seeds) {
  // GetRnd starts as Randomize starts it: both streams from the time, one step each.
  seed1 = seeds.rnd_time;
  seed2 = seeds.rnd_time;
  GetRnd();
  UniformDeviate deviate(seeds.deviate);

  const uint32_t popul = params.popul_size;
  std::vector<uint64_t> fitness(popul);
  vcount = popul;
  functionals = 0;
  alloc_vec();
  // Both populations keep the model's constants in their constant columns.
  std::vector<std::vector<unsigned char>> offspring = vects;
  const std::vector<unsigned char> blank = vects.empty() ? std::vector<unsigned char>() : vects[0];
  FillRandomInputs(0, vcount);
  init_fsimul();
  SetFsimulDropping();
  no_fsimul_faults_update();
  PackSimulator sim;
  std::vector<uint32_t> counts(popul);

  BeginProcessing("Generating");
  GeneticResult result;
  const uint32_t stall_limit = StallLimit(NodCount, params.timeout);
  uint32_t stall = 0;
  float rate = params.mutation_rate1;
  for (; result.generations < params.max_generations && stall <= stall_limit; ++result.generations) {
    if (params.plain_simulation) {
      fsimul();
      for (uint32_t k = 0; k < popul; ++k) counts[k] = CountNewFaults(ftable[k], faults);
    } else {
      sim.Simulate(counts);
    }
    uint64_t sum = 0;
    for (uint32_t k = 0; k < popul; ++k) {
      uint64_t c = counts[k];
      fitness[k] = c * c;
      sum += fitness[k];
    }
    uint32_t best = BestIndividual(fitness);
    if (fitness[best] != 0) {
      MergeFaults(ftable[best], faults);
      std::vector<unsigned char> row = blank;
      std::copy(vects[best].begin(), vects[best].begin() + InpCount, row.begin());
      result.stored.push_back(std::move(row));
      stall = 0;
      rate = params.mutation_rate1;
    } else {
      rate = params.mutation_rate2;
      ++stall;
    }
    for (uint32_t i = 0; i + 1 < popul; i += 2) {
      uint32_t cut = CutPoint(deviate(), InpCount);
      uint32_t a = Roulette(fitness, sum, deviate());
      uint32_t b = Roulette(fitness, sum, deviate());
      Crossover(vects[a], vects[b], cut, InpCount, offspring[i], offspring[i + 1]);
    }
    std::swap(vects, offspring);
    for (uint32_t k = 0; k < popul; ++k) {
      std::vector<unsigned char>& row = vects[k];
      for (uint32_t i = 0; i < InpCount; ++i)
        if (deviate() <= rate) row[i] = row[i] == 0 ? 1 : 0;
    }
  }
  EndProcessing();
  free_fsimul();
  free_vec();
  return result;
}
