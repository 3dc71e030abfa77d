// verify: compares a design with its specification over a test and appends
// the table of failing outputs to the exercise report.
#include <cstdio>

#include "diagreport.h"
#include "messages.h"

namespace {

int verify_main(int argc, char** argv) {
  TextOut("\n\nDesign Verification Tool\n");
  TestInput(argc, argv, false);
  ReadDesign("verify");
  ReadSpecification("verify");
  BeginProcessing("\nVerification process");
  StartTimer();
  CompareOutputs();
  EndProcessing();
  EndTimer();
  if (SCREEN) {
    PrintDetect(nullptr, 0);
  } else {
    long start = 0;
    FILE* f = OpenReport(start);
    fputs("\n\n\tVERIFICATION STEP:\n", f);
    PrintVects(f, 1);
    PrintDetect(f, 2);
    CloseReport(f, start);
  }
  TextOut("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(verify_main, argc, argv); }
