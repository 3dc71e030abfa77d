#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <cstdlib>

#include "emulation.h"
#include "messages.h"
#include "random.h"
#include "scanner.h"
#include "../../common/tests/test_files.h"

namespace {

const char* const keys[] = {"-rand", "-glen", "-gpoly", nullptr};
const int act[] = {0, 1, 1};

struct Scan {
  std::vector<const char*> argv;
  int result;
  const char* rand;
  const char* glen;
  const char* err;
};

class ScanInput : public testing::TestWithParam<Scan> {};

TEST_P(ScanInput, Cases) {
  const Scan& c = GetParam();
  std::vector<char*> argv;
  for (const char* a : c.argv) argv.push_back(const_cast<char*>(a));
  std::vector<std::optional<std::string>> values;
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  int r = scan_input(static_cast<int>(argv.size()), argv.data(), act, keys, values, 3, "needs %s\n");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
  EXPECT_EQ(r, c.result);
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0] ? values[0]->c_str() : std::string("-"), c.rand);
  EXPECT_EQ(values[1] ? values[1]->c_str() : std::string("-"), c.glen);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScanInput,
    testing::Values(Scan{{"p"}, 0, "-", "-", ""}, Scan{{"p", "d"}, 1, "-", "-", ""},
                    Scan{{"p", "-rand", "-glen", "5", "d"}, 4, "ON", "5", ""},
                    Scan{{"p", "-glen", "5", "-glen", "6", "d"}, 5, "-", "6", ""},
                    Scan{{"p", "-glen", "d"}, 3, "-", "d", ""}, Scan{{"p", "-glen"}, -1, "-", "-", "needs -glen\n"},
                    Scan{{"p", "-x", "d"}, -1, "-", "-", "Unknown argument : -x\n"},
                    Scan{{"p", "-rand", "-x"}, 2, "ON", "-", ""}));

TEST(Scanner, RedefinitionWarns) {
  const char* a[] = {"p", "-glen", "5", "-glen", "6", "d"};
  std::vector<std::optional<std::string>> values;
  verbose_mode = 0;
  testing::internal::CaptureStdout();
  scan_input(6, const_cast<char**>(a), act, keys, values, 3, "%s");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nWarning: Argument -glen redefined!\n");
}

TEST(Scanner, Numbers) {
  int v = -1;
  EXPECT_EQ(CheckDigit(""), 0);
  EXPECT_EQ(CheckDigit("0123"), 0);
  EXPECT_EQ(CheckDigit("12a"), 1);
  EXPECT_EQ(CheckDigit("-1"), 1);
  EXPECT_EQ(CheckDigit(nullptr), 1);
  EXPECT_TRUE(NumberValue("", v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(NumberValue("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  EXPECT_FALSE(NumberValue("2147483648", v));
  EXPECT_FALSE(NumberValue("99999999999999999999", v));
  EXPECT_FALSE(NumberValue("+5", v));
}

// The bits of each number from bit 0 up, a set bit giving '0'.
TEST(Scanner, RandomRegisterStrings) {
  srand48(12345);
  std::string expect;
  for (int k = 0; k < 3; ++k) {
    long w = lrand48();
    for (int b = 0; b < 31; ++b) expect.push_back((w >> b & 1) ? '0' : '1');
  }
  srand48(12345);
  EXPECT_EQ(GenRandVect(70), expect.substr(0, 70));
  EXPECT_EQ(GenRandVect(0), "");
  int32_t s1 = seed1, s2 = seed2;
  uint32_t a = GetRnd(), b = GetRnd();
  std::string e32;
  for (uint32_t w : {a, b})
    for (int bit = 0; bit < 32; ++bit) e32.push_back((w >> bit & 1) ? '0' : '1');
  seed1 = s1;
  seed2 = s2;
  EXPECT_EQ(GenRandVect32(40), e32.substr(0, 40));
}

// A register string that does not fit in memory ends the process with the
// allocation message, status 255.  The sanitizers' allocator ends a process
// on its own when an allocation fails, so there the check is skipped.
TEST(Scanner, RandomRegisterStringTooLong) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "allocation failures end the process inside the sanitizer";
#else
  auto limited = [](bool wide) {
    struct rlimit r = {1u << 30, 1u << 30};
    setrlimit(RLIMIT_AS, &r);
    if (wide)
      GenRandVect32(INT_MAX);
    else
      GenRandVect(INT_MAX);
  };
  EXPECT_EXIT(limited(false), testing::ExitedWithCode(255), "^Not enough memory.\n$");
  EXPECT_EXIT(limited(true), testing::ExitedWithCode(255), "^Not enough memory.\n$");
#endif
}

TEST(Scanner, LineReader) {
  std::string dir = TempDir();
  Read r(WriteFile(dir, "a.txt", "ab\r\ncd\nlast"));
  std::vector<std::string> lines;
  while (const char* l = r.GetLine()) lines.push_back(l);
  EXPECT_EQ(lines, (std::vector<std::string>{"ab", "", "cd", "last"}));
  EXPECT_EQ(r.AtEnd(), 1);
  EXPECT_EQ(r.GetLen(), 4);
  Read none(dir + "/missing");
  EXPECT_EQ(none.GetLine(), nullptr);
  EXPECT_EQ(none.AtEnd(), 1);
  EXPECT_EQ(none.GetLen(), -1);
}

TEST(Scanner, RegisterSettingsOfATestFile) {
  std::string dir = TempDir();
  std::string path = WriteFile(dir, "t.tst",
                               ".POLYNOMIAL 111\n.generator\n\n.INITIAL_STATE 0101\n.POLYNOMIAL 1001\n"
                               ".ANALYZER\n.initial_state  x10\n.POLYNOMIAL 011\n.SIGNATURE 000\n");
  std::vector<std::optional<std::string>> v(ARGS);
  v[GPOLY] = "0001";
  EXPECT_TRUE(readTST(path, v));
  EXPECT_EQ(*v[GPOLY], "0001");  // the command line wins
  EXPECT_EQ(*v[GINIT], "0101");
  EXPECT_EQ(*v[AINIT], "10");
  EXPECT_EQ(*v[APOLY], "011");
  EXPECT_FALSE(readTST(dir + "/missing.tst", v));
  std::string bad = WriteFile(dir, "b.tst", ".GENERATOR\n.POLYNOMIAL xyz\n");
  EXPECT_EXIT(readTST(bad, v), testing::ExitedWithCode(255), "^Reading tst file : bad polynomial\n$");
}

TEST(Scanner, RunListOrder) {
  verbose_mode = 0;
  LIST* head = nullptr;
  float cov[] = {80, 90, 90};
  LIST* recs[3];
  for (int i = 0; i < 3; ++i) {
    recs[i] = CreateRecord();
    recs[i]->coverage = cov[i];
    recs[i]->count = 1000;
    head = InsertRecord(head, recs[i]);
  }
  EXPECT_EQ(head, recs[1]);
  EXPECT_EQ(head->next, recs[2]);
  EXPECT_EQ(head->next->next, recs[0]);
  LIST* shorter = CreateRecord();
  shorter->coverage = 90;
  shorter->count = 10;
  head = InsertRecord(head, shorter);
  EXPECT_EQ(head, shorter);
  testing::internal::CaptureStdout();
  EXPECT_EQ(InsertRecord(head, nullptr), head);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "NULL viit uuele kirjele !!!\n\r");
  FreeRecords(head);
}

TEST(Scanner, ProgressBar) {
  testing::internal::CaptureStdout();
  progress_bar(0, 10);
  progress_bar(5, 10);
  progress_bar(10, 10);
  progress_bar(0, 0);
  std::string esc = "\x1b[2K\x1b[50D|";
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            esc + std::string(40, ' ') + "|  0% \\" + esc + std::string(20, '*') + std::string(20, ' ') + "|  50% |" +
                esc + std::string(40, '*') + "|  100%" + esc + std::string(40, '*') + "|  100%");
}

}  // namespace
