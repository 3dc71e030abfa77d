// Command-line scanning and the small readers of the BIST programs: the
// option scanner, numbers, random register strings, the line reader and the
// register settings of a test file, and the ordered list of runs.
#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Fills `values` (one entry per key, unset when absent) from argv[1..];
// `act[k]` is 1 for an option with a value.  Returns the index of the first
// argument not consumed, or -1 after printing why (`needs_value` formats the
// message of a value option given last).
int scan_input(int argc, char** argv, const int* act, const char* const* keys,
               std::vector<std::optional<std::string>>& values, int ct, const char* needs_value);

// 0 when every character is a decimal digit (the empty text too), else 1.
int CheckDigit(const char* str);
// A number option's value: digits only and at most 2147483647.
bool NumberValue(const std::string& text, int& value);

// `len` random register characters: bits of the generator's numbers from
// bit 0 upward, a set bit giving '0' and a clear one '1'.
std::string GenRandVect(int len);     // lrand48, 31 bits a number
std::string GenRandVect32(int len);   // GetRnd, 32 bits a number

// Lines of a file, ended by '\n' or '\r'.
class Read {
 public:
  explicit Read(const std::string& name);
  ~Read();
  Read(const Read&) = delete;
  Read& operator=(const Read&) = delete;
  // Null when no file is open or the end was already reached.
  const char* GetLine();
  int AtEnd() const;
  int GetLen() const;
  bool IsOpen() const { return fp != nullptr; }
  std::string buffer;

 private:
  FILE* fp = nullptr;
  int end = 0;
  int len = 0;
};

// Register settings of a test file's .GENERATOR and .ANALYZER sections into
// the options still unset; false when the file cannot be opened.
bool readTST(const std::string& fname, std::vector<std::optional<std::string>>& values);

// One run of bistan and the list of runs, best first.
struct LIST {
  std::string gpoly, ginit, apoly, ainit;
  float coverage = 0, coverage1 = 0;
  long count = 0;
  LIST* next = nullptr;
};
LIST* CreateRecord();
// Inserts before the first record with a lower coverage, or an equal one and
// a larger count; returns the new head.
LIST* InsertRecord(LIST* juurikas, LIST* uus);
void FreeRecords(LIST* head);
