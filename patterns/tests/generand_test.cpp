// Random sequences with fixed seeds: every step changes exactly the number
// of inputs asked for, and a seed repeats its sequence.
#include <gtest/gtest.h>

#include "generand.h"
#include "mudel.h"
#include "random.h"
#include "vector.h"

namespace {

void Rows(uint32_t inputs, uint32_t rows) {
  InpCount = inputs;
  ConCount = 0;
  VarCount = inputs + 1;
  vcount = rows;
  vects.assign(rows, std::vector<unsigned char>(VarCount, 'x'));
}

void Seed(int32_t a, int32_t b) {
  seed1 = a;
  seed2 = b;
}

uint32_t Changed(uint32_t r) {
  uint32_t d = 0;
  for (uint32_t i = 0; i < InpCount; ++i) d += vects[r][i] != vects[r - 1][i];
  return d;
}

TEST(Generand, EveryStepChangesExactlyTheInputsAskedFor) {
  for (uint32_t inputs : {1u, 4u, 9u, 32u}) {
    for (uint32_t n = 0; n <= inputs; ++n) {
      Rows(inputs, 30);
      Seed(12345 + static_cast<int32_t>(n), 678);
      FillRandomSequence(false, n);
      for (uint32_t r = 0; r < vcount; ++r)
        for (uint32_t i = 0; i < inputs; ++i) ASSERT_LE(vects[r][i], 1) << inputs << " " << n;
      for (uint32_t r = 1; r < vcount; ++r) ASSERT_EQ(Changed(r), n) << inputs << " inputs, " << n << " bits, row " << r;
      EXPECT_EQ(vects[0][inputs], 'x');  // graph columns are left to the simulation
    }
  }
}

TEST(Generand, AllBitsComplementsEveryRow) {
  Rows(5, 6);
  Seed(1, 2);
  FillRandomSequence(false, 5);
  for (uint32_t r = 1; r < vcount; ++r)
    for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(vects[r][i], vects[r - 1][i] ^ 1);
}

TEST(Generand, SameSeedSameSequence) {
  for (bool all_random : {false, true}) {
    Rows(12, 20);
    Seed(99, 7);
    FillRandomSequence(all_random, 3);
    auto first = vects;
    Rows(12, 20);
    Seed(99, 7);
    FillRandomSequence(all_random, 3);
    EXPECT_EQ(first, vects);
  }
}

TEST(Generand, ModelWithoutInputs) {
  Rows(0, 4);
  Seed(5, 5);
  FillRandomSequence(false, 0);
  FillRandomSequence(true, 0);
  EXPECT_EQ(vects[3][0], 'x');
}

}  // namespace
