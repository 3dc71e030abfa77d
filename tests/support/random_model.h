// Helpers for tests: random valid SSBDD models in the model globals, and a
// plain serial evaluation that serves as the reference for the simulators.
#pragma once
#include <cstdint>
#include <random>
#include <vector>

struct RandomModelShape {
  uint32_t inputs = 4;
  uint32_t constants = 0;
  uint32_t graphs = 6;
  uint32_t outputs = 2;
  uint32_t max_len = 4;  // nodes per graph, 1..max_len
};

// Fills Nods, Vars, Grps, the names and the counts with a random model that
// keeps every invariant of the format (earlier graphs only, forward edges).
void MakeRandomModel(std::mt19937& rng, const RandomModelShape& shape);

// Sets the counts, clears the model and names the inputs and constants
// (constant values drawn from rng); the graphs are left to the caller.
void ResetModel(std::mt19937& rng, uint32_t inputs, uint32_t constants, uint32_t graphs, uint32_t outputs,
                const char* input_prefix, const char* const_prefix);

// Values of every variable for one input pattern ('x' and other nonzero
// bytes count as 1).  With fault_node >= 0 that node tests `stuck` instead
// of its variable's value.
std::vector<uint8_t> EvalSerial(const std::vector<unsigned char>& row, long fault_node = -1, int stuck = 0);

// Random input row of 0, 1 and (when allow_x) 'x'; constant columns from the model.
std::vector<unsigned char> RandomRow(std::mt19937& rng, bool allow_x);
