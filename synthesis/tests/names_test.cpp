// Name handling of the synthesis programs: case-insensitive comparison and
// look-up, and the way array members are shown.
#include <gtest/gtest.h>

#include "lists.h"
#include "netlist.h"

namespace {

TEST(Stricmp, OrdersLikeLowerCaseCopies) {
  struct Case {
    const char *a, *b;
    int sign;
  } cases[] = {
      {"AND2", "and2", 0},   {"Cell_A", "cELL_a", 0}, {"abc", "abd", -1}, {"ab", "abc", -1},
      {"abc", "ab", 1},      {"", "", 0},
      // Letters compare lowered, so an underscore lies below every letter of
      // either case, and above '[' which lies below it in the character set.
      {"a_", "aZ", -1},      {"a_", "az", -1},       {"a_", "a[", 1},   {"Z", "_", 1},
  };
  for (const Case& c : cases) {
    int r = stricmp(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
  }
}

TEST(Containers, FindIgnoresCaseWhereNamesDo) {
  list l;
  l.push({"GATES", "AND2"});
  l.push({"work", "top"});
  EXPECT_EQ(l.find("gates"), 0);
  EXPECT_EQ(l.find("WORK"), 1);
  EXPECT_EQ(l.find("other"), -1);
  EXPECT_EQ(isdesign(l, "Work", "TOP"), 1);
  EXPECT_EQ(isdesign(l, "work", "AND2"), 0);

  stringlist s;
  s.push("Clk");
  EXPECT_EQ(s.find("Clk"), 0);
  EXPECT_EQ(s.find("clk"), -1);
  EXPECT_EQ(s.ifind("CLK"), 0);
  EXPECT_EQ(stringlist().find("Clk"), -1);
}

TEST(Shown, ArrayMembersTakeBrackets) {
  struct Case {
    const char *name, *shown;
  } cases[] = {
      {"c_0 ", "c[0]"},          {"bus_12 ", "bus[12]"},     {"u_1 >Y", "u[1]>Y"},
      {"u_1 >d_3 ", "u[1]>d[3]"}, {"a_b_7 ", "a_b[7]"},       {"plain", "plain"},
      {"G17_OUT", "G17_OUT"},     {"x_ ", "x_ "},             {"fan_y_2 ", "fan_y[2]"},
      {"f0>x1>A2", "f0>x1>A2"},
  };
  for (const Case& c : cases) EXPECT_EQ(shown(c.name), c.shown) << '"' << c.name << '"';
}

}  // namespace
