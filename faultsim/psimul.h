// Word-parallel stuck-at fault simulator: 32 patterns per word, every fault
// against every pattern (no dropping), exact for single faults.
#pragma once
#include <cstdint>
#include <vector>

struct FLIST {
  std::vector<uint32_t> sa0;  // per node: patterns of the packet detecting stuck-at-0
  std::vector<uint32_t> sa1;  // per node: patterns detecting stuck-at-1
};

// Packet p: word i holds variable i for patterns 32p .. 32p+31.
extern std::vector<std::vector<uint32_t>> pvects;
extern std::vector<uint32_t> pfltvec;
extern std::vector<uint32_t> V_mas, D_mas, V_masKopi, D_masKopi, L_mas, S_mas;
extern std::vector<FLIST> flist;

void alloc_psimul();
void init_psimul();
void psimul();
// The direct form (every later graph re-evaluated for every graph), kept as
// the reference that psimul must match.
void psimul_plain();
// For tests: the widest instruction set psimul may use, 0 (the base set), 1
// (AVX2) or 2 (AVX-512, the default); returns the one it will use on this
// processor.  Every choice gives the same results.
int psimul_limit_isa(int level);
// Writes the simulated values back into vects and merges the table that
// psimul wrote into faults (read from its masks, 32 patterns at a time).
void serial_vec();
