#include "messages.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <stdexcept>
#include <vector>

int verbose_mode = 0;
int64_t StartTicks = 0;

namespace {

// 64-bit microseconds of processor time: a long run never wraps.
int64_t ProcessMicros() {
  timespec ts{};
  if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0) return 0;
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void Out(const std::string& text) {
  fwrite(text.data(), 1, text.size(), stdout);
  fflush(stdout);
}

[[noreturn]] void Fail(const std::string& text) {
  fflush(stdout);
  fwrite(text.data(), 1, text.size(), stderr);
  fflush(stderr);
  exit(14);
}

}  // namespace

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list copy;
  va_copy(copy, ap);
  int n = vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string s;
  if (n > 0) {
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    vsnprintf(buf.data(), buf.size(), fmt, ap);
    s.assign(buf.data(), static_cast<size_t>(n));
  }
  va_end(ap);
  return s;
}

void BeginProcessing(const std::string& Message) {
  if (verbose_mode == 0) Out("\n" + Message + "... ");
}

void EndProcessing() {
  if (verbose_mode == 0) Out("OK\n");
}

void TextOut(const std::string& Message) {
  if (verbose_mode == 0) Out(Message);
}

void Warning(const std::string& Message, int LineNumber) {
  if (verbose_mode != 0) return;
  if (LineNumber == -1)
    Out("\nWarning: " + Message + "\n");
  else
    Out(Format("\nWarning at line %d: ", LineNumber) + Message + "\n");
}

void Warnings(const std::string& Message1, const std::string& Message2, int LineNumber) {
  if (verbose_mode != 0) return;
  if (LineNumber == -1)
    Out("\nWarning: " + Message1 + " : " + Message2 + "\n");
  else
    Out(Format("\nWarning at line %d: ", LineNumber) + Message1 + " : " + Message2 + "\n");
}

void Error(const std::string& Message, int LineNumber) {
  if (LineNumber == -1) Fail("\nError: " + Message + "!\n");
  Fail(Format("\nError at line %d: ", LineNumber) + Message + "!\n");
}

void Errors(const std::string& Message1, const std::string& Message2, int LineNumber) {
  if (LineNumber == -1) Fail("\nError: " + Message1 + " : " + Message2 + "!\n");
  Fail(Format("\nError at line %d: ", LineNumber) + Message1 + " : " + Message2 + "!\n");
}

void StartTimer() { StartTicks = ProcessMicros(); }

void EndTimer() {
  int64_t now = ProcessMicros();
  if (verbose_mode == 0)
    Out(Format("Time, used by process: %f \n", static_cast<double>(now - StartTicks) / 1000000.0));
}

int RunProgram(int (*body)(int, char**), int argc, char** argv) {
  // A write past the file-size limit must fail like any other write error
  // (EFBIG), so the output path reports it and removes its temporary file,
  // instead of the signal ending the process on the spot.
  signal(SIGXFSZ, SIG_IGN);
  try {
    return body(argc, argv);
  } catch (const std::bad_alloc&) {
    Error("Out of memory", -1);
  } catch (const std::length_error&) {
    Error("Out of memory", -1);
  }
}
