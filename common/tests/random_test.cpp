#include "random.h"

#include <gtest/gtest.h>

// The stream must be the same in every run and every program that does not
// seed it; these are the first values of an unseeded process.
TEST(Random, FirstValuesOfUnseededStream) {
  EXPECT_EQ(seed1, 16777215);
  EXPECT_EQ(seed2, 255);
  EXPECT_EQ(GetRnd(), 0xCB4A550Cu);
  EXPECT_EQ(seed1, 1308609354);
  EXPECT_EQ(seed2, 10376460);
  // Next step recomputed by plain 64-bit arithmetic (no Schrage split).
  int64_t s1 = (int64_t{1308609354} * a1) % m1;
  int64_t s2 = (int64_t{10376460} * a2) % m2;
  uint32_t expect = (static_cast<uint32_t>(s1 & 0xFFFF) << 16) | static_cast<uint32_t>(s2 & 0xFFFF);
  EXPECT_EQ(GetRnd(), expect);
  EXPECT_EQ(seed1, s1);
  EXPECT_EQ(seed2, s2);
}

TEST(Random, SchrageMatchesPlainArithmeticNearTheModulus) {
  // States close to m give negative intermediates that must come back by one m.
  for (int32_t s : {m1 - 1, m1 - 2, 2147483000, 1, 53668, 53667}) {
    seed1 = s;
    seed2 = s % m2;
    int64_t e1 = (int64_t{s} * a1) % m1;
    int64_t e2 = (int64_t{s % m2} * a2) % m2;
    GetRnd();
    EXPECT_EQ(seed1, e1) << s;
    EXPECT_EQ(seed2, e2) << s;
    EXPECT_GT(seed1, 0);
    EXPECT_LT(seed1, m1);
  }
}

TEST(Random, RandomizeTwiceInOneSecondRepeats) {
  uint32_t a = 0, b = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    time_t t0 = time(nullptr);
    Randomize();
    a = GetRnd();
    Randomize();
    b = GetRnd();
    if (time(nullptr) == t0) break;  // both seeds came from the same second
  }
  EXPECT_EQ(a, b);
}
