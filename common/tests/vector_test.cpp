#include <gtest/gtest.h>

#include <random>

#include "messages.h"
#include "mudel.h"
#include "random_model.h"
#include "test_files.h"
#include "vector.h"

namespace {

// Three inputs, a constant 1, one output graph of three nodes.
void SmallModel() {
  std::mt19937 rng(1);
  MakeRandomModel(rng, {3, 1, 1, 1, 3});
  Vars[3].v_flags = VF_CONST | VF_CONST1;
  Grps[0].g_len = 3;
  Nods.assign(3, NodRec{0, 0, {0, 0}});
  NodNames.assign(3, "n");
  NodCount = 3;
}

struct VecTest : testing::Test {
  std::string dir = TempDir();
  void SetUp() override {
    verbose_mode = 1;
    READ_FAULT_TABLE = 1;
    SmallModel();
  }
  void TearDown() override {
    verbose_mode = 0;
    READ_FAULT_TABLE = 1;
  }
  std::string File(const std::string& text) { return WriteFile(dir, "t.tst", text); }
};

TEST_F(VecTest, PatternSymbolsAndConstants) {
  read_vec(File("\n.VECTORS 2\n\n.PATTERNS\n\n01x\nLhl junk after the inputs\n"));
  ASSERT_EQ(vcount, 2u);
  EXPECT_EQ(vects[0], (std::vector<unsigned char>{0, 1, 'x', 1, 'x'}));
  EXPECT_EQ(vects[1], (std::vector<unsigned char>{0, 1, 0, 1, 'x'}));
}

// The model that wrote a status: its single marks, or for '&' alone the
// table read with it (kept or only checked); a status of the other model
// reads as none.
TEST_F(VecTest, OtherModelStatusCountsAsNone) {
  struct Case {
    const char* status;
    const char* table;  // one row; "" for none
    bool delay_run;
    bool kept;
  } cases[] = {
      {"0&X", "", false, true},   {"/&X", "", false, false},  {"&X\\", "", false, false},
      {"&X&", "/XX", false, false}, {"&X&", "0XX", false, true}, {"&X&", "", false, true},
      {"0/X", "", false, false},  {"0/X", "", true, false},   {"/&X", "", true, true},
      {"1XX", "", true, false},   {"&X&", "0XX", true, false}, {"&X&", "X\\X", true, true},
  };
  for (uint32_t keep_table : {1u, 2u}) {
    READ_FAULT_TABLE = keep_table;  // the table kept, or only checked as megasim does
    for (const Case& c : cases) {
      std::string table = *c.table ? std::string("\n.TABLE\n\n") + c.table + "\n" : "";
      read_vec(File(std::string("\n.VECTORS 1\n\n.PATTERNS\n\n000\n") + table + "\n.FAULTS\n\n" + c.status + "\n"));
      ForgetOtherModelStatus(c.delay_run);
      std::vector<char> expect = c.kept ? std::vector<char>(c.status, c.status + 3) : std::vector<char>(3, 'X');
      EXPECT_EQ(faults, expect) << c.status << " table " << c.table << (c.delay_run ? " delay run" : " stuck-at run")
                                << " table mode " << keep_table;
    }
  }
}

TEST_F(VecTest, Mode0ReadsBackAndCoverage) {
  vcount = 2;
  alloc_vec();
  vects[0] = {0, 1, 'x', 1, 1};
  vects[1] = {1, 1, 0, 1, 0};
  ftable[0] = {'0', 'X', 'X'};
  ftable[1] = {'X', '1', 'X'};
  faults = {'0', '&', 'X'};
  write_vec(dir + "/w.tst", 0);
  EXPECT_EQ(ReadFile(dir + "/w.tst"),
            "\n.VECTORS 2\n\n\n.PATTERNS\n\n01xhH\n110hL\n\n.TABLE\n\n0XX\nX1X\n\n.FAULTS\n\n0&X"
            "\n\n.COVERAGE\n\n3 / 6 = 50.000000 %\n\n");
  read_vec(dir + "/w.tst");
  EXPECT_EQ(vects[0], (std::vector<unsigned char>{0, 1, 'x', 1, 'x'}));
  EXPECT_EQ(ftable[1], (std::vector<char>{'X', '1', 'X'}));
  EXPECT_EQ(faults, (std::vector<char>{'0', '&', 'X'}));
  EXPECT_EQ(FAULT_TABLE, 1);
  EXPECT_EQ(FAULT_VECTOR, 1);
}

TEST_F(VecTest, DelayMarksReadBackWhole) {
  read_vec(File("\n.VECTORS 1\n\n.PATTERNS\n\n010\n\n.TABLE\n\n/\\&\n\n.FAULTS\n\n&/\\\n"));
  EXPECT_EQ(ftable[0], (std::vector<char>{'/', '\\', '&'}));
  EXPECT_EQ(faults, (std::vector<char>{'&', '/', '\\'}));
  write_vec(dir + "/d.tst", 5);
  EXPECT_NE(ReadFile(dir + "/d.tst").find("4 / 6 = 66.666667 %"), std::string::npos);
}

// A mark row ends at the first other character (the rest of its line is
// passed over) or at the end of the file; the marks it lacks stay 'X'.
TEST_F(VecTest, MarkRowsEndAtAnotherCharacter) {
  using namespace std::string_literals;
  read_vec(File("\n.VECTORS 4\n\n.PATTERNS\n\n010\n011 \n110\r\n111\n\n.TABLE\n\n0q11\n1\r\n&\0" "11\n/\\\n\n.FAULTS\n\n0"s));
  ASSERT_EQ(vcount, 4u);
  EXPECT_EQ(vects[3], (std::vector<unsigned char>{1, 1, 1, 1, 'x'}));
  EXPECT_EQ(ftable[0], (std::vector<char>{'0', 'X', 'X'}));
  EXPECT_EQ(ftable[1], (std::vector<char>{'1', 'X', 'X'}));
  EXPECT_EQ(ftable[2], (std::vector<char>{'&', 'X', 'X'}));
  EXPECT_EQ(ftable[3], (std::vector<char>{'/', '\\', 'X'}));
  EXPECT_EQ(faults, (std::vector<char>{'0', 'X', 'X'}));
}

// Rows longer than the readers' and the writer's runs of columns: a mark row
// ends at its first other character wherever it stands, a row one mark too
// long is refused, and every pattern value is written by the same rule.
TEST_F(VecTest, LongRowsByTheSameRules) {
  std::mt19937 rng(5);
  MakeRandomModel(rng, {37, 0, 20, 3, 4});
  const uint32_t nodes = NodCount;
  ASSERT_GT(nodes, 33u);
  const std::string marks = "01Xx/\\&";
  std::string text = "\n.VECTORS " + std::to_string(nodes + 1) + "\n\n.PATTERNS\n\n";
  for (uint32_t v = 0; v <= nodes; ++v) {
    std::string row;
    for (uint32_t i = 0; i < InpCount; ++i) row += "01xLHlh"[(v + i) % 7];
    text += row + "\n";
  }
  text += "\n.TABLE\n\n";
  std::vector<std::string> rows;
  for (uint32_t v = 0; v <= nodes; ++v) {
    std::string row;
    for (uint32_t i = 0; i < nodes; ++i) row += marks[(v * 7 + i) % marks.size()];
    if (v < nodes) row[v] = v == 0 ? 'q' : "q2\r "[v % 4];  // the row ends at column v
    rows.push_back(row);
    text += row + "\n";
  }
  read_vec(File(text));
  for (uint32_t v = 0; v <= nodes; ++v) {
    std::string expect = rows[v].substr(0, std::min(v, nodes)) + std::string(nodes - std::min(v, nodes), 'X');
    ASSERT_EQ(std::string(ftable[v].begin(), ftable[v].end()), expect) << "row " << v;
  }
  std::string tooLong = File("\n.VECTORS 1\n\n.TABLE\n\n" + std::string(nodes, '0') + "&\n");
  EXPECT_EXIT(read_vec(tooLong), testing::ExitedWithCode(14), "^\nError at line 6: Line of table too long!\n$");
  // The writer: 0 and 1 as digits by column, any other value as it is.
  vcount = 2;
  alloc_vec();
  const unsigned char values[] = {0, 1, 'x', 'F', 0, 1};
  for (uint32_t v = 0; v < 2; ++v)
    for (uint32_t i = 0; i < VarCount; ++i) vects[v][i] = values[(v + i * 5) % 6];
  write_vec(dir + "/w.tst", 0);
  std::string expect = "\n.VECTORS 2\n\n\n.PATTERNS\n\n";
  for (uint32_t v = 0; v < 2; ++v) {
    for (uint32_t i = 0; i < VarCount; ++i) {
      unsigned char b = vects[v][i];
      const char* digits = i < InpCount ? "01" : i < VarCount - OutCount ? "lh" : "LH";
      expect += b == 0 ? digits[0] : b == 1 ? digits[1] : static_cast<char>(b);
    }
    expect += "\n";
  }
  EXPECT_EQ(ReadFile(dir + "/w.tst").substr(0, expect.size()), expect);
}

TEST_F(VecTest, TableSkippedWithoutReadFaultTable) {
  READ_FAULT_TABLE = 0;
  read_vec(File("\n.VECTORS 1\n\n.PATTERNS\n\n010\n\n.TABLE\n\n0X1\n\n.FAULTS\n\n01X\n"));
  EXPECT_EQ(FAULT_TABLE, 0);
  EXPECT_TRUE(ftable.empty());
  EXPECT_EQ(faults, (std::vector<char>{'0', '1', 'X'}));
}

// A program that writes a table of its own has the rows checked, kept
// nowhere, and its own written in their place.
TEST_F(VecTest, TableCheckedNotKeptAndWrittenFromSource) {
  READ_FAULT_TABLE = 2;
  read_vec(File("\n.VECTORS 2\n\n.PATTERNS\n\n010\n111\n\n.TABLE\n\n0X1\nX&X\n\n.FAULTS\n\n01X\n"));
  EXPECT_EQ(FAULT_TABLE, 1);
  EXPECT_TRUE(ftable.empty());
  std::string tooLong = File("\n.VECTORS 1\n\n.PATTERNS\n\n010\n\n.TABLE\n\nXXXX\n");
  EXPECT_EXIT(read_vec(tooLong), testing::ExitedWithCode(14), "^\nError at line 10: Line of table too long!\n$");
  std::string short_ = File("\n.VECTORS 2\n\n.TABLE\n\nXXX\n");
  EXPECT_EXIT(read_vec(short_), testing::ExitedWithCode(14), "^\nError at line 7: .TABLE : Too few rows in section!\n$");
  TableRowSource = [](uint32_t v, char* row) {
    row[0] = v ? '1' : '0';
    row[1] = 'X';
    row[2] = '&';
  };
  write_vec(dir + "/s.tst", 0);
  TableRowSource = nullptr;
  EXPECT_NE(ReadFile(dir + "/s.tst").find("\n.TABLE\n\n0X&\n1X&\n\n.FAULTS\n\n01X\n"), std::string::npos);
}

TEST_F(VecTest, ModesSixAndSeven) {
  vcount = 5;
  alloc_vec();
  for (uint32_t v = 0; v < 5; ++v) vects[v] = {static_cast<unsigned char>(v & 1), 'F', 'R', 1, 0};
  write_vec(dir + "/m6.tst", 6);
  EXPECT_EQ(ReadFile(dir + "/m6.tst"), "\n.VECTORS 4\n\n\n.PATTERNS\n\n1FR10\n0FR10\n1FR10\n0FR10\n");
  write_vec(dir + "/m7.tst", 7);
  EXPECT_EQ(ReadFile(dir + "/m7.tst"), "\n.VECTORS 5\n\n\n.PATTERNS\n\n0FR\n1FR\n0FR\n1FR\n0FR\n");
  vcount = 0;
  alloc_vec();
  write_vec(dir + "/m6e.tst", 6);
  EXPECT_EQ(ReadFile(dir + "/m6e.tst"), "\n.VECTORS 0\n\n\n.PATTERNS\n\n");
}

TEST_F(VecTest, ReadFaultsTakesOnlyTheFaultRow) {
  vcount = 1;
  alloc_vec();
  read_faults(File("\n.VECTORS 1\n\n.PATTERNS\n\n111\n\n.FAULTS\n\n1&0\n\n.COVERAGE\n\n"));
  EXPECT_EQ(faults, (std::vector<char>{'1', '&', '0'}));
  EXPECT_EQ(vects[0][0], 0);
}

struct Bad {
  const char* text;
  const char* expect;
};

class VecHostile : public VecTest, public testing::WithParamInterface<Bad> {};

TEST_P(VecHostile, Fatal) {
  std::string path = File(GetParam().text);
  EXPECT_EXIT(read_vec(path), testing::ExitedWithCode(14), std::string("^\n") + GetParam().expect + "!\n$");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VecHostile,
    testing::Values(
        Bad{"\n.VECTORS 1\n\n.PATTERNS\n\n0X1\n", "Error at line 6: Unknown symbol in patterns file"},
        Bad{"\n.VECTORS 1\n\n.PATTERNS\n\n0 1\n", "Error at line 6: Unknown symbol in patterns file"},
        Bad{"\n.VECTORS 1\n\n.TABLE\n\nXXXX\n", "Error at line 6: Line of table too long"},
        Bad{"\n.VECTORS 1\n\n.PATTERNS\n\n01\n", "Error at line 6: Unknown symbol in patterns file"},
        Bad{"\n.VECTORS 1\n\n.FAULTS\n\n&&&&\n", "Error at line 6: FAULTS section too long"},
        Bad{"\n.VECTORS 1\n\n.FAULTS\n\n&&&&", "Error at line 6: FAULTS section too long"},
        Bad{"\n.VECTORS 1\n\n.FAULT_STATS\n", "Error at line 4: Unknown keyword"},
        Bad{"\n.PATTERNS\n\n010\n", "Error at line 2: Section before .VECTORS"},
        Bad{"\n.FAULTS\n\n010\n", "Error at line 2: Section before .VECTORS"},
        Bad{"\n.VECTORS 3\n\n.PATTERNS\n\n010\n011\n", "Error at line 8: .PATTERNS : Too few rows in section"},
        Bad{"\n.VECTORS 2\n\n.PATTERNS\n\n010\n01", "Error at line 7: .PATTERNS : Too few rows in section"},
        Bad{"\n.VECTORS 2\n\n.TABLE\n\nXXX\n", "Error at line 7: .TABLE : Too few rows in section"}));

TEST_F(VecTest, ConstantWithoutValue) {
  Vars[3].v_flags = VF_CONST;
  std::string path = File("\n.VECTORS 1\n\n.PATTERNS\n\n010\n");
  EXPECT_EXIT(read_vec(path), testing::ExitedWithCode(14), "^\nError at line 6: Constant variable expected!\n$");
}

TEST_F(VecTest, UncreatableOutput) {
  EXPECT_EXIT(write_vec("/nonexistent/dir/x.tst", 0), testing::ExitedWithCode(14),
              "^\nError: /nonexistent/dir/x.tst : Can't create output file!\n$");
}

}  // namespace
