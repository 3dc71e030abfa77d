// Fault-free simulation of every pattern and event-driven single stuck-at
// fault simulation of every node, on the SSBDD graphs and the test data.
#pragma once
#include <cstdint>
#include <vector>

// Per graph, per node: the fault to simulate for the current pattern
// (0 none, '0' stuck-at-0, '1' stuck-at-1).
extern std::vector<std::vector<char>> fltgrp;
// The current pattern, in which a changed graph value is spread.
extern std::vector<unsigned char> fltvec;
// Per graph: nonzero while it must be evaluated again in the current spread.
// Full-width counters, so a graph reached by many changed readers never wraps.
extern std::vector<uint32_t> CritPath;
// Per non-output graph: the graphs with a node testing its variable, ascending.
extern std::vector<std::vector<uint32_t>> nextGrps;
extern int fsimul_dropping;
extern int fsimul_faults_update;

// Fault-free values of every graph variable in every row of vects.
void simul();
void init_fsimul();
// All patterns, from the last to the first.
void fsimul();
void fsimul_one(uint32_t index);
void free_fsimul();
void SetFsimulDropping();
void ResetFsimulDropping();
void set_fsimul_faults_update();
void no_fsimul_faults_update();
