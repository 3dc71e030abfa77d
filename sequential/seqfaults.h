// Fault-parallel form of the sequential fault simulator: many faults of one
// sequence at once, one bit each, frame by frame and event-driven.  A graph
// is evaluated in a frame when a fault there can change its value or a
// changed value of some fault reaches it; values are kept in two bit rails
// ("is 1", "is x") and every graph is evaluated with the walk rule of the
// three-valued simulator, so each fault's detections equal those of
// seq_sim_pat.
#pragma once
#include <cstdint>
#include <vector>

struct SeqFault {
  uint32_t node, forced_edge, stuck, graph;
};

// Sets up the fault-parallel method for the sequence in vects (m3simul has
// run); false when the model or the test data do not allow it.
bool PrepareFaultWords();
// Faults simulated together in the fault-parallel form.
constexpr uint32_t kFaultWordLanes = 128;
// Simulates every fault of `list` over the sequence: detected[i] = 1 when
// fault i is detected (with NoDrop: in some frame).  Raises last_vector
// and, with NoDrop, writes ftable as seq_sim_pat does for each fault.
// Frames after the last one in which some output's good value is binary
// are not simulated (nothing is detected there), nor are faults whose
// faulty machine can be shown never to be more defined than the good one,
// from the first frame or from some later one on.
void SimulateFaultList(const std::vector<SeqFault>& list, std::vector<unsigned char>& detected);

// Sequence-parallel form, for a generator that tries many sequences of the
// same length: one fault over up to 64 sequences at once, one lane each,
// every lane with the good machine of its own sequence.  The same model
// rules as the fault-parallel form; false when they do not hold.
bool PrepareSequenceLanes();
// The inputs and constants of the sequence in vects become lane `lane`;
// false when some byte there is not 0, 1 or 'x'.
bool SetSequenceLane(uint32_t lane);
// The good machine of every lane in three-valued logic, as m3simul computes
// it (row 0's graph values 'x', never computed).
void SimulateGoodOverSequences();
// Lane `lane`'s good machine written into vects.
void LaneGoodMachine(uint32_t lane);
// Simulates fault f over lanes 0 .. lanes-1: the first lane whose sequence
// detects f (-1 for none), with `frame` the first frame it is detected in
// there (what seq_sim_pat would raise last_vector to).  A later lane never
// matters: the earlier sequence detects f first.
int SimulateFaultOverSequences(const SeqFault& f, uint32_t lanes, uint32_t& frame);
// Whether the lane tables (prepared) take graph g as monotone, its good
// function and that of every fault in it alike.
bool GraphIsMonotone(uint32_t g);
// SimulateFaultOverSequences for every fault of `list` with rep[i] == i (rep
// from GroupEquivalentFaults); the others take their representative's
// result, or none when rep[i] is UINT32_MAX.  lane[i] and frame[i] as that
// function gives them.  Where every graph a fault's effect reaches is
// monotone (its three-valued value only becomes more defined when its
// inputs do), a faulty machine stays compatible with the good one (each
// value equal, or one of them 'x') until a graph gives a binary value
// opposite to a binary good one, so a lane is simulated only when such a
// flip can reach an output there; the faults left share words, in lanes
// of their own.
void SimulateFaultsOverSequences(const std::vector<SeqFault>& list, const std::vector<uint32_t>& rep, uint32_t lanes,
                                 std::vector<int>& lane, std::vector<uint32_t>& frame);
// Faults of one graph under which it computes the same three-valued function
// of its inputs have the same faulty machine, so the same detections; a
// fault under which it computes the good function is never detected.  For
// `list` (faults grouped by graph, as seq_simul takes them; the lane tables
// prepared): rep[i] is the first fault of the list with the same function
// as fault i (i itself when none comes earlier), or UINT32_MAX when the
// function is the good one.  Graphs with more than six distinct inputs keep
// every fault apart.
void GroupEquivalentFaults(const std::vector<SeqFault>& list, std::vector<uint32_t>& rep);
void ReleaseFaultWords();
