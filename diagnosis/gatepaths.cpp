#include "gatepaths.h"

#include <cstdio>
#include <limits>

#include "fbrowse.h"
#include "messages.h"

int GateCount = 0;
int NodeCount = 0;
std::vector<NodePath> Node_Gate;
std::vector<GateEntry> GateType;

namespace {

std::vector<int> path;  // the path being read

void Skip(FILE* f) {
  if (!GotoString(f)) Err(2);
}

void Expect(FILE* f, const char* word) {
  if (!TestString(f, word, 1)) Err(0);
}

int Number(FILE* f) {
  Skip(f);
  return GetInt(f);
}

void CopyPath(int count, int node) { Node_Gate[node].gates.assign(path.begin(), path.begin() + count); }

// A gate number indexes the gate table: one past it is a damaged file.
int GateNumber(FILE* f) {
  int g = GetInt(f);
  if (g >= GateCount) Err(1);
  return g;
}

void CopyType(FILE* f, int gate) {
  static const char* const words[] = {"INV", "NOR", "NAND", "OR", "AND"};
  std::string w = GetString(f, 4);
  for (char code = 0; code < 5; ++code)
    if (w == words[static_cast<int>(code)]) {
      GateType[gate].type = code;
      return;
    }
  Err(0);
}

FILE* Open(const std::string& file) {
  FILE* f = fopen(file.c_str(), "rt");
  if (f == nullptr) Error(Format("Can't open %s file", file.c_str()), -1);
  return f;
}

void ReadPathFile(const std::string& file) {
  LineNum = 0;
  BeginProcessing("Reading paths");
  FILE* f = Open(file);
  Skip(f);
  if (TestString(f, "Gates:", 1)) {
    GateCount = Number(f);
    Skip(f);
    Expect(f, "Nodes:");
    NodeCount = Number(f);
  } else if (TestString(f, "Nodes:", 1)) {
    NodeCount = Number(f);
    Skip(f);
    Expect(f, "Gates:");
    GateCount = Number(f);
  } else {
    Err(0);
  }
  // Grown record by record: a damaged count ends at the end of the file,
  // not in a huge allocation.
  Node_Gate.clear();
  for (int i = 0; i < NodeCount; ++i) {
    Node_Gate.emplace_back();
    Skip(f);
    Expect(f, "node");
    if (Number(f) != i) Err(1);
    Skip(f);
    Expect(f, ":");
    path.clear();
    if (GotoString(f) && !TestString(f, "node", 0)) {
      path.push_back(GateNumber(f));
      while (TestString(f, "->", 1)) path.push_back(GateNumber(f));
    }
    CopyPath(static_cast<int>(path.size()), i);
  }
  fclose(f);
  EndProcessing();
}

void ReadGateFile(const std::string& file) {
  LineNum = 0;
  BeginProcessing("Reading gate names and types");
  FILE* f = Open(file);
  Skip(f);
  Expect(f, "Gates:");
  if (Number(f) != GateCount) Err(1);
  Skip(f);
  Expect(f, "Name");
  Skip(f);
  Expect(f, "Type");
  GateType.clear();
  for (int i = 0; i < GateCount; ++i) {
    GateType.emplace_back();
    Skip(f);
    Expect(f, "gate");
    if (Number(f) != i) Err(1);
    Skip(f);
    Expect(f, ":");
    Skip(f);
    // Names of any length: hierarchical names easily pass 20 characters.
    GateType[i].name = GetString(f, std::numeric_limits<size_t>::max());
    Skip(f);
    CopyType(f, i);
  }
  EndProcessing();
  fclose(f);
}

}  // namespace

void ReadPaths(char mode, const std::string& design) {
  (void)mode;
  ReadPathFile(design + ".pat");
  ReadGateFile(design + ".gat");
}
