#include "fsimul.h"

#include <algorithm>

#include "mudel.h"
#include "vector.h"

std::vector<std::vector<char>> fltgrp;
std::vector<unsigned char> fltvec;
std::vector<uint32_t> CritPath;
std::vector<std::vector<uint32_t>> nextGrps;
int fsimul_dropping = 0;
int fsimul_faults_update = 1;

// The graphs whose CritPath counter is nonzero, one bit each, so that a
// spread visits only raised graphs (in index order) instead of every later
// graph of the model.  Between spreads every bit and counter is zero.
namespace {
std::vector<uint64_t> raised;
}  // namespace

void RaiseReaders(uint32_t g) {
  for (uint32_t t : nextGrps[g]) {
    ++CritPath[t];
    raised[t >> 6] |= uint64_t{1} << (t & 63);
  }
}

uint32_t NextRaised(uint32_t from) {
  for (uint32_t w = from >> 6, n = static_cast<uint32_t>(raised.size()); w < n; ++w) {
    uint64_t word = raised[w];
    if (w == (from >> 6)) word &= ~uint64_t{0} << (from & 63);
    if (word) return (w << 6) + static_cast<uint32_t>(__builtin_ctzll(word));
  }
  return GrpCount;
}

void LowerRaised(uint32_t t) {
  CritPath[t] = 0;
  raised[t >> 6] &= ~(uint64_t{1} << (t & 63));
}

namespace {

// 'x' in the fault status means "not detected", exactly like 'X'.
inline bool Undetected(char m) { return m == 'X' || m == 'x'; }

}  // namespace

void MarkPass(uint32_t j, bool dropping) {
  unsigned char* row = vects[j].data();
  for (uint32_t g = 0; g < GrpCount; ++g) {
    std::vector<char>& marks = fltgrp[g];
    std::fill(marks.begin(), marks.end(), 0);
    uint32_t beg = Grps[g].g_beg;
    uint32_t k = 0;
    unsigned char value;
    for (;;) {
      const NodRec& n = Nods[beg + k];
      uint32_t v = row[n.n_var] != 0 ? 1u : 0u;
      char mark = v ? '0' : '1';
      if (dropping) {
        char f = faults[beg + k];
        bool wanted = Undetected(f) || (mark == '0' ? f == '1' : f == '0');
        if (!wanted) mark = 0;
      }
      marks[k] = mark;
      uint32_t e = v ^ (n.n_flags & 1u);
      uint32_t next = n.n_dst[e];
      if (next == 0) {
        value = static_cast<unsigned char>(e);
        break;
      }
      k = next;
    }
    row[GraphVar(g)] = value;
  }
}

namespace {

// Spreads the inverted value of graph m; true when an output changes.
bool Spread(uint32_t m, const unsigned char* row) {
  bool detected = SpreadChange(m, row, [](uint32_t) { return true; });
  // A spread that stopped at an output leaves later graphs raised.
  for (uint32_t t = NextRaised(m + 1); t < GrpCount; t = NextRaised(t + 1)) {
    LowerRaised(t);
  }
  return detected;
}

void SimulateRow(uint32_t j) {
  MarkPass(j, fsimul_dropping != 0);
  if (!(fsimul_dropping && fsimul_faults_update)) std::fill(ftable[j].begin(), ftable[j].end(), 'X');
  unsigned char* row = vects[j].data();
  std::copy(row, row + VarCount, fltvec.begin());
  for (uint32_t m = 0; m < GrpCount; ++m) {
    bool reached = IsOutputGraph(m);
    uint32_t beg = Grps[m].g_beg;
    ForEachChangingFault(m, row, [&](uint32_t c, char mark) {
      if (!reached) {
        reached = true;
        // Every fault that changes m's value changes it the same way, so one
        // spread decides for all of them.
        if (!Spread(m, row)) return false;
      }
      ftable[j][beg + c] = mark;
      if (fsimul_faults_update) {
        char& f = faults[beg + c];
        if (Undetected(f))
          f = mark;
        else if ((f == '0' && mark == '1') || (f == '1' && mark == '0'))
          f = '&';
      }
      return true;
    });
  }
}

}  // namespace

void simul() {
  for (uint32_t j = vcount; j-- > 0;) {
    unsigned char* row = vects[j].data();
    for (uint32_t g = 0; g < GrpCount; ++g) row[GraphVar(g)] = WalkGraph(row, g, 0);
  }
}

void init_fsimul() {
  fltgrp.assign(GrpCount, {});
  for (uint32_t g = 0; g < GrpCount; ++g) fltgrp[g].assign(Grps[g].g_len, 0);
  fltvec.assign(VarCount, 0);
  CritPath.assign(GrpCount, 0);
  raised.assign((GrpCount + 63) / 64, 0);
  nextGrps.assign(GrpCount - OutCount, {});
  uint32_t first_graph_var = InpCount + ConCount;
  for (uint32_t g = 0; g < GrpCount; ++g) {
    for (uint32_t k = 0; k < Grps[g].g_len; ++k) {
      uint32_t var = Nods[Grps[g].g_beg + k].n_var;
      if (var < first_graph_var) continue;
      uint32_t src = var - first_graph_var;
      if (src >= nextGrps.size()) continue;  // the reader never lets a node test an output
      std::vector<uint32_t>& list = nextGrps[src];
      if (list.empty() || list.back() != g) list.push_back(g);
    }
  }
  fsimul_dropping = 0;
  fsimul_faults_update = 1;
}

void fsimul() {
  for (uint32_t j = vcount; j-- > 0;) SimulateRow(j);
}

void fsimul_one(uint32_t index) { SimulateRow(index); }

void free_fsimul() {
  fltgrp.clear();
  fltgrp.shrink_to_fit();
  fltvec.clear();
  fltvec.shrink_to_fit();
  CritPath.clear();
  CritPath.shrink_to_fit();
  raised.clear();
  raised.shrink_to_fit();
  nextGrps.clear();
  nextGrps.shrink_to_fit();
}

void SetFsimulDropping() { fsimul_dropping = 1; }
void ResetFsimulDropping() { fsimul_dropping = 0; }
void set_fsimul_faults_update() { fsimul_faults_update = 1; }
void no_fsimul_faults_update() { fsimul_faults_update = 0; }
