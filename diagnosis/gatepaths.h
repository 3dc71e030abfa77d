// Reader of the gate-level signal paths (".pat") and the gate table
// (".gat") that the synthesis writes beside a design's model.
#pragma once
#include <string>
#include <vector>

struct NodePath {
  std::vector<int> gates;  // gate numbers, from the node's input line towards its graph's output
};
struct GateEntry {
  std::string name;
  char type;  // 0 INV, 1 NOR, 2 NAND, 3 OR, 4 AND; below 3 the gate inverts
};

extern int GateCount;
extern int NodeCount;
extern std::vector<NodePath> Node_Gate;
extern std::vector<GateEntry> GateType;

// Mode 2 (the only one): the path file, then the gate table, whose count
// must equal the path file's.  Every fault in either file ends the run.
void ReadPaths(char mode, const std::string& design);
