// Progress, warning and error lines shared by every program, and the
// processor-time measurement.  All output is flushed before returning.
#pragma once
#include <cstdint>
#include <string>

// Nonzero silences progress, plain text, warnings and the timing line.
extern int verbose_mode;
// Processor time in microseconds taken by StartTimer.
extern int64_t StartTicks;

void BeginProcessing(const std::string& Message);
void EndProcessing();
void TextOut(const std::string& Message);
void Warning(const std::string& Message, int LineNumber);
void Warnings(const std::string& Message1, const std::string& Message2, int LineNumber);
[[noreturn]] void Error(const std::string& Message, int LineNumber);
[[noreturn]] void Errors(const std::string& Message1, const std::string& Message2, int LineNumber);
void StartTimer();
void EndTimer();

// printf-style formatting into a string, for callers of TextOut and friends.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Runs a program body and turns any failed allocation into the fatal
// "Out of memory" error, so no program needs its own handler.  A write past
// the file-size limit fails with an error instead of ending the process.
int RunProgram(int (*body)(int, char**), int argc, char** argv);
