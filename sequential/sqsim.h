// Single stuck-at fault simulation over a pattern sequence in three-valued
// logic, event-driven on a copy of the good machine that m3simul computed,
// and the analysis of faults that no sequence can detect.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The faulty machine: a copy of vects, changed where the fault's effect reaches.
extern std::vector<std::vector<unsigned char>> asevects;
// Per row: the columns of asevects the fault under simulation changed.
extern std::vector<std::vector<uint32_t>> changeMas;
// Per graph: the event frame it is due in (current and next frame).
// 64-bit stamps never wrap, so no scheduled event is ever lost.
extern std::vector<uint64_t> PresEventMas, NextEventMas;
extern uint64_t EventFrame;
// Per internal graph: the graphs with a node reading its variable, ascending.
extern std::vector<std::vector<uint32_t>> nextgrps;
// Per node: bit 0 excludes the stuck-at-0 fault, bit 1 the stuck-at-1 fault.
extern std::vector<uint32_t> untestableMas;
extern uint32_t untestable;
extern uint32_t detected;
extern uint32_t last_vector;
extern int NoDrop;
// Nonzero: seq_simul prints a progress line after every node.
extern int seq_progress;

// The test kept by the generator: input values of each kept pattern.
constexpr uint32_t MAXIMUM_VECTORS = 20000;
extern std::vector<std::vector<unsigned char>> final_vects;
extern uint32_t final_vcount;

// Refuses a model in which a node reads an output variable: outputs are
// never scheduled as internal graphs are, so the simulators cannot follow them.
void CheckSequentialModel();
void untestables();
void InitNextGraphs();
void alloc_seqsimul();
void free_seqsimul();
void init_seqsimul();
void seq_simul();
int seq_sim_pat(uint32_t node, uint32_t forced_edge, uint32_t stuck, uint32_t graph);
// 1 when neither value is 'x'.
int fltcmp(unsigned char faulty, unsigned char good);
void seq_statistics(uint32_t total, uint32_t vectors);

// Counts a fault row: '0' and '1' one each, '&' two; any other mark is
// taken as "not detected" and becomes 'X'.
uint32_t NormaliseFaultMarks(std::vector<char>& marks);

// Appends rows 0 .. last_vector of the current sequence to the kept test;
// false (nothing kept) when the kept test would pass MAXIMUM_VECTORS.
bool SavePatterns();
// Sequences simulated together: up to kBatchLanes sequences of vcount
// patterns are drawn one after the other, then the good machines of all of
// them are simulated at once, and every fault not yet detected is
// simulated over all of them at once; each sequence is then taken in turn
// with exactly the detections, marks and last_vector seq_simul would have
// given it, run after the sequences taken before.  (What a fault does in a
// sequence does not depend on earlier sequences; only whether it is still
// simulated does.)
constexpr uint32_t kBatchLanes = 64;
// Empties the batch; false when the model does not allow the method.
bool BeginSequenceBatch();
// The inputs of the sequence in vects (init_m3simul has run) join the
// batch; false when the batch is full or some byte is not 0, 1 or 'x'.
bool AddBatchSequence();
// Simulates the good machines and every fault not detected now over the
// batch's sequences.
void SimulateSequenceBatch();
// seq_simul's results for the batch's sequence `lane`, taken after lanes
// 0 .. lane-1 (in that order); its inputs are put back into vects (its
// good machine, with LaneGoodMachine).
void TakeBatchSequence(uint32_t lane);
// Takes back the fault marks and exclusions of the last seq_simul run.
void UndoLastDetections();
void WriteEverythingOut(const std::string& path);
// Makes the kept test the test data, for its final simulation.
void CopyVectorInputs();
