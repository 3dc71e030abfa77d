#include "bench_netlist.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

BenchNetlist Parse(const std::string& text) {
  std::istringstream in(text);
  return ParseBench(in);
}

// Value of every OUTPUT line for all input combinations of a netlist of at
// most six inputs, as a string of 0/1 per output (combination k in bit k).
std::vector<std::string> Truth(const BenchNetlist& net) {
  size_t n = net.inputs.size();
  std::vector<uint64_t> in(n, 0);
  for (size_t k = 0; k < (1u << n); ++k)
    for (size_t i = 0; i < n; ++i)
      if ((k >> i) & 1) in[i] |= uint64_t{1} << k;
  std::vector<uint64_t> v = EvalBench(net, in);
  std::vector<std::string> out;
  for (uint32_t o : net.outputs) {
    std::string s;
    for (size_t k = 0; k < (1u << n); ++k) s += ((v[o] >> k) & 1) ? '1' : '0';
    out.push_back(s);
  }
  return out;
}

TEST(BenchNetlist, EveryGateWordOnTwoInputs) {
  // Combinations 00, 10, 01, 11 of (a, b).
  struct Case {
    const char* gate;
    const char* truth;
  } cases[] = {{"AND(a, b)", "0001"}, {"OR(a,b)", "0111"},  {"NAND(a, b)", "1110"}, {"NOR(a, b)", "1000"},
               {"XOR(a, b)", "0110"}, {"XNOR(a, b)", "1001"}, {"NOT(a)", "1010"},   {"BUFF(b)", "0011"}};
  for (const Case& c : cases) {
    BenchNetlist net = Parse(std::string("INPUT(a)\nINPUT(b)\nOUTPUT(y)\ny = ") + c.gate + "\n");
    EXPECT_EQ(Truth(net), std::vector<std::string>{c.truth}) << c.gate;
  }
}

TEST(BenchNetlist, ReadsC17InAnyOrderWithCommentsAndRepeatedOutputs) {
  // c17 with its gates listed backwards, a header, blanks and comments; an
  // output that is an input and an output listed twice.
  BenchNetlist net = Parse(
      "# 5 inputs\n# 2 outputs\n\nINPUT(1)\nINPUT(2)\n  INPUT(3)\nINPUT(6)\nINPUT(7)\n"
      "OUTPUT(22)\nOUTPUT(23)\nOUTPUT(1)\nOUTPUT(22)   # again\n"
      "23 = NAND(16, 19)\n22 = NAND(10, 16)\n19 = NAND(11, 7)\n16 = NAND(2, 11)\n"
      "\t11 = NAND(3,6)\r\n10 = NAND(1, 3)\n");
  ASSERT_EQ(net.inputs.size(), 5u);
  ASSERT_EQ(net.outputs.size(), 4u);
  std::vector<std::string> t = Truth(net);
  // Reference by hand for every combination of (1,2,3,6,7).
  for (size_t k = 0; k < 32; ++k) {
    int i1 = k & 1, i2 = (k >> 1) & 1, i3 = (k >> 2) & 1, i6 = (k >> 3) & 1, i7 = (k >> 4) & 1;
    int g10 = !(i1 && i3), g11 = !(i3 && i6), g16 = !(i2 && g11), g19 = !(g11 && i7);
    int g22 = !(g10 && g16), g23 = !(g16 && g19);
    EXPECT_EQ(t[0][k] - '0', g22) << k;
    EXPECT_EQ(t[1][k] - '0', g23) << k;
    EXPECT_EQ(t[2][k] - '0', i1) << k;
    EXPECT_EQ(t[3][k] - '0', g22) << k;
  }
  EXPECT_EQ(net.signals[net.inputs[0]].readers, 2u);  // gate 10 and the OUTPUT line
  EXPECT_EQ(net.signals[net.inputs[1]].readers, 1u);
}

TEST(BenchNetlist, WideGatesAndChains) {
  BenchNetlist net = Parse("INPUT(a)\nINPUT(b)\nINPUT(c)\nOUTPUT(y)\nOUTPUT(z)\n"
                           "y = NOR(a, b, c)\nz = XOR(a, b, c)\n");
  // Combinations k = a + 2b + 4c.
  EXPECT_EQ(Truth(net), (std::vector<std::string>{"10000000", "01101001"}));
}

TEST(BenchNetlist, RefusesBadFilesWithTheirLine) {
  struct Case {
    const char* text;
    const char* message;
    int line;
  } cases[] = {
      {"INPUT(a)\nOUTPUT(q)\nq = DFF(a)\n", "DFF q: flip-flops are not combinational", 3},
      {"INPUT(a)\nOUTPUT(y)\ny = and(a)\n", "gate and not supported", 3},
      {"INPUT(a)\nOUTPUT(y)\ny = MUX(a, a)\n", "gate MUX not supported", 3},
      {"INPUT(a)\nOUTPUT(y)\ny = NOT(a, a)\n", "NOT y needs exactly one argument", 3},
      {"INPUT(a)\nOUTPUT(y)\ny = AND(a, )\n", "bad argument \"\" of y", 3},
      {"INPUT(a)\nOUTPUT(y)\ny = AND(a, Phi1H)\n", "signal Phi1H is read but never defined", 3},
      {"INPUT(a)\nOUTPUT(w)\ny = NOT(a)\n", "signal w is read but never defined", 2},
      {"INPUT(a)\nINPUT(a)\nOUTPUT(a)\n", "signal a defined twice (first at line 1)", 2},
      {"INPUT(a)\nOUTPUT(a)\na = NOT(a)\n", "signal a defined twice (first at line 1)", 3},
      {"INPUT(a)\nOUTPUT(y)\ny = AND(a, z)\nz = OR(a, y)\n", "combinational loop through", 0},
      {"INPUT(a)\nOUTPUT(y)\ny = AND(a) x\n", "unreadable gate line", 3},
      {"INPUT(a b)\n", "bad signal name \"a b\"", 1},
      {"INPUTS(a)\n", "unreadable line", 1},
      {"INPUT(a)\n", "no OUTPUT line", 0},
  };
  for (const Case& c : cases) {
    try {
      Parse(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const BenchError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      if (c.line) {
        EXPECT_EQ(e.line, c.line) << c.text;
      }
    }
  }
}

}  // namespace
