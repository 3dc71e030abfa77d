// Gate-level signal paths (".pat"), the gate table (".gat") and the
// design-error insertion with its scrambled record (".rep").
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "outfile.h"

struct rida;

// One gate of the design: an INV, AND, NAND, OR or NOR line.
struct gate_entry {
  std::string name;  // as the model shows it
  unsigned char type;
  uint32_t number;
  rida* row;  // the line itself, whose type -spec changes
};
extern std::vector<gate_entry> gatenum;
extern int GateCount;

// Path records, one per SSBDD node in synthesis order: the gate numbers
// from the gate nearest the node's input line to the one that drives the
// graph's output (-1 for a line on the way that is not a gate).
extern std::vector<int32_t> path_gates;
extern std::vector<uint32_t> path_end;  // per record: end of its numbers in path_gates

// Appends a record holding the chain `rows` (input side first).
void copy_path(const std::vector<const rida*>& rows);
// Writes ".pat" and ".gat" (kept unfinished until CommitPaths).
void write_paths(unsigned nodes);
// The type word of codes 1 to 5 and 7; false for any other code.
bool ReturnTypeText(int type, std::string& out);
// Creates ".rep" with the scrambled record (kept unfinished until CommitPaths).
void WriteGateName(const std::string& word);
// Ends the run before anything is put in place when one of the files of
// the run (the model and those above) cannot replace its target.
void CheckTargets(const std::string& model);
// Writes out every open file of the run, so a write error stops it before
// any file is put in place.
void FlushPaths();
// Puts the files written above in place; a failed run leaves the old ones.
void CommitPaths();
