#include "fbrowse.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "messages.h"

int LineNum = 0;

namespace {
bool IsWord(int c) { return c != EOF && isgraph(static_cast<unsigned char>(c)); }
}  // namespace

void StepBack(FILE* f) { fseek(f, -1, SEEK_CUR); }

int GotoString(FILE* f) {
  for (;;) {
    int c = getc(f);
    if (c == EOF) return 0;
    if (c == '\n') ++LineNum;
    if (IsWord(c)) {
      StepBack(f);
      return 1;
    }
  }
}

std::string GetString(FILE* f, size_t n) {
  std::string s;
  while (s.size() < n) {
    int c = getc(f);
    if (!IsWord(c)) {
      if (c != EOF) StepBack(f);
      return s;
    }
    s += static_cast<char>(c);
  }
  return s;
}

int GetInt(FILE* f) {
  int c = getc(f);
  if (c == EOF || !isdigit(c)) Err(0);
  long long value = 0;
  while (c != EOF && isdigit(c)) {
    value = value * 10 + (c - '0');
    // A number past int's range cannot be a count or an index of the files.
    if (value > INT_MAX) Err(1);
    c = getc(f);
  }
  if (c != EOF) StepBack(f);
  return static_cast<int>(value);
}

long double GetFloat(FILE* f) {
  long double value = 0;
  bool digits = false;
  int c = getc(f);
  while (c != EOF && isdigit(c)) {
    value = value * 10 + (c - '0');
    digits = true;
    c = getc(f);
  }
  // The character after the integer digits is the separator, whatever it is.
  c = getc(f);
  long double weight = 0.1L;
  while (c != EOF && isdigit(c)) {
    value += weight * (c - '0');
    weight /= 10;
    digits = true;
    c = getc(f);
  }
  if (c != EOF) StepBack(f);
  if (!digits) Err(0);
  return value;
}

int TestString(FILE* f, const char* keyword, char mode) {
  std::string word = GetString(f, strlen(keyword));
  int match = word == keyword ? 1 : 0;
  bool putback = mode == 0 || (mode == 1 && !match);
  if (putback && !word.empty()) fseek(f, -static_cast<long>(word.size()), SEEK_CUR);
  return match;
}

int NewLine(FILE* f) {
  for (;;) {
    int c = getc(f);
    if (c == EOF) return 0;
    if (c == '\n') {
      ++LineNum;
      return 1;
    }
  }
}

char Err(char code) {
  switch (code) {
    case 0: Error("Invalid expression", LineNum);
    case 1: Error("Invalid number", LineNum);
    case 2: Error("Unexpected end of file", LineNum);
    case 3: Error("Can't open file", -1);
    default: return code;
  }
}
