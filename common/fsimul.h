// Fault-free simulation of every pattern and event-driven single stuck-at
// fault simulation of every node, on the SSBDD graphs and the test data.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "mudel.h"

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

// The pieces of a spread that the per-output simulator shares.
// Walks graph g on `row` from node `start` (relative to the graph) and
// returns the graph's value.  Any nonzero byte counts as 1.
inline unsigned char WalkGraph(const unsigned char* row, uint32_t g, uint32_t start) {
  const NodRec* base = &Nods[Grps[g].g_beg];
  uint32_t k = start;
  for (;;) {
    const NodRec& n = base[k];
    uint32_t e = (row[n.n_var] != 0 ? 1u : 0u) ^ (n.n_flags & 1u);
    uint32_t next = n.n_dst[e];
    if (next == 0) return static_cast<unsigned char>(e);
    k = next;
  }
}
// Fault-free pass over row j of vects that also marks, per node on each
// graph's path, the fault that inverts its own edge choice (in fltgrp); with
// `dropping`, only faults the status does not yet hold as detected.
void MarkPass(uint32_t j, bool dropping);
// Raises every graph that reads graph g's variable for the current spread.
void RaiseReaders(uint32_t g);
// The first raised graph at or after `from`, or GrpCount.
uint32_t NextRaised(uint32_t from);
// Lowers raised graph t once it has been evaluated.
void LowerRaised(uint32_t t);
// Spreads the complemented value of graph m in fltvec (equal to row before
// and after) through the graphs that read a changed variable, in index
// order.  Each output graph whose value changes goes to atOutput; when that
// returns true the spread stops there, and returns true, leaving later graphs
// raised.
template <class AtOutput>
bool SpreadChange(uint32_t m, const unsigned char* row, AtOutput atOutput) {
  RaiseReaders(m);
  uint32_t mv = GraphVar(m);
  fltvec[mv] = fltvec[mv] ? 0 : 1;
  bool stopped = false;
  for (uint32_t t = NextRaised(m + 1); t < GrpCount; t = NextRaised(t + 1)) {
    LowerRaised(t);
    uint32_t tv = GraphVar(t);
    unsigned char value = WalkGraph(fltvec.data(), t, 0);
    fltvec[tv] = value;
    if (value != (row[tv] != 0 ? 1 : 0)) {
      if (!IsOutputGraph(t)) {
        RaiseReaders(t);
      } else if (atOutput(t)) {
        stopped = true;
        break;
      }
    }
  }
  std::copy(row + mv, row + VarCount, fltvec.begin() + mv);
  return stopped;
}
// Calls visit(c, mark) for each node c of graph m (relative to the graph),
// in order, whose fault marked in fltgrp changes the graph's value on row,
// the fault-free values; stops when visit returns false.
template <class Visit>
void ForEachChangingFault(uint32_t m, const unsigned char* row, Visit visit) {
  uint32_t beg = Grps[m].g_beg;
  unsigned char good = row[GraphVar(m)];
  const std::vector<char>& marks = fltgrp[m];
  for (uint32_t c = 0; c < Grps[m].g_len; ++c) {
    char mark = marks[c];
    if (mark == 0) continue;
    NodRec& n = Nods[beg + c];
    n.n_flags ^= 1u;
    unsigned char faulty = WalkGraph(row, m, c);
    n.n_flags ^= 1u;
    if (faulty == good) continue;
    if (!visit(c, mark)) break;
  }
}
