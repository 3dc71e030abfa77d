#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <random>

#include "marks.h"
#include "messages.h"
#include "mudel.h"

namespace {

void Nodes(uint32_t n) {
  verbose_mode = 1;
  free_ag();
  NodCount = n;
}

MarkRow Row(const char* s) { return MarkRow(s, s + strlen(s)); }

TEST(Marks, UnionDifferenceAndWeights) {
  const char* marks = "X01&";
  const char* unions[4] = {"X01&", "00&&", "1&1&", "&&&&"};
  const char* diffs[4] = {"XXXX", "0X0X", "11XX", "&10X"};
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < 4; ++b) {
      EXPECT_EQ(CheckFault(marks[a], marks[b]), unions[a][b]) << marks[a] << marks[b];
      EXPECT_EQ(SubtractOneFault(marks[a], marks[b]), diffs[a][b]) << marks[a] << marks[b];
    }
  EXPECT_EQ(SubtractOneFault('?', '0'), '1');  // unknown: both in A, none in B
  EXPECT_EQ(SubtractOneFault('1', '?'), '1');
  EXPECT_FLOAT_EQ(coverage_f("&0XX", 4), 37.5f);
  EXPECT_FLOAT_EQ(coverage_f("", 0), 0.0f);
  EXPECT_FLOAT_EQ(emu::coverage_f("&0XX", 4), 37.5f);
  EXPECT_EQ(coverage_i("&01Xx/", 6), 4u);
  EXPECT_EQ(diff_coverage("0XX&", "&1X0", 4), 2u);
  EXPECT_EQ(diff_coverage_N("0XX&", "&1X0", 1, 4), 1u);
  EXPECT_EQ(diff_coverage_N("0XX&", "&1X0", 3, 2), 0u);
  char v[] = "0X1&";
  AddVect(v, "11X0", 4);
  EXPECT_STREQ(v, "&11&");
  SubtractVect(v, "0X1X", 4);
  EXPECT_STREQ(v, "11X&");
}

TEST(Marks, TableHelpers) {
  Nodes(3);
  MarkTable t = {Row("0XX"), Row("X1X"), Row("XXX"), Row("1X0"), Row("XXX")};
  EXPECT_EQ(compute_flts(t, 3, 0, 5), Row("&10"));
  EXPECT_EQ(compute_flts(t, 3, 1, 3), Row("X1X"));
  EXPECT_EQ(progress_vector(t, 3, 5), (std::vector<unsigned>{1, 1, 0, 2, 0}));
  EXPECT_EQ(reverse_progress_vector(t, 3, 5), (std::vector<unsigned>{1, 1, 0, 2, 0}));
  optimizer_data d = optimize_vects(t, 3, 5);
  EXPECT_EQ(d.order, (std::vector<unsigned>{3, 0, 1}));
  EXPECT_EQ(d.weights, (std::vector<unsigned>{2, 1, 1}));
  std::vector<std::string> table = AllocCharTable(2, 3, 'X');
  EXPECT_EQ(table, (std::vector<std::string>{"XXX", "XXX", "XXX"}));
  FreeCharTable(table);
  EXPECT_TRUE(table.empty());
}

// A table that does not fit in memory ends the process with its message,
// status 255 (skipped inside the sanitizers, whose allocator ends a process
// on its own when an allocation fails).
TEST(Marks, CharTableTooLarge) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "allocation failures end the process inside the sanitizer";
#else
  auto limited = [] {
    struct rlimit r = {1u << 30, 1u << 30};
    setrlimit(RLIMIT_AS, &r);
    AllocCharTable(INT_MAX - 1, 1, 'X');
  };
  EXPECT_EXIT(limited(), testing::ExitedWithCode(255), "^AllocCharTable: malloc failed.\n$");
#endif
}

TEST(Marks, OptimisersEdgeCases) {
  Nodes(3);
  MarkTable t = {Row("0XX"), Row("XXX"), Row("XXX"), Row("X1X"), Row("XXX")};
  MarkRow f(3, 'X');
  EXPECT_EQ(optimize_length(t, f.data(), 5), 4u);
  EXPECT_EQ(f, Row("01X"));
  MarkRow s(3, 'X');
  EXPECT_EQ(optimize_length_adv(t, s.data(), 3, 0, 5), 4u);
  EXPECT_EQ(s, Row("01X"));
  EXPECT_EQ(optimize_length_adv(t, s.data(), 3, 2, 2), 0u);
  EXPECT_EQ(s, Row("01X"));
  // Only the first row scanned adds marks: one row is needed, not none.
  MarkTable first = {Row("&&&"), Row("0XX")};
  MarkRow f1(3, 'X');
  EXPECT_EQ(optimize_length(first, f1.data(), 2), 1u);
  EXPECT_EQ(optimize_length_adv(first, nullptr, 3, 0, 2), 1u);
  MarkTable none = {Row("XXX"), Row("XXX")};
  EXPECT_EQ(optimize_length_adv(none, nullptr, 3, 0, 2), 0u);
  EXPECT_EQ(optimize_length(none, f1.data(), 0), 1u);
  // The smaller emulator's optimiser: a target of weight 0 needs one row.
  EXPECT_EQ(emu::optimize_length(t, "XXX", 5), 1u);
  EXPECT_EQ(emu::optimize_length(t, "01X", 5), 4u);
  EXPECT_EQ(emu::optimize_length(t, "&&&", 5), 5u);
  EXPECT_EQ(emu::optimize_length(t, "XXX", 0), 0u);
  // Its merge keeps '0' against a row's '&'; the target is then never met.
  MarkTable amp = {Row("0XX"), Row("&XX")};
  EXPECT_EQ(emu::optimize_length(amp, "&XX", 2), 2u);
}

// Level 1 is the shortest prefix keeping every detected fault, level 2 the
// shortest suffix of that prefix keeping them.
TEST(Marks, OptimisersAgainstBruteForce) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    uint32_t nodes = 1 + rng() % 6, rows = 1 + rng() % 12;
    Nodes(nodes);
    MarkTable t(rows, MarkRow(nodes, 'X'));
    for (auto& r : t)
      for (char& m : r) m = "XXXX01&"[rng() % 7];
    MarkRow all = compute_flts(t, nodes, 0, rows);
    unsigned brute1 = 0;
    for (unsigned k = 0; k <= rows; ++k)
      if (compute_flts(t, nodes, 0, k) == all) {
        brute1 = k;
        break;
      }
    MarkRow s(nodes, 'X');
    unsigned len1 = optimize_length_adv(t, s.data(), nodes, 0, rows);
    ASSERT_EQ(len1, brute1);
    ASSERT_EQ(s, all);
    MarkRow f(nodes, 'X');
    ASSERT_EQ(optimize_length(t, f.data(), rows), std::max(brute1, 1u));
    unsigned brute2 = 0;
    for (unsigned k = 0; k <= len1; ++k)
      if (compute_flts(t, nodes, len1 - k, len1) == all) {
        brute2 = k;
        break;
      }
    MarkRow s2(nodes, 'X');
    ASSERT_EQ(optimize_length_adv(t, s2.data(), nodes, len1, 0), brute2);
    ASSERT_EQ(s2, all);
  }
}

}  // namespace
