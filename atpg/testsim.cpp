#include "testsim.h"

#include <algorithm>

#include "mudel.h"
#include "vector.h"

uint32_t CurrentNode = 0, CurrentGraph = 0, CurrentFault = 0, RealFault = 0;
std::vector<uint64_t> events;
std::vector<std::vector<uint32_t>> NextGrps;
std::vector<uint32_t> reached_mas;
uint32_t reached_code1 = 0;
std::vector<uint32_t> tstack;
std::vector<BacktrackEntry> BacktrackTree;
int32_t BacktrackPtr = -1;

namespace {

constexpr unsigned char X = 'x';

// Site class of the current call (0, 1 or 3).
int32_t site_class = 0;

// Three-valued value of graph g in `row`.  `site_rule`: the site node takes
// the forced edge of its machine (`good` tells which) instead of its variable.
unsigned char EvalGraph(uint32_t g, unsigned char* row, bool site_rule, bool good, uint32_t S) {
  const uint32_t beg = Grps[g].g_beg;
  const uint32_t forced = good ? 1 - CurrentFault : CurrentFault;
  uint32_t top = 0;
  uint32_t k = 0, e;
  for (;;) {
    const uint32_t idx = beg + k;
    const NodRec& n = Nods[idx];
    if (site_rule && idx == CurrentNode) {
      e = forced;
    } else {
      unsigned char v = row[n.n_var];
      if (v == X) {
        tstack[top++] = idx;
        reached_mas[idx] = S;
        e = 1;
      } else {
        e = v ^ (n.n_flags & 1u);
      }
    }
    uint32_t next = n.n_dst[e];
    if (next == 0) break;
    k = next;
  }
  if (e == 0) return 0;
  if (top == 0) return 1;
  // The graphs from the fault graph on always hold the values of the machine
  // with the site activated (the main walk forces the site's edge), so the
  // alternatives force it too: values computed before activation then stay
  // right once it happens, even when nothing schedules those graphs again.
  const bool site_in_alternatives = site_rule;
  while (top > 0) {
    const uint32_t from = tstack[--top];
    uint32_t next = Nods[from].n_dst[0];
    uint32_t last = 0;
    while (next != 0) {
      const uint32_t idx = beg + next;
      if (reached_mas[idx] == S) {
        last = 1;  // its own alternatives were already found to give 1
        break;
      }
      const NodRec& n = Nods[idx];
      if (site_in_alternatives && idx == CurrentNode) {
        last = forced;
      } else {
        unsigned char v = row[n.n_var];
        last = (v == X) ? 0 : (v ^ (n.n_flags & 1u));
      }
      next = n.n_dst[last];
    }
    if (last == 0) return X;
  }
  return 1;
}

void Unschedule(uint32_t g) { events[g >> 6] &= ~(uint64_t{1} << (g & 63)); }

// The first scheduled graph at or after `from`, or `end` when there is none
// before it.  Reads the words afresh, so graphs scheduled meanwhile are seen.
uint32_t NextScheduled(uint32_t from, uint32_t end) {
  while (from < end) {
    uint64_t word = events[from >> 6] >> (from & 63);
    if (word) {
      uint32_t g = from + static_cast<uint32_t>(__builtin_ctzll(word));
      return g < end ? g : end;
    }
    from = (from | 63) + 1;
  }
  return end;
}

}  // namespace

uint32_t GoodRow() { return vcount - 2; }
uint32_t FaultyRow() { return vcount - 1; }

void SetEvent(uint32_t var) {
  for (uint32_t g : NextGrps[var]) events[g >> 6] |= uint64_t{1} << (g & 63);
}

void ResetEvents() { std::fill(events.begin(), events.end(), 0); }

void SetInitialEvents() {
  ResetEvents();
  for (uint32_t c = InpCount; c < InpCount + ConCount; ++c) SetEvent(c);
}

int32_t testsimul() {
  if (reached_code1 == 0) {
    std::fill(reached_mas.begin(), reached_mas.end(), 0);
    reached_code1 = 2;
  }
  unsigned char* good = vects[GoodRow()].data();
  unsigned char* faulty = vects[FaultyRow()].data();
  const uint32_t v = Nods[CurrentNode].n_var;
  if (v < InpCount + ConCount) {
    if (good[v] == X) return 0;
    if (good[v] == RealFault) return 1;
  }
  const uint32_t S = reached_code1;
  for (uint32_t g = NextScheduled(0, CurrentGraph); g < CurrentGraph; g = NextScheduled(g + 1, CurrentGraph)) {
    const uint32_t gv = GraphVar(g);
    unsigned char r = EvalGraph(g, good, false, true, S);
    if (r != good[gv]) {
      good[gv] = r;
      faulty[gv] = r;
      SetEvent(gv);
    }
    Unschedule(g);
  }
  site_class = good[v] == X ? 0 : (good[v] == RealFault ? 1 : 3);
  for (int pass = 0; pass < 2; ++pass) {
    const bool is_good = pass == 0;
    unsigned char* row = is_good ? good : faulty;
    for (uint32_t g = NextScheduled(CurrentGraph, GrpCount); g < GrpCount; g = NextScheduled(g + 1, GrpCount)) {
      const uint32_t gv = GraphVar(g);
      unsigned char r = EvalGraph(g, row, true, is_good, reached_code1);
      if (!is_good && site_class == 3 && IsOutputGraph(g) &&
          ((r == 0 && good[gv] == 1) || (r == 1 && good[gv] == 0))) {
        reached_code1 += 2;
        return 2;
      }
      if (r != row[gv]) {
        row[gv] = r;
        SetEvent(gv);
      }
    }
    reached_code1 += 2;
  }
  // An output may already differ from an evaluation made before the site was
  // activated; no event brings it up again, so look at the outputs directly.
  if (site_class == 3) {
    for (uint32_t v = VarCount - OutCount; v < VarCount; ++v) {
      if ((good[v] == 0 && faulty[v] == 1) || (good[v] == 1 && faulty[v] == 0)) {
        ResetEvents();
        return 2;
      }
    }
  }
  ResetEvents();
  return site_class;
}

void alloc_testsimul() {
  reached_mas.assign(NodCount, 0);
  tstack.assign(NodCount, 0);
  events.assign((GrpCount + 63) / 64, 0);
  BacktrackTree.assign(InpCount, BacktrackEntry{0, 0, 0});
}

void init_testsimul() {
  std::fill(reached_mas.begin(), reached_mas.end(), 0);
  reached_code1 = 0;
}

void free_testsimul() {
  reached_mas.clear();
  tstack.clear();
  events.clear();
  BacktrackTree.clear();
}

void tg_preprocess() {
  NextGrps.assign(VarCount, {});
  for (uint32_t g = 0; g < GrpCount; ++g) {
    for (uint32_t k = 0; k < Grps[g].g_len; ++k) {
      std::vector<uint32_t>& list = NextGrps[Nods[Grps[g].g_beg + k].n_var];
      if (list.empty() || list.back() != g) list.push_back(g);
    }
  }
}
