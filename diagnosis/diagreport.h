// What verify and faultloc share: the command line, the reading of a design
// and its specification with the comparison of their outputs, and the
// report tables.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern std::string design, vext, sext, oext, tests, SSBDD, specSSBDD, outfile;
extern char SCREEN, FVECT, SNODS, SGATS;

// vcount rows of OutCount + 1 bytes: 1 = failing pair; the last byte of a
// row is 1 when any output of the pattern fails.
extern std::vector<std::vector<char>> FaultyOuts;
// Per design node the exonerated polarities: 1 stuck-at-1, 2 stuck-at-0.
extern std::vector<unsigned char> FfreeNodes;
// Per gate the suspected values: 1 value 1, 2 value 0, 3 both.
extern std::vector<unsigned char> FaultyGates;
extern char Printable;
// The design's node count, kept while the specification is in memory.
extern uint32_t DesignNodes;

// `locate` selects faultloc's options (-f, -n, -g) and usage.
void TestInput(int argc, char** argv, bool locate);

// The design's model and test file; its fault-free outputs and per-output
// fault table (init_fsimul, init_out_fsimul, out_fsimul).
void ReadDesign(const char* program);
// Replaces the design by its specification, on the same input patterns,
// simulated fault-free; refuses one whose inputs or outputs differ.
void ReadSpecification(const char* program);
// FaultyOuts from the design's and the specification's output values;
// returns the number of failing pairs.
uint64_t CompareOutputs();

// The report is appended to step by step.  OpenReport ends the run with
// "Can't open output file" and gives the report's length before the step;
// CloseReport cuts a step that could not be written whole back off, so the
// report never holds half a step, and ends the run with an error.
FILE* OpenReport(long& start);
void CloseReport(FILE* file, long start);

// Turns the bit codes into marks, once per run.
void MakePrintable();
// mode 0: screen only, 1: file only, 2: both.
void PrintVects(FILE* file, int mode);
void PrintDetect(FILE* file, int mode);
void PrintNodes(FILE* file, int mode);
void PrintGates(FILE* file, int mode);
