// What megasim tells about its topology: the formulas file, the statistics
// block, and the memory estimate that chooses the slice bounds.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "topology.h"

std::string formula_print(const Formula* f);
void topology_print(FILE* file);
std::string topology_stats();
void topology_print_stats(FILE* file);

// Bytes for one root's formulas: the kept cone graphs after the root
// (marked ones become previous results).
uint32_t estimate(const std::vector<uint32_t>& cone, const std::vector<ConeGraph>& graphs);

// Fills bounds[0 .. n] from the estimated memory of every root.  On a model
// of at least n internal graphs the bounds rise strictly from 0 to their
// count: no slice is empty.
void topology_estimate_split(uint32_t n, std::vector<uint32_t>& bounds);
