// The multi-valued simulator: its letters against the binary values of both
// patterns, the 8-valued run against the 5-valued one, and the real program
// against the transition marks of analyze -model delay.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "fsimul.h"
#include "messages.h"
#include "mudel.h"
#include "mvsimul.h"
#include "ssbdd_model.h"
#include "vector.h"

namespace {

using Rows = std::vector<std::vector<unsigned char>>;

// Fills every row's inputs at random (binary, or with 'x' when asked).
void RandomPatterns(std::mt19937& rng, uint32_t count, bool with_x) {
  vcount = count;
  verbose_mode = 1;
  alloc_vec();
  verbose_mode = 0;
  for (auto& row : vects)
    for (uint32_t i = 0; i < InpCount; ++i)
      row[i] = with_x && rng() % 6 == 0 ? 'x' : static_cast<unsigned char>(rng() & 1);
}

Rows MvRun(const Rows& patterns, int alphabet) {
  vects = patterns;
  alloc_mv_simul();
  if (alphabet == 8) simul();
  mv_simul(alphabet);
  free_mv_simul();
  return Rows(vects.begin(), vects.end());
}

// A letter against the binary values of a variable in the two patterns.
bool Agrees(unsigned char letter, int before, int after) {
  switch (letter) {
    case 0: case 'o': return before == 0 && after == 0;
    case 1: case 'i': return before == 1 && after == 1;
    case 'E': case 'e': return before == 0 && after == 1;
    case 'H': case 'h': return before == 1 && after == 0;
    default: return false;
  }
}

TEST(Alphasim, LettersAgreeWithBothPatternsOnBinaryInputs) {
  std::mt19937 rng(11);
  for (int model = 0; model < 60; ++model) {
    SsbddShape shape;
    shape.inputs = 3 + model % 6;
    shape.constants = model % 2;
    shape.graphs = 6 + model % 20;
    shape.outputs = 1 + model % 3;
    shape.max_leaves = 2 + model % 6;
    MakeSsbddModel(rng, shape);
    RandomPatterns(rng, 20, false);
    Rows patterns(vects.begin(), vects.end());
    simul();
    Rows binary(vects.begin(), vects.end());
    Rows five = MvRun(patterns, 5), eight = MvRun(patterns, 8);
    for (uint32_t i = 1; i < vcount; ++i)
      for (uint32_t v = 0; v < VarCount; ++v) {
        SCOPED_TRACE("model " + std::to_string(model) + " row " + std::to_string(i) + " variable " + VarNames[v]);
        // The 8-valued letters refine the 5-valued unknown only.
        if (five[i][v] == 'x')
          EXPECT_NE(std::string("oieh").find(static_cast<char>(eight[i][v])), std::string::npos);
        else
          EXPECT_EQ(eight[i][v], five[i][v]);
        EXPECT_TRUE(Agrees(eight[i][v], binary[i - 1][v], binary[i][v])) << int(eight[i][v]);
      }
  }
}

TEST(Alphasim, EdgeCases) {
  verbose_mode = 1;
  read_ag(std::string(TEST_DATA_DIR) + "/andor.agm");  // g = a.b, y = g + c, z = !b.c
  vcount = 2;
  alloc_vec();
  verbose_mode = 0;
  struct Case {
    const char* before;
    const char* after;
    const char* five;   // letters of a b c g y z
    const char* eight;
  };
  const Case cases[] = {
      {"101", "101", "101011", "101011"},   // identical patterns: binary only
      {"x01", "x01", "x01011", "x01011"},   // 'x' in both stays 'x'; b = 0 decides g
      {"x11", "111", "H11H10", "H11H10"},   // x to 1 counts as falling
      {"010", "110", "E10EE0", "E10EE0"},   // a rising through the AND and the OR
      {"100", "010", "HE0xx0", "HE0oo0"},   // rising and falling into an AND: 0 before and after
      {"001", "011", "0E101H", "0E101H"},   // rising b beside a 0 gives 0; inverted in z it falls
  };
  for (const Case& c : cases) {
    Rows patterns(2, std::vector<unsigned char>(VarCount, 'x'));
    for (int i = 0; i < 3; ++i) {
      patterns[0][i] = c.before[i] == 'x' ? 'x' : c.before[i] - '0';
      patterns[1][i] = c.after[i] == 'x' ? 'x' : c.after[i] - '0';
    }
    for (int alphabet : {5, 8}) {
      Rows r = MvRun(patterns, alphabet);
      const char* want = alphabet == 5 ? c.five : c.eight;
      std::string got;
      for (unsigned char b : r[1]) got.push_back(b == 0 ? '0' : b == 1 ? '1' : static_cast<char>(b));
      std::string expect;
      for (int i = 0; i < 6; ++i) expect.push_back(want[i] ? want[i] : '0');
      EXPECT_EQ(got, expect) << c.before << " -> " << c.after << ", " << alphabet << " values";
    }
  }
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The lines of a section of a written test file.
std::vector<std::string> Section(const std::string& text, const std::string& name) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '.') {
      inside = line == name;
      continue;
    }
    if (inside && !line.empty()) lines.push_back(line);
  }
  return lines;
}

TEST(AlphasimProgram, TransitionMarksOfAnalyzeSitOnChangingLetters) {
  char tmpl[] = "/tmp/alphasimXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::mt19937 rng(3);
  uint32_t marks = 0;
  for (int model = 0; model < 6; ++model) {
    SsbddShape shape;
    shape.inputs = 5;
    shape.graphs = 20;
    shape.outputs = 3;
    shape.max_leaves = 5;
    MakeSsbddModel(rng, shape);
    RandomPatterns(rng, 40, false);
    std::string d = dir + "/m";
    verbose_mode = 1;
    write_ag(d + ".agm");
    write_vec(d + ".tst", 7);
    verbose_mode = 0;
    ASSERT_EQ(std::system(("cd " + dir + " && " ALPHASIM_PATH " -values 8 m >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system(("cd " + dir + " && " ANALYZE_PATH " -model delay m >/dev/null").c_str()), 0);
    std::vector<std::string> letters = Section(Slurp(d + ".mvl"), ".PATTERNS");
    std::vector<std::string> table = Section(Slurp(d + ".tst"), ".TABLE");
    std::vector<std::string> values = Section(Slurp(d + ".tst"), ".PATTERNS");
    ASSERT_EQ(letters.size(), vcount - 1);
    ASSERT_EQ(table.size(), vcount);
    ASSERT_EQ(values.size(), vcount);
    // Every letter against the values analyze wrote for the two patterns.
    auto bit = [](char c) { return std::string("1hH").find(c) != std::string::npos ? 1 : 0; };
    for (uint32_t i = 1; i < vcount; ++i)
      for (uint32_t v = 0; v < VarCount; ++v) {
        char c = letters[i - 1][v];
        unsigned char letter = c == '0' ? 0 : c == '1' ? 1 : static_cast<unsigned char>(c);
        EXPECT_TRUE(Agrees(letter, bit(values[i - 1][v]), bit(values[i][v])))
            << "model " << model << " pattern " << i << " variable " << VarNames[v] << " letter " << c;
      }
    for (uint32_t i = 1; i < vcount; ++i)
      for (uint32_t n = 0; n < NodCount; ++n) {
        char m = table[i][n];
        if (m != '/' && m != '\\') continue;
        ++marks;
        // The mark gives the line's direction: the variable's, inverted for an inverted node.
        bool rising = (m == '/') != (Nods[n].n_flags & 1);
        char letter = letters[i - 1][Nods[n].n_var];
        EXPECT_NE(std::string(rising ? "Ee" : "Hh").find(letter), std::string::npos)
            << "model " << model << " pattern " << i << " node " << n << " letter " << letter;
      }
  }
  EXPECT_GT(marks, 0u);
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
