#include <gtest/gtest.h>

#include <random>

#include "messages.h"
#include "mudel.h"
#include "random_model.h"
#include "test_files.h"

namespace {

// A small model: two inputs, a constant, one internal graph, one output graph.
std::vector<std::string> BaseLines() {
  return {
      "STAT#    4 Nods,  5 Vars,  2 Grps,  2 Inps,  1 Cons,  1 Outs",  // 1
      "MODE#   STRUCTURAL",                                            // 2
      "VAR#   0:  (i_______)  \"a\"",                                  // 3
      "VAR#   1:  (i_______)  \"b\"",                                  // 4
      "VAR#   2:  (___c____)  \"k\" VAL = 1",                          // 5
      "VAR#   3:  (________)  \"g\"",                                  // 6
      "GRP#    0: BEG =   0, LEN =   2 -----",                         // 7
      "   0   0:  (I___)\t(\t1\t0)  V = 0     \"a\"",                  // 8
      "   1   1:  (____)\t(\t0\t0)  V = 1     \"b\"",                  // 9
      "VAR#   4:  (_o______)  \"out\"",                                // 10
      "GRP#    1: BEG =   2, LEN =   2 -----",                         // 11
      "   2   0:  (____)\t(\t1\t0)  V = 3     \"g\"",                  // 12
      "   3   1:  (____)\t(\t0\t0)  V = 2     \"k\"",                  // 13
  };
}

std::string Join(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

std::string ModelFile(const std::string& text) {
  static std::string dir = TempDir();
  return WriteFile(dir, "m.agm", text);
}

void ReadQuiet(const std::string& path) {
  verbose_mode = 1;
  read_ag(path);
  verbose_mode = 0;
}

TEST(ReadAg, BaseModel) {
  ReadQuiet(ModelFile(Join(BaseLines())));
  EXPECT_EQ(NodCount, 4u);
  EXPECT_EQ(VarCount, 5u);
  EXPECT_EQ(Vars[2].v_flags, VF_CONST | VF_CONST1);
  EXPECT_EQ(Vars[4].v_flags, VF_OUTPUT);
  EXPECT_EQ(Nods[0].n_flags, 1u);
  EXPECT_EQ(Nods[0].n_dst[0], 1u);
  EXPECT_EQ(Nods[2].n_var, 3u);
  EXPECT_EQ(Grps[1].g_beg, 2u);
  EXPECT_EQ(VarNames[4], "out");
  EXPECT_EQ(NodNames[3], "k");
}

TEST(ReadAg, IndexNumbersCommentsAndCaseDoNotMatter) {
  std::vector<std::string> l = BaseLines();
  l[1] = "MODE#   structural";
  l[2] = "VAR#   77:  (i_______)  \"a\"";
  l[6] = "GRP#    9: BEG =   55, LEN =   2 -----";
  l[8] = "   40   41:  (____)\t(\t0\t0)  V = 1     \"b\"";
  l.insert(l.begin() + 8, "; a comment between node lines: does not count");
  ReadQuiet(ModelFile(Join(l)));
  EXPECT_EQ(NodCount, 4u);
  EXPECT_EQ(Grps[0].g_beg, 0u);
  EXPECT_EQ(Nods[1].n_var, 1u);
  EXPECT_EQ(NodNames[1], "b");
}

TEST(ReadAg, ConstantValues) {
  struct Case { const char* val; uint32_t flags; };
  for (Case c : {Case{"VAL = 0", VF_CONST | VF_CONST0}, Case{"VAL = 1", VF_CONST | VF_CONST1},
                 Case{"VAL = 7", VF_CONST | VF_CONST1}, Case{"", VF_CONST}}) {
    std::vector<std::string> l = BaseLines();
    l[4] = std::string("VAR#   2:  (___c____)  \"k\" ") + c.val;
    ReadQuiet(ModelFile(Join(l)));
    EXPECT_EQ(Vars[2].v_flags, c.flags) << c.val;
  }
}

TEST(ReadAg, DelayedVariableMayBeReadFromAnyGraph) {
  std::vector<std::string> l = BaseLines();
  l[9] = "VAR#   4:  (_o___D__)  \"out\"";
  l[7] = "   0   0:  (I___)\t(\t1\t0)  V = 4     \"a\"";  // graph 0 reads the later, delayed variable
  ReadQuiet(ModelFile(Join(l)));
  EXPECT_EQ(Vars[4].v_flags, VF_OUTPUT | VF_DELAYED);
}

TEST(ReadAg, LineLengthLimit) {
  std::vector<std::string> l = BaseLines();
  l.insert(l.begin() + 2, ";" + std::string(253, 'c'));  // 254 characters: accepted
  ReadQuiet(ModelFile(Join(l)));
  l[2] = ";" + std::string(254, 'c');  // 255 characters
  EXPECT_EXIT(ReadQuiet(ModelFile(Join(l))), testing::ExitedWithCode(14), "^\nError at line 3: Line too long!\n$");
}

TEST(ReadAg, RoundTripThroughWriter) {
  std::mt19937 rng(5);
  std::string dir = TempDir();
  for (int t = 0; t < 10; ++t) {
    MakeRandomModel(rng, {4, 2, 9, 3, 5});
    if (t % 2) Vars[GraphVar(2)].v_flags |= VF_DELAYED;
    auto nods = Nods; auto vars = Vars; auto grps = Grps; auto nn = NodNames; auto vn = VarNames;
    verbose_mode = 1;
    write_ag(dir + "/r.agm");
    read_ag(dir + "/r.agm");
    verbose_mode = 0;
    ASSERT_EQ(Nods.size(), nods.size());
    for (size_t i = 0; i < nods.size(); ++i) {
      EXPECT_EQ(Nods[i].n_flags, nods[i].n_flags);
      EXPECT_EQ(Nods[i].n_var, nods[i].n_var);
      EXPECT_EQ(Nods[i].n_dst[0], nods[i].n_dst[0]);
      EXPECT_EQ(Nods[i].n_dst[1], nods[i].n_dst[1]);
    }
    for (size_t i = 0; i < grps.size(); ++i) EXPECT_EQ(Grps[i].g_len, grps[i].g_len);
    // The writer marks outputs by position and constants with their value.
    for (uint32_t i = InpCount; i < VarCount; ++i)
      EXPECT_EQ(Vars[i].v_flags & ~VF_OUTPUT, vars[i].v_flags & ~VF_OUTPUT) << i;
    EXPECT_EQ(NodNames, nn);
    EXPECT_EQ(VarNames, vn);
  }
}

struct Hostile {
  const char* what;
  int line;            // index into BaseLines() replaced, -1: none
  const char* text;    // replacement (nullptr: delete the line)
  const char* expect;  // the error line
};

class ReadAgHostile : public testing::TestWithParam<Hostile> {};

TEST_P(ReadAgHostile, EndsWithErrorNamingTheLine) {
  const Hostile& h = GetParam();
  std::vector<std::string> l = BaseLines();
  if (h.line >= 0) {
    if (h.text)
      l[h.line] = h.text;
    else
      l.erase(l.begin() + h.line);
  }
  EXPECT_EXIT(ReadQuiet(ModelFile(Join(l))), testing::ExitedWithCode(14), std::string("^\n") + h.expect + "!\n$")
      << h.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadAgHostile,
    testing::Values(
        Hostile{"vars disagree", 0, "STAT# 4, 6, 2, 2, 1, 1", "Error at line 1: Corrupt DD-model file"},
        Hostile{"more outputs than graphs", 0, "STAT# 4, 5, 2, 2, 1, 3", "Error at line 1: Corrupt DD-model file"},
        Hostile{"missing counts", 0, "STAT# 4 5 2 2 1 1", "Error at line 1: Corrupt DD-model file"},
        Hostile{"negative count", 0, "STAT# -4, 5, 2, 2, 1, 1", "Error at line 1: Corrupt DD-model file"},
        Hostile{"more nodes than lines", 0, "STAT# 5, 5, 2, 2, 1, 1", "Error at line 13: Corrupt DD-model file"},
        Hostile{"huge node count", 0, "STAT# 4000000000, 5, 2, 2, 1, 1", "Error at line 13: Corrupt DD-model file"},
        Hostile{"fewer nodes than lines", 0, "STAT# 3, 5, 2, 2, 1, 1", "Error at line 11: Corrupt DD-model file"},
        Hostile{"unknown mode", 1, "MODE#   RTL", "Error at line 2: Unknown MODE# specification"},
        Hostile{"no mode", 1, "", "Error at line 13: Corrupt DD-model file"},
        Hostile{"empty graph", 6, "GRP#    0: BEG =   0, LEN =   0 -----", "Error at line 7: Corrupt DD-model file"},
        Hostile{"backward successor", 8, "   1   1:  (____)\t(\t1\t0)  V = 1     \"b\"",
                "Error at line 9: Corrupt DD-model file"},
        Hostile{"successor outside graph", 7, "   0   0:  (I___)\t(\t5\t0)  V = 0     \"a\"",
                "Error at line 8: Corrupt DD-model file"},
        Hostile{"variable out of range", 11, "   2   0:  (____)\t(\t1\t0)  V = 9     \"g\"",
                "Error at line 12: Corrupt DD-model file"},
        Hostile{"tests own graph", 7, "   0   0:  (I___)\t(\t1\t0)  V = 3     \"a\"",
                "Error at line 8: Corrupt DD-model file"},
        Hostile{"tests an output", 11, "   2   0:  (____)\t(\t1\t0)  V = 4     \"g\"",
                "Error at line 12: Corrupt DD-model file"},
        Hostile{"node without name", 7, "   0   0:  (I___)\t(\t1\t0)  V = 0     a",
                "Error at line 8: Corrupt DD-model file"},
        Hostile{"node without successors", 7, "   0   0:  (I___)  1 0  V = 0  \"a\"",
                "Error at line 8: Corrupt DD-model file"},
        Hostile{"variable without name", 3, "VAR#   1:  (i_______)  b", "Error at line 4: Corrupt DD-model file"},
        Hostile{"missing variable line", 3, nullptr, "Error at line 12: Corrupt DD-model file"},
        Hostile{"missing node lines", 12, nullptr, "Error at line 12: Corrupt DD-model file"}));

TEST(ReadAgDeath, MissingAndEmptyFiles) {
  EXPECT_EXIT(ReadQuiet("/nonexistent/x.agm"), testing::ExitedWithCode(14),
              "^\nError: /nonexistent/x.agm : Can't open DD-model file!\n$");
  EXPECT_EXIT(ReadQuiet(ModelFile("")), testing::ExitedWithCode(14), "^\nError at line 0: Corrupt DD-model file!\n$");
}

}  // namespace
