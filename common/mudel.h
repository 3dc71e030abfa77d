// The in-memory SSBDD model (one per process) and its ".agm" reader and writer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct NodRec {
  uint32_t n_flags;   // bit 0: inverted node
  uint32_t n_var;     // index into Vars of the tested variable
  uint32_t n_dst[2];  // successors for edge value 0 and 1, relative to the graph's node 0; 0 ends the walk
};

struct VarRec {
  uint32_t v_flags;  // VF_* bits
};

struct GrpRec {
  uint32_t g_beg;  // index in Nods of the graph's node 0
  uint32_t g_len;  // number of nodes
};

enum : uint32_t {
  VF_INPUT = 1,
  VF_OUTPUT = 2,
  VF_CONST = 4,
  VF_CONST1 = 8,
  VF_CONST0 = 0x10,
  VF_DELAYED = 0x20,
};

extern std::vector<NodRec> Nods;
extern std::vector<VarRec> Vars;
extern std::vector<GrpRec> Grps;
extern std::vector<std::string> NodNames;
extern std::vector<std::string> VarNames;
extern uint32_t NodCount, VarCount, GrpCount, InpCount, ConCount, OutCount;
extern int ModelType;  // 0 structural, 1 functional
extern uint32_t CurrentLine;

// Reads the whole model; any fault in the file ends the run through Error.
void read_ag(const std::string& path);
void write_ag(const std::string& path);
void free_ag();
// Ends the run when the model in memory has a delayed (state) variable:
// "<model> : Model with delayed variables: <program> takes combinational
// models only".  For the programs whose methods assume that every graph
// reads only inputs, constants and earlier graphs.
void RefuseDelayedVariables(const std::string& model, const char* program);

// The reader's steps for one variable or node line; `text` is the part of
// the line after its first ':' (variables) or the whole line (nodes).
void setVarFlags(uint32_t k, const std::string& text);
void setVarName(uint32_t k, const std::string& text);
void setVarConst(uint32_t k, const std::string& text);
void setNodFlags(uint32_t j, const std::string& text);
void setNodName(uint32_t j, const std::string& text);

// Model helpers used by every simulator.
inline uint32_t GraphVar(uint32_t g) { return InpCount + ConCount + g; }
inline bool IsOutputGraph(uint32_t g) { return g >= GrpCount - OutCount; }
