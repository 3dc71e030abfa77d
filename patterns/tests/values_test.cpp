// Value words of the values file and the bus list of a model's inputs.
#include <gtest/gtest.h>

#include "mudel.h"
#include "values.h"

namespace {

TEST(Values, ValueForms) {
  struct Case {
    const char* word;
    bool ok;
    uint32_t value;
  } cases[] = {
      {"0", true, 0},           {"3", true, 3},          {"-1", true, 0xffffffffu},  {"0x1f", true, 31},
      {"0b101", true, 5},       {"0xffffffff", true, 0xffffffffu}, {"4294967295", true, 0xffffffffu},
      {"-2147483648", true, 0x80000000u}, {"0b00000000000000000000000000000000001", true, 1},
      {"0x1F", false, 0},       {"01", false, 0},        {"0b", false, 0},           {"0x", false, 0},
      {"0b102", false, 0},      {"0y1", false, 0},       {"-", false, 0},            {"1a", false, 0},
      {"4294967296", false, 0}, {"-2147483649", false, 0}, {"0x100000000", false, 0}, {"99999999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    uint32_t v = 12345;
    EXPECT_EQ(ParseValue(c.word, v), c.ok) << c.word;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.word;
    }
  }
}

TEST(Values, BusList) {
  InpCount = 6;
  VarNames = {"a[1]", "a[0]", "c", "c", "b[0]", "a[2]"};
  std::vector<BusEntry> buses = BuildBusList();
  ASSERT_EQ(buses.size(), 4u);
  EXPECT_EQ(buses[0].name, "a");
  EXPECT_EQ(buses[0].count, 3u);
  EXPECT_FALSE(buses[0].consecutive);  // a[2] comes after other inputs
  EXPECT_EQ(buses[1].name, "c");       // names without '[' are never merged
  EXPECT_EQ(buses[2].name, "c");
  EXPECT_EQ(buses[3].name, "b");
  EXPECT_TRUE(buses[3].consecutive);
}

TEST(Values, ExactNameWinsOverPrefix) {
  std::vector<ValueList> lists = {{"ab", {1}}, {"a", {2}}, {"abc", {3}}};
  EXPECT_EQ(FindValues(lists, "a")->name, "a");
  EXPECT_EQ(FindValues(lists, "ab")->name, "ab");
  lists.erase(lists.begin() + 1);
  EXPECT_EQ(FindValues(lists, "a")->name, "ab");
  EXPECT_EQ(FindValues(lists, "b"), nullptr);
}

}  // namespace
