// Three-valued (0, 1, 'x') fault-free simulation of a pattern sequence on a
// sequential SSBDD model: a delayed variable (a flip-flop output) is read
// from the previous pattern, every other variable from the current one.
#pragma once
#include <cstdint>
#include <vector>

// Per node: the frame stamp of its last visit as an unknown literal.
extern std::vector<uint32_t> reached_mas;
// Stamp of the frame under evaluation.
extern uint32_t reached_code;
// Node numbers, used as two stacks growing from the two ends.
extern std::vector<uint32_t> tstack;

// A graph value not yet computed in a frame.
constexpr unsigned char kUncomputed = '?';

void alloc_m3simul();
// Graph columns of row 0 become 'x', those of later rows '?'.
void init_m3simul();
// Fills the graph columns of rows 1 .. vcount-1; row 0 keeps 'x'.
void m3simul();
void free_m3simul();

// Starts a new frame stamp (the array is cleared when the counter wraps).
void NextReachedCode();

// No fault: the node index that never matches.
constexpr uint32_t kNoFault = UINT32_MAX;

// Value of graph k in the frame whose row is `cur`, delayed variables read
// from `prev`.  With `fault_node` set, that node takes edge `forced_edge`
// in every walk, whatever its variable holds.  A value other than 0, 1 or
// 'x' at a node ends the run with "Uninitialized node".
unsigned char m3eval(uint32_t k, const unsigned char* prev, const unsigned char* cur,
                     uint32_t fault_node = kNoFault, uint32_t forced_edge = 0);
