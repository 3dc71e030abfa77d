// The word scanner on small texts: positions, line counts, keyword tests.
#include "fbrowse.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "test_files.h"

namespace {

FILE* Over(const std::string& text) {
  static std::string dir = TempDir();
  std::string path = WriteFile(dir, "scan.txt", text);
  return fopen(path.c_str(), "rt");
}

std::string Rest(FILE* f) {
  std::string s;
  for (int c; (c = getc(f)) != EOF;) s += static_cast<char>(c);
  fclose(f);
  return s;
}

TEST(Fbrowse, GotoStringCountsLinesAndStopsAtTheWord) {
  FILE* f = Over("  \n\n  word");
  LineNum = 0;
  EXPECT_EQ(GotoString(f), 1);
  EXPECT_EQ(LineNum, 2);
  EXPECT_EQ(Rest(f), "word");
  f = Over(" \n\t ");
  LineNum = 0;
  EXPECT_EQ(GotoString(f), 0);
  EXPECT_EQ(LineNum, 1);
  fclose(f);
}

TEST(Fbrowse, GetStringLeavesTheRestOfALongerWord) {
  FILE* f = Over("abcdef");
  EXPECT_EQ(GetString(f, 3), "abc");
  EXPECT_EQ(Rest(f), "def");
  f = Over("ab cd");
  EXPECT_EQ(GetString(f, 10), "ab");
  EXPECT_EQ(Rest(f), " cd");
}

TEST(Fbrowse, NumbersAndKeywords) {
  FILE* f = Over("42:");
  EXPECT_EQ(GetInt(f), 42);
  EXPECT_EQ(Rest(f), ":");
  f = Over("3x25 12 5");
  EXPECT_EQ(GetFloat(f), 3.25L);
  EXPECT_EQ(getc(f), ' ');
  EXPECT_EQ(GetFloat(f), 12.5L);
  fclose(f);
  f = Over("Gates: 1");
  EXPECT_EQ(TestString(f, "Gates:", 1), 1);
  EXPECT_EQ(Rest(f), " 1");
  f = Over("Nodes: 1");
  EXPECT_EQ(TestString(f, "Gates:", 1), 0);
  EXPECT_EQ(Rest(f), "Nodes: 1");
  f = Over("Nodes: 1");
  EXPECT_EQ(TestString(f, "Gates:", 2), 0);
  EXPECT_EQ(Rest(f), " 1");
  f = Over("Gates: 1");
  EXPECT_EQ(TestString(f, "Gates:", 0), 1);
  EXPECT_EQ(Rest(f), "Gates: 1");
  f = Over("a\nb\n");
  LineNum = 0;
  EXPECT_EQ(NewLine(f), 1);
  EXPECT_EQ(NewLine(f), 1);
  EXPECT_EQ(NewLine(f), 0);
  EXPECT_EQ(LineNum, 2);
  fclose(f);
}

TEST(FbrowseDeath, BadNumberEndsTheRun) {
  EXPECT_EXIT(
      {
        FILE* f = Over(":");
        LineNum = 3;
        GetInt(f);
      },
      testing::ExitedWithCode(14), "Error at line 3: Invalid expression!");
  EXPECT_EXIT(
      {
        FILE* f = Over("99999999999");
        GetInt(f);
      },
      testing::ExitedWithCode(14), "Invalid number");
}

}  // namespace
