// Two-machine three-valued simulator of the deterministic search: the good
// and the faulty partial pattern side by side (the last two rows of vects),
// evaluated incrementally on the SSBDD graphs after each input assignment.
#pragma once
#include <cstdint>
#include <vector>

// Fault under test.
extern uint32_t CurrentNode;   // site node, global index
extern uint32_t CurrentGraph;  // graph holding the site
extern uint32_t CurrentFault;  // stuck value of the site node's edge
extern uint32_t RealFault;     // the same stuck value on the site's variable

// One flag per graph, 64 to a word: set when the graph must be evaluated
// again.  Kept as bits so that a call finds the scheduled graphs without
// looking at every graph of the model.
extern std::vector<uint64_t> events;
// Per variable: the graphs that read it, ascending, each once.
extern std::vector<std::vector<uint32_t>> NextGrps;
// Visit marks shared with the search; a use takes the current value and the
// value advances by 2 afterwards, so the array is never cleared.
extern std::vector<uint32_t> reached_mas;
extern uint32_t reached_code1;
extern std::vector<uint32_t> tstack;

struct BacktrackEntry {
  uint32_t var;
  uint32_t alternative;
  uint32_t tried;
};
extern std::vector<BacktrackEntry> BacktrackTree;
extern int32_t BacktrackPtr;

// Row indices of the two machines.
uint32_t GoodRow();
uint32_t FaultyRow();

// 0 site variable still 'x' in the good machine; 1 it holds RealFault;
// 2 an output holds opposite binary values (a test); 3 activated, no output
// shows the effect yet.
int32_t testsimul();
void SetEvent(uint32_t var);
// The highest graph from `from` down to `low` whose variable holds opposite
// binary values in the two rows, or -1 when there is none.
int32_t LastDifferingGraph(int32_t from, uint32_t low);
// Start of a fault: the input and graph columns of both rows become 'x'.
// The columns written by the search are its inputs and the graphs testsimul
// has written, so only those are cleared once the rows have been reset
// through here.
void ResetMachines();
void ResetEvents();
// Start of a fault: no graph is scheduled, except those reading constants,
// whose values must be known before the search looks at them.
void SetInitialEvents();
// Return to an earlier state of the search instead of simulating the way
// back.  BeginSearch at the start of ag_podem; SaveSearchState(depth) just
// before the decision of that depth in BacktrackTree is assigned, and
// NoSearchState when a decision finds no room in the tree.
// RestoreSearchState(depth) puts the graph values of both rows back to those
// before that decision, leaving the input columns to the caller, and answers
// false when that state is not known, so that the caller simulates instead.
void BeginSearch();
void SaveSearchState(uint32_t depth);
void NoSearchState();
bool RestoreSearchState(uint32_t depth);
void alloc_testsimul();
void init_testsimul();
void free_testsimul();
void tg_preprocess();
