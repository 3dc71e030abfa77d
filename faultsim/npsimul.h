// The formula fault simulator: per word of 32 patterns a fault-free pass
// gives each node's sensitivity, and each root's formula list gives the
// patterns for which a change of the root reaches a primary output.
#pragma once
#include <cstdint>
#include <vector>

// Its arrays have the names of the word-parallel simulator's, with other
// shapes, so they live in their own namespace.
namespace mega {

extern std::vector<std::vector<uint32_t>> pvects;   // per word: VarCount values
extern std::vector<std::vector<uint32_t>> pfltvec;  // per word: NodCount detection masks
extern std::vector<uint32_t> V, S, L, D;
extern std::vector<int> droppedGraphs;
extern std::vector<uint32_t> droppedFaults0, droppedFaults1;
extern int droppedGraphsCount;

}  // namespace mega

extern std::vector<uint64_t> FaultStats0, FaultStats1;

enum : unsigned {
  SIM_DROP = 1,
  SIM_TABLE = 2,
  SIM_STATS = 4,
  SIM_SLICE = 8,
  SIM_FIRST_SLICE = 0x10,
  SIM_LAST_SLICE = 0x20,
};

// False evaluates every formula of a root's list; true (the default) stops a
// root's list once no change is left to spread.  Both give the same masks.
extern bool formulaShortcut;

// True (the default) simulates the words of a packet in blocks, several at
// once (dropping goes through a block's words in order); false takes word by
// word.  Both give the same masks.
extern bool formulaBlocks;

// False (the default) writes each pattern's detections into its ftable row;
// true leaves ftable alone, and npsimul_table_row makes a row from the
// detection masks of the packet last simulated when it is written.  Both
// give the same rows.
extern bool tableFromMasks;
void npsimul_table_row(uint32_t v, char* row);

void alloc_npsimul(unsigned flags);
void free_npsimul();
void npsimul_ext(unsigned flags, uint32_t first, uint32_t last);
void npsimul(unsigned flags);
