// The fault loop of the deterministic generator and its own pattern writer.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

extern uint32_t VectorLim;
extern int FaultTable;
extern int TPFFlag;
extern uint32_t vektoreid;     // patterns stored so far
extern FILE* redundant_file;   // the ".red" list of untestable faults being written

// Outcome of the fault loop.
enum class GenerateEnd { Done, VectorLimit };

// Targets every stuck-at fault in node order and prints the summary, also
// when it stops early because the pattern limit is reached.
GenerateEnd generate();
// Patterns only, inputs as '0', '1' and 'x' (one test per fault mode, whose
// patterns the fault loop keeps apart from the rows of vects).
void write_inputs(const std::string& path);
