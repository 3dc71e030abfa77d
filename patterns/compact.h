// Test-set compaction over a fault table: the essential patterns first (the
// only detector of some fault), then greedily the pattern that adds the most
// uncovered faults, then a reverse pass that drops greedy choices whose
// faults stay covered without them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct CompactOptions {
  bool no_unique_vectors = false;  // skip the essential patterns; start from the strongest row
  bool fault_cover = false;        // stop once the covered faults exceed the target share
  uint32_t percent = 100;
};

struct CompactResult {
  std::vector<int32_t> state;  // per pattern: 0 chosen, 1 not chosen, -1 dropped as redundant
  uint32_t cycles = 0;
  uint32_t chosen = 0;
  uint32_t covered = 0;
};

// Faults a fault status counts: '0' and '1' one, '&' two.
uint32_t StatusTotal(const std::vector<char>& status);
// The integer part of total x percent / 100, without dividing first.
uint32_t CoverTarget(uint32_t total, uint32_t percent);

// Table rows hold one mark per node: '0' or '1' a detected fault, '&' both,
// anything else none.  The two functions give identical results; the plain
// one scans every row at every greedy step and serves as the reference.
CompactResult CompactPlain(const std::vector<std::vector<char>>& table, const std::vector<char>& status,
                           uint32_t nodes, const CompactOptions& options);
CompactResult Compact(const std::vector<std::vector<char>>& table, const std::vector<char>& status, uint32_t nodes,
                      const CompactOptions& options);
