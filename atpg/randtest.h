// Random test generation in packages: each package of random patterns is
// fault-simulated against the faults still undetected, and the patterns that
// detect the most new faults are kept, the counts renewed after every choice.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A table mark that the fault status does not hold yet: '0' against 'X' or
// '1', '1' against 'X' or '0' (a status 'x' counts as 'X').
inline bool NewFault(char mark, char status) {
  if (mark == '0') return status == 'X' || status == 'x' || status == '1';
  if (mark == '1') return status == 'X' || status == 'x' || status == '0';
  return false;
}

// Number of marks of a fault-table row that are new against the status.
uint32_t CountNewFaults(const std::vector<char>& row, const std::vector<char>& status);

// Merges a fault-table row into the status: 'X' (or 'x') takes the row's
// digit, a digit meeting the other digit becomes '&', all else stays.
// Returns the nodes whose status changed, with their previous marks.
struct StatusChange {
  uint32_t node;
  char before;
};
std::vector<StatusChange> MergeFaults(const std::vector<char>& row, std::vector<char>& status);

// Sorts the counts largest first by exchanges: position i is exchanged with
// every later position whose count is larger than the one now at i.  This is
// not a stable sort; `swap(i, j)` moves whatever travels with the counts.
template <class Swap>
void ExchangeSort(std::vector<uint32_t>& counts, Swap swap) {
  size_t n = counts.size();
  for (size_t i = 0; i + 1 < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (counts[j] > counts[i]) {
        uint32_t t = counts[i];
        counts[i] = counts[j];
        counts[j] = t;
        swap(i, j);
      }
}

struct RandomParams {
  uint32_t failure_limit = 64;  // consecutive packages that keep nothing
  uint32_t criterion = 1;       // least number of new faults of a kept pattern
  uint32_t packages = 1000;
  uint32_t select_max = 32;     // most patterns kept per package, 0 no limit
  // Recount every later row in full after a choice, instead of only the
  // nodes whose status changed (the reference form of the same counts).
  bool plain_recount = false;
  // Simulate each package with the single-fault simulator itself instead of
  // its word-parallel form (the reference form of the same rows).
  bool plain_simulation = false;
};

struct RandomResult {
  std::vector<std::vector<unsigned char>> kept;  // row copies, in the order chosen
  uint32_t tested = 0;                           // faults in the status at the end
};

// The package loop over the test data: vects holds one package (vcount rows,
// functionals leading rows left alone), the single-fault simulator is ready
// with dropping on and status update off, and faults holds the status to
// start from.  Prints the start line and the summary.
RandomResult RandomPackages(const RandomParams& params);
