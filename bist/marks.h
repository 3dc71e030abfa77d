// Fault marks of the BIST programs: union and difference of marks, coverage
// figures, the test-length optimisers and small table helpers.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using MarkRow = std::vector<char>;
using MarkTable = std::vector<MarkRow>;

// Union of two marks ('X' none, '0', '1', '&' both).
char CheckFault(char x, char y);
// The stuck values of `a` that `b` lacks.
char SubtractOneFault(char a, char b);

// '&' weighs 2, '0' and '1' weigh 1, every other mark 0.
unsigned coverage_one(char fault);
unsigned coverage_i(const char* faults, unsigned NodCount);
// Coverage of a mark row in per cent (0 for an empty row).
float coverage_f(const char* faults, unsigned NodCount);

// Shortest prefix of the table that detects every mark; merges the marks of
// all rows into `faults`.  At least 1.
unsigned optimize_length(const MarkTable& ftable, char* faults, unsigned vcount);
// Rows from `start` in the scan direction (forward when start < finish,
// else backward over rows start-1 .. finish) up to the last one that adds a
// mark, into `summary` (may be null); 0 when no row adds a mark.
unsigned optimize_length_adv(const MarkTable& ftable, char* summary, unsigned NCount, unsigned start,
                             unsigned finish);

// x + 1 rows of y characters, all `fill`.
std::vector<std::string> AllocCharTable(int x, int y, char fill);
void FreeCharTable(std::vector<std::string>& t);

void print_faults(FILE* fp, const char* faults, int NodCount);

// Helpers no program of the suite calls (kept with the optimiser they serve).
unsigned diff_coverage(const char* f1, const char* f2, unsigned NodCount);
unsigned diff_coverage_N(const char* f1, const char* f2, unsigned start, unsigned finish);
void AddVect(char* dst, const char* src, unsigned n);
void SubtractVect(char* dst, const char* src, unsigned n);
// Union of the table rows first .. last-1.
MarkRow compute_flts(const MarkTable& ftable, unsigned NodCount, unsigned first, unsigned last);
// Per pattern, the number of nodes whose merged mark gains weight there.
std::vector<unsigned> progress_vector(const MarkTable& ftable, unsigned NodCount, unsigned vcount);
std::vector<unsigned> reverse_progress_vector(const MarkTable& ftable, unsigned NodCount, unsigned vcount);
struct optimizer_data {
  unsigned vect_cnt = 0;
  std::vector<unsigned> weights;  // weight each chosen pattern added
  std::vector<unsigned> order;    // chosen patterns, in order of choice
};
// Greedy choice: the pattern adding the most weight, the first one on ties,
// until no pattern adds any.
optimizer_data optimize_vects(const MarkTable& ftable, unsigned NodCount, unsigned vcount);
// One pattern row: inputs and constants '0'/'1', internal 'l'/'h', outputs 'L'/'H'.
std::string print_vects(const std::vector<unsigned char>& row);

// The smaller emulator's own versions: the merge keeps '0' or '1' against a
// row's '&', and the optimiser stops once the target's weight is reached.
namespace emu {
float coverage_f(const char* faults, unsigned NodCount);
unsigned optimize_length(const MarkTable& ftable, const char* target, unsigned count);
}  // namespace emu
