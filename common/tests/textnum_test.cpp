#include "textnum.h"

#include <gtest/gtest.h>

#include <climits>

TEST(WholeNumber, AcceptsOnlyWholeNumbersInRange) {
  struct Case {
    const char* text;
    long long lo, hi;
    bool ok;
    long long value;
  } cases[] = {
      {"0", 0, 10, true, 0},
      {"10", 0, 10, true, 10},
      {"11", 0, 10, false, 0},
      {"007", 0, 10, true, 7},
      {"", 0, 10, false, 0},
      {"abc", 0, 10, false, 0},
      {"5abc", 0, 10, false, 0},
      {" 5", 0, 10, false, 0},
      {"5 ", 0, 10, false, 0},
      {"+5", 0, 10, false, 0},
      {"-1", 0, 10, false, 0},
      {"-0", 0, 10, false, 0},
      {"-1", -5, 10, true, -1},
      {"-", -5, 10, false, 0},
      {"design", 0, 10, false, 0},
      {"99999999999999999999", 0, LLONG_MAX, false, 0},
      {"9223372036854775807", 0, LLONG_MAX, true, LLONG_MAX},
      {"9223372036854775808", 0, LLONG_MAX, false, 0},
      {"-9223372036854775808", LLONG_MIN, 0, true, LLONG_MIN},
      {"-99999999999999999999", LLONG_MIN, 0, false, 0},
      {"4294967295", 0, 4294967295LL, true, 4294967295LL},
      {"4294967296", 0, 4294967295LL, false, 0},
  };
  for (const Case& c : cases) {
    long long v = -12345;
    bool ok = WholeNumber(c.text, c.lo, c.hi, v);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  long long v = 0;
  EXPECT_FALSE(WholeNumber(nullptr, 0, 1, v));
}

TEST(WholeNumberDeath, BadOptionValueNamesIt) {
  EXPECT_EXIT(NumberOption("5abc", 0, 10), testing::ExitedWithCode(14), "Error: Illegal option : 5abc!");
  EXPECT_EXIT(NumberOption("-1", 0, 10, "Bad switch"), testing::ExitedWithCode(14), "Error: Bad switch : -1!");
  EXPECT_EQ(NumberOption("7", 0, 10), 7);
}
