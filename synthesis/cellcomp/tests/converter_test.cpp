// The compiled cells must compute their expressions.  The library file is read
// back with a reader written here from the library file's grammar, each cell's
// gate network is evaluated for every input combination and compared with a
// direct evaluation of the source expression.
#include "converter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// ---- the library file as read ----

struct Row {
  std::string name, type;
  int fanout = 0;
  std::vector<int> fanin;
};
struct Cell {
  std::string expr;  // the expression line (as in the source)
  std::string name;
  std::vector<Row> rows;
};

// Reads every cell: a line beginning with '"' names a cell, followed by its
// row count and rows; other lines are passed over (the expression line is
// kept to find the cell's source expression).
std::vector<Cell> ReadLibrary(const std::string& path) {
  std::ifstream in(path);
  std::vector<Cell> cells;
  std::string line, lastexpr;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == ':') lastexpr = line.substr(1);
    if (line.empty() || line[0] != '"') continue;
    Cell cell;
    cell.expr = lastexpr;
    size_t close = line.find('"', 1);
    EXPECT_NE(close, std::string::npos) << line;
    cell.name = line.substr(1, close - 1);
    int count = std::stoi(line.substr(close + 1));
    // Rows: number, name, type word, fan-out, fan-in count, fan-in numbers
    // (which may follow on the next line).
    std::string rest;
    for (int r = 0; r < count; ++r) {
      EXPECT_TRUE(std::getline(in, line));
      std::istringstream fields(line);
      int number, nfanin;
      Row row;
      fields >> number >> row.name >> row.type >> row.fanout >> nfanin;
      EXPECT_EQ(number, r) << cell.name;
      EXPECT_GE(nfanin, 0);
      EXPECT_LE(nfanin, 127);
      if (nfanin > 0) {
        EXPECT_TRUE(std::getline(in, line));
        std::istringstream list(line);
        for (int f; list >> f;) row.fanin.push_back(f);
        EXPECT_EQ(static_cast<int>(row.fanin.size()), nfanin) << cell.name << " row " << r;
        EXPECT_EQ(line.back(), ' ');
      }
      cell.rows.push_back(row);
    }
    cells.push_back(cell);
  }
  return cells;
}

// The value of the cell's last row for the given input values (by name).
bool EvalCell(const Cell& cell, const std::map<std::string, bool>& inputs) {
  std::vector<bool> v(cell.rows.size());
  for (size_t r = 0; r < cell.rows.size(); ++r) {
    const Row& row = cell.rows[r];
    for (int f : row.fanin) {
      EXPECT_GE(f, 0);
      EXPECT_LT(f, static_cast<int>(r)) << "a row reads a later row";
    }
    auto in = [&](size_t i) { return static_cast<bool>(v.at(row.fanin.at(i))); };
    bool all = true, any = false;
    for (size_t i = 0; i < row.fanin.size(); ++i) {
      all = all && in(i);
      any = any || in(i);
    }
    if (row.type == "inpt") v[r] = inputs.at(row.name);
    else if (row.type == "from" || row.type == "buff") v[r] = in(0);
    else if (row.type == "not") v[r] = !in(0);
    else if (row.type == "and") v[r] = all;
    else if (row.type == "nand") v[r] = !all;
    else if (row.type == "or") v[r] = any;
    else if (row.type == "nor") v[r] = !any;
    else ADD_FAILURE() << "type word " << row.type;
  }
  return v.back();
}

// ---- the source expression, evaluated directly ----

struct Eval {
  const std::string& s;
  const std::map<std::string, bool>& val;
  size_t i = 0;
  bool sum() {
    bool v = product();
    while (i < s.size() && s[i] == '+') {
      ++i;
      bool w = product();
      v = v || w;
    }
    return v;
  }
  bool product() {
    bool v = factor();
    while (i < s.size() && s[i] == '*') {
      ++i;
      bool w = factor();
      v = v && w;
    }
    return v;
  }
  bool factor() {
    if (s[i] == '!') {
      ++i;
      return !factor();
    }
    if (s[i] == '(') {
      ++i;
      bool v = sum();
      ++i;  // ')'
      return v;
    }
    size_t start = i;
    while (i < s.size() && std::string("!()*+").find(s[i]) == std::string::npos) ++i;
    return val.at(s.substr(start, i - start));
  }
};

bool EvalExpr(const std::string& s, const std::map<std::string, bool>& val) {
  Eval e{s, val};
  return e.sum();
}

// Checks one compiled cell: its structure (every row read as often as its
// fan-out says, the output row last and unread) and its function.
void CheckCell(const Cell& cell) {
  SCOPED_TRACE(cell.name + " : " + cell.expr);
  ASSERT_FALSE(cell.rows.empty());
  std::vector<int> readers(cell.rows.size(), 0);
  std::vector<std::string> names;
  for (const Row& row : cell.rows)
    for (int f : row.fanin) ++readers.at(f);
  for (size_t r = 0; r < cell.rows.size(); ++r) {
    const Row& row = cell.rows[r];
    if (r + 1 == cell.rows.size()) {
      EXPECT_EQ(row.fanout, 0);
      EXPECT_NE(row.type, "inpt");
    } else {
      EXPECT_EQ(row.fanout, readers[r]) << "row " << r;
    }
    EXPECT_EQ(row.fanin.empty(), row.type == "inpt") << "row " << r;
    if (row.type == "inpt") names.push_back(row.name);
  }
  ASSERT_LE(names.size(), 12u);
  for (unsigned m = 0; m < (1u << names.size()); ++m) {
    std::map<std::string, bool> val;
    for (size_t k = 0; k < names.size(); ++k) val[names[k]] = (m >> k) & 1;
    EXPECT_EQ(EvalCell(cell, val), EvalExpr(cell.expr, val)) << "inputs " << m;
  }
}

// Compiles a source in this process and reads the library back.
std::vector<Cell> Compile(const std::string& source, const std::string& layout = "") {
  char dir[] = "/tmp/cellcompXXXXXX";
  EXPECT_NE(mkdtemp(dir), nullptr);
  std::string src = std::string(dir) + "/cells.lib", qz = std::string(dir) + "/cells.qz";
  std::ofstream(src) << source;
  std::vector<std::string> words = {"cellcomp"};
  if (!layout.empty()) words.push_back(layout);
  words.push_back(src);
  words.push_back(qz);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  {
    converter conv(static_cast<int>(argv.size()), argv.data());
    conv.run();
  }
  std::vector<Cell> cells = ReadLibrary(qz);
  unlink(src.c_str());
  unlink(qz.c_str());
  rmdir(dir);
  return cells;
}

std::string Normalized(const std::string& e) {
  converter c;
  c.expr = e;
  c.normalize();
  return c.expr;
}

// ---- tests ----

TEST(Normalize, BracketsEveryGroup) {
  const std::pair<const char*, const char*> cases[] = {
      {"(!a)*b", "(!a*b)"},       {"!!a", "a"},
      {"a+b*c", "(a+(b*c))"},     {"(a+b)*c", "((a+b)*c)"},
      {"a*b+c", "((a*b)+c)"},     {"!a*b", "(!a*b)"},
      {"!(a*b)", "!(a*b)"},       {"a", "a"},
      {"!a", "!a"},               {"(!(a+b))", "!(a+b)"},
      {"a*b*c+d", "((a*b*c)+d)"}, {"a*b+c*d", "((a*b)+(c*d))"},
      {"(a+b)*c+d", "(((a+b)*c)+d)"},
      // every pair of '!' cancels, however long the run
      {"!!!a", "!a"},             {"!!!!a", "a"},
      {"!!!!!a*b", "(!a*b)"},
      // redundant parentheses are dropped
      {"(A)*B", "(A*B)"},         {"((A+B))", "(A+B)"},
      {"((A))", "A"},             {"!(!A)", "A"},
      {"!((A))", "!A"},           {"A*(!(B))", "(A*!B)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Normalized(c.first), c.second) << c.first;
}

TEST(Normalize, RefusesMalformedExpressions) {
  const char* bad[] = {"a)*(b+c", "(a", "a)", "a*", "*a", "()", "a!b", "a(b)", "(a)(b)",
                       "A=B", "!", "a**b"};
  for (const char* e : bad)
    EXPECT_EXIT(Normalized(e), testing::ExitedWithCode(14), "Error: Error in Boolean expression!")
        << e;
}

TEST(Normalize, ChecksLengthBeforeEveryInsertion) {
  // 127 operands: 253 characters as read; bracketing the sum needs 2 more
  // (255, accepted), an extra product needs 2 more still (refused).
  std::string sum = "a";
  for (int i = 0; i < 126; ++i) sum += "+a";
  ASSERT_EQ(sum.size(), 253u);
  EXPECT_EQ(Normalized(sum).size(), 255u);
  std::string mixed = "a*b";
  for (int i = 0; i < 125; ++i) mixed += "+a";
  ASSERT_EQ(mixed.size(), 253u);
  EXPECT_EXIT(Normalized(mixed), testing::ExitedWithCode(14), "Boolean expression too long");
}

TEST(Compile, CellsOfEveryNormaliserCaseComputeTheirExpression) {
  const char* exprs[] = {
      "(!a)*b", "!!a", "a+b*c", "(a+b)*c", "A*B+!D", "A*B+A*D", "!A", "A", "CONST0", "!(A*B)",
      "A*B*D", "!A*B+!A*D", "A*A", "A*!A", "!!!!A", "!!!!!A", "(A)*B", "((A+B))", "!(!A)",
      "!((A*B)+C)", "!(A+B)*C", "A*(B+C)*D", "!(!(A*!B)+!(!C+D))", "(((A)))+B",
  };
  std::string source;
  int n = 0;
  for (const char* e : exprs) source += "GATE C" + std::to_string(n++) + " Y=" + e + ";\n";
  std::vector<Cell> cells = Compile(source);
  ASSERT_EQ(cells.size(), std::size(exprs));
  for (const Cell& c : cells) CheckCell(c);
  // A*A is A and A*!A is 0, through a real decomposition (not one inverter).
  EXPECT_EQ(cells[12].rows.size(), 4u);  // A, from0, from1, Y
  EXPECT_EQ(cells[13].rows.back().type, "and");
}

TEST(Compile, GenericLibraryComputesItsCells) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/generic_cells.lib");
  std::stringstream text;
  text << in.rdbuf();
  std::vector<Cell> cells = Compile(text.str());
  ASSERT_EQ(cells.size(), 19u);
  for (const Cell& c : cells) CheckCell(c);
}

// Random expressions over four names with random negation runs, redundant
// parentheses and mixed operators.
std::string RandomExpr(std::mt19937& rng, int depth) {
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  std::string nots(pick(4) == 0 ? pick(4) : 0, '!');
  if (depth == 0 || pick(3) == 0) {
    std::string name(1, "ABCD"[pick(4)]);
    return pick(5) == 0 ? nots + "(" + name + ")" : nots + name;
  }
  int n = 2 + pick(3);
  std::string s = RandomExpr(rng, depth - 1);
  for (int i = 1; i < n; ++i) s += (pick(2) ? "*" : "+") + RandomExpr(rng, depth - 1);
  return nots + "(" + s + ")";
}

TEST(Compile, RandomExpressionsComputeTheirFunction) {
  std::mt19937 rng(12345);
  std::string source;
  int made = 0;
  while (made < 300) {
    std::string e = RandomExpr(rng, 3);
    if (e.size() > 90) continue;
    source += "GATE R" + std::to_string(made++) + " Y=" + e + ";\n";
  }
  std::vector<Cell> cells = Compile(source);
  ASSERT_EQ(cells.size(), 300u);
  for (const Cell& c : cells) CheckCell(c);
}

}  // namespace
