// Fault-free simulation of consecutive pattern pairs in 5-valued logic
// (0, 1, 'E' rising, 'H' falling, 'x') or 8-valued logic (a graph 'x'
// refined into 'o', 'i', 'e', 'h' from the binary values of both patterns).
#pragma once
#include <cstdint>
#include <vector>

// Per node: the stamp of its last visit as a changing literal.
extern std::vector<uint32_t> mv_stamps;
// Node numbers, used as two stacks growing from the two ends.
extern std::vector<uint32_t> mv_stack;

void alloc_mv_simul();
void free_mv_simul();
// Rewrites rows 1 .. vcount-1 with the letters of the transition from the
// row before.  With alphabet 8 the graph columns must hold the binary
// values of simul() on entry.
void mv_simul(int alphabet);
