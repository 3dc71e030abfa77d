#include <gtest/gtest.h>

#include "messages.h"

namespace {

struct Quiet {
  Quiet() { verbose_mode = 1; }
  ~Quiet() { verbose_mode = 0; }
};

TEST(Messages, FormatsOnOutput) {
  testing::internal::CaptureStdout();
  BeginProcessing("Reading x");
  EndProcessing();
  Warning("careful", -1);
  Warning("careful", 0);
  Warnings("a.agm", "odd", 12);
  TextOut("100% done\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\nReading x... OK\n\nWarning: careful\n\nWarning at line 0: careful\n"
            "\nWarning at line 12: a.agm : odd\n100% done\n");
}

TEST(Messages, VerboseModeSilencesAllButErrors) {
  Quiet q;
  testing::internal::CaptureStdout();
  BeginProcessing("x");
  EndProcessing();
  TextOut("t");
  Warning("w", -1);
  Warnings("a", "b", 3);
  StartTimer();
  EndTimer();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(Messages, TimerLine) {
  testing::internal::CaptureStdout();
  StartTimer();
  EndTimer();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("Time, used by process: 0.0", 0), 0u) << out;
  EXPECT_EQ(out.substr(out.size() - 2), " \n");
}

TEST(MessagesDeath, ErrorsGoToErrorStreamWithStatus14) {
  EXPECT_EXIT(Error("Out of memory", -1), testing::ExitedWithCode(14), "^\nError: Out of memory!\n$");
  EXPECT_EXIT(Error("Line too long", 12), testing::ExitedWithCode(14), "^\nError at line 12: Line too long!\n$");
  EXPECT_EXIT(Errors("f.agm", "Can't open DD-model file", -1), testing::ExitedWithCode(14),
              "^\nError: f.agm : Can't open DD-model file!\n$");
  EXPECT_EXIT(Errors("a", "b", 0), testing::ExitedWithCode(14), "^\nError at line 0: a : b!\n$");
  EXPECT_EXIT((verbose_mode = 1, Error("still shown", -1)), testing::ExitedWithCode(14), "still shown");
}

}  // namespace
