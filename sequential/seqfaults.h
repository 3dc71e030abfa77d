// Fault-parallel form of the sequential fault simulator: up to 64 faults of
// one sequence at once, one bit each, frame by frame and event-driven.  A
// graph is evaluated in a frame when a fault sits in it or a changed value of
// some fault reaches it; values are kept in two bit rails ("is 1", "is x")
// and every graph is evaluated with the walk rule of the three-valued
// simulator, so each fault's detections equal those of seq_sim_pat.
#pragma once
#include <cstdint>

struct SeqFault {
  uint32_t node, forced_edge, stuck, graph;
};

// Sets up the fault-parallel method for the sequence in vects (m3simul has
// run); false when the model or the test data do not allow it.
bool PrepareFaultWords();
// Simulates faults[0 .. count-1] (count at most 64) over the sequence; bit i
// of the result is set when fault i is detected (with NoDrop: in some
// frame).  Raises last_vector and, with NoDrop, writes ftable as seq_sim_pat
// does for each fault.
// Where a fault's effect went: the highest graph indices (plus one, highest
// first, 0 for none) at which its machine differed from the good one.
struct FaultReach {
  uint32_t top[4];
};
// With `reach` given, reach[i] takes in the graphs fault i's machine
// differed at.
uint64_t SimulateFaultWord(const SeqFault* faults, uint32_t count, FaultReach* reach = nullptr);
void ReleaseFaultWords();
