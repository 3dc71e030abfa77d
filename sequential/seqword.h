// Word-parallel form of the sequential fault simulator for a model in which
// no node reads a delayed graph variable: there every frame depends on its
// own pattern (and, through a delayed input, on the pattern before) only,
// so one fault is simulated for 64 frames at once.  Values are kept in two
// bit rails per variable, one for "is 1" and one for "is x"; a graph is
// evaluated for all 64 frames with the walk rule of the three-valued
// simulator (every unknown literal at 1 first, then each unknown literal of
// that path at 0 with all later ones at 0), so the detections, fault marks
// and last_vector equal those of the frame-by-frame method.
#pragma once
#include <cstdint>

// Nonzero: both simulators work frame by frame even where the word-parallel
// method applies (the reference that method is tested against).
extern int seq_plain;

// m3simul's result in words, written into vects, when the method applies;
// false, with vects untouched, when it does not.  The rails stay for the
// fault simulation of the same rows.
bool word_m3simul();

// Takes the good machine's rails from word_m3simul, or builds them from
// vects (m3simul has run), when the model and the test data allow the
// word-parallel method; false, with nothing kept, when they do not.
bool PrepareWordSimulation();
// seq_sim_pat for the prepared sequence; same arguments and result, same
// ftable marks with NoDrop and the same last_vector.
int word_sim_pat(uint32_t node, uint32_t forced_edge, uint32_t stuck, uint32_t graph);
void ReleaseWordSimulation();
