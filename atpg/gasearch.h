// Genetic test generation: a population of input patterns is fault-simulated
// every generation against the faults not yet covered; the fittest pattern,
// when it finds anything new, is stored and its faults join the status; the
// next population is bred by roulette selection, one-point crossover and
// bit-flip mutation.
#pragma once
#include <cstdint>
#include <vector>

// Uniform deviates in (0, 1): two combined multiplicative congruential
// streams shuffled through a 32-entry table (eight warm-up steps), capped
// just below 1.  A seed of 0 or below sets the table up on the first call.
class UniformDeviate {
 public:
  explicit UniformDeviate(int32_t seed) : idum_(seed) {}
  float operator()();

 private:
  int32_t idum_;
  int32_t idum2_ = 123456789;
  int32_t iy_ = 0;
  int32_t iv_[32] = {};
};

// Fruitless generations allowed: floor(nodes / r) with r = 1 / timeout in
// single precision and the division in double (100 nodes and timeout 10 give
// 999); capped at the counter's range.
uint32_t StallLimit(uint32_t nodes, float timeout);

// Fitness-proportional choice: the first individual whose running fitness
// sum reaches floor(u x sum); the last one when none does.
uint32_t Roulette(const std::vector<uint64_t>& fitness, uint64_t sum, float u);

// Crossover point floor(u x inputs), never past the inputs.
uint32_t CutPoint(float u, uint32_t inputs);

// One-point crossover of the first `inputs` columns: child1 takes a's values
// before the cut and b's from it on, child2 the reverse.
void Crossover(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, uint32_t cut,
               uint32_t inputs, std::vector<unsigned char>& child1, std::vector<unsigned char>& child2);

// The first individual with the largest fitness.
uint32_t BestIndividual(const std::vector<uint64_t>& fitness);

struct GeneticParams {
  float mutation_rate1 = 0.1f;  // while generations find new faults
  float mutation_rate2 = 0.5f;  // after a fruitless generation
  uint32_t popul_size = 32;     // even, at least 2
  float timeout = 10;
  uint32_t max_generations = 1000;
  // Simulate each population with the single-fault simulator itself instead
  // of its word-parallel form (the reference form of the same rows).
  bool plain_simulation = false;
};

// The two random sources: GetRnd is seeded as Randomize seeds it from a
// calendar time, the deviates from their own (negative) seed.
struct GeneticSeeds {
  int32_t rnd_time;
  int32_t deviate;
};

struct GeneticResult {
  std::vector<std::vector<unsigned char>> stored;  // one row per productive generation
  uint32_t generations = 0;
};

// Runs the search on the model in memory.  It allocates the populations as
// the test data and releases them (and the single-fault simulator) before it
// returns; the fault status reached is left in `faults` until then only.
GeneticResult GeneticSearch(const GeneticParams& params, const GeneticSeeds& seeds);
