#include "podem.h"

#include <cstdio>
#include <vector>

#include "messages.h"
#include "mudel.h"
#include "testsim.h"
#include "vector.h"

uint32_t BacktrackLim = 10;
uint32_t backtrack_count = 0;
uint32_t PODEMflag = 1;
int32_t backtraceVar = -1;
uint32_t backtraceValue = 0;
uint32_t backtraceNode = 0;
uint32_t backtraceVec = 0;
int32_t D_pointer = -1;
int32_t lastXBranch = 0;
int32_t Current_D = -1;

#ifdef PODEM_TRACE
#define TRACE(...) fprintf(stderr, __VA_ARGS__)
#else
#define TRACE(...) ((void)0)
#endif

namespace {

constexpr unsigned char X = 'x';

bool Binary(unsigned char v) { return v != X; }

// Variables already visited in the current check: the rows do not change
// during one check, so a variable reached twice answers the same, and a
// model whose graphs read delayed variables in a loop is walked once.
std::vector<uint32_t> xpath_seen;
uint32_t xpath_stamp = 0;
std::vector<uint32_t> xpath_stack;

// Whether a path of variables that hold 'x' in either row leads from `start`
// to a primary output; an explicit stack keeps deep circuits off the call stack.
bool XPath(uint32_t start, const unsigned char* good, const unsigned char* faulty) {
  xpath_stack.assign(1, start);
  while (!xpath_stack.empty()) {
    uint32_t var = xpath_stack.back();
    xpath_stack.pop_back();
    if (Binary(good[var]) && Binary(faulty[var])) continue;
    if (var >= VarCount - OutCount) return true;
    if (xpath_seen[var] == xpath_stamp) continue;
    xpath_seen[var] = xpath_stamp;
    const std::vector<uint32_t>& next = NextGrps[var];
    for (size_t k = next.size(); k-- > 0;) xpath_stack.push_back(GraphVar(next[k]));
  }
  return false;
}

void Assign(uint32_t var, unsigned char value) {
  vects[GoodRow()][var] = value;
  vects[FaultyRow()][var] = value;
  SetEvent(var);
}

}  // namespace

int InitialObjectiveOK() {
  uint32_t gv = GraphVar(CurrentGraph);
  unsigned char g = vects[GoodRow()][gv], f = vects[FaultyRow()][gv];
  return (g == 0 && f == 1) || (g == 1 && f == 0);
}

int FaultGraphCheck() {
  uint32_t gv = GraphVar(CurrentGraph);
  unsigned char g = vects[GoodRow()][gv], f = vects[FaultyRow()][gv];
  if (CurrentFault == 0) return g != 0 && f != 1;
  return g != 1 && f != 0;
}

int XPathCheck(uint32_t var) {
  if (xpath_seen.size() != VarCount) xpath_seen.assign(VarCount, 0);
  if (++xpath_stamp == 0) {
    std::fill(xpath_seen.begin(), xpath_seen.end(), 0);
    xpath_stamp = 1;
  }
  return XPath(var, vects[GoodRow()].data(), vects[FaultyRow()].data()) ? 1 : 0;
}

int32_t FindDfront() {
  int32_t pos;
  bool from_end;
  if (D_pointer == -1) {
    D_pointer = static_cast<int32_t>(GrpCount - OutCount) - 1;
    from_end = true;
    pos = 0;
  } else {
    from_end = false;
    pos = lastXBranch - 1;
  }
  while (D_pointer >= 0 && D_pointer >= static_cast<int32_t>(CurrentGraph)) {
    // Only a graph whose variable holds opposite binary values in the two
    // rows offers candidates; the simulator keeps those graphs.
    const int32_t next = LastDifferingGraph(D_pointer, CurrentGraph);
    if (next != D_pointer) {
      D_pointer = next == -1 ? static_cast<int32_t>(CurrentGraph) - 1 : next;
      from_end = true;
      continue;
    }
    const std::vector<uint32_t>& list = NextGrps[GraphVar(static_cast<uint32_t>(D_pointer))];
    if (from_end) pos = static_cast<int32_t>(list.size()) - 1;
    for (; pos >= 0; --pos) {
      uint32_t cand = list[static_cast<size_t>(pos)];
      if (XPathCheck(GraphVar(cand))) {
        lastXBranch = pos;
        Current_D = static_cast<int32_t>(cand);
        TRACE("  D-frontier: graph %u via graph %d\n", cand, D_pointer);
        return Current_D;
      }
    }
    --D_pointer;
    from_end = true;
  }
  return -1;
}

int Backtrace(uint32_t graph) {
  uint32_t effect_var = GraphVar(static_cast<uint32_t>(D_pointer));
  std::vector<uint32_t> work;
  for (uint32_t k = 0; k < Grps[graph].g_len; ++k)
    if (Nods[Grps[graph].g_beg + k].n_var == effect_var) work.push_back(k);
  for (uint32_t k : work)
    if (GraphBacktrace(graph, k)) return 1;
  return 0;
}

int GraphBacktrace(uint32_t graph, uint32_t node) {
  backtraceVar = -1;
  if (!ActivatePath(graph, node)) return 0;
  if (!FindDerivative(graph, node)) return 0;
  if (backtraceVar == -1) Error("internal err 1 (nothing to backtrace)", -1);
  if (Nods[backtraceNode].n_flags & 1u) backtraceValue ^= 1u;
  TRACE("  objective: var %d = %u (graph %u node %u, row %u)\n", backtraceVar, backtraceValue, graph, node,
        backtraceVec);
  MakeBacktrace();
  return 1;
}

int ActivatePath(uint32_t graph, uint32_t node) {
  if (node == 0) return 1;
  const uint32_t beg = Grps[graph].g_beg;
  bool recorded = false;
  const uint32_t rows[2] = {FaultyRow(), GoodRow()};
  for (uint32_t r : rows) {
    const unsigned char* row = vects[r].data();
    uint32_t k = 0;
    while (k != node) {
      const NodRec& n = Nods[beg + k];
      unsigned char v = row[n.n_var];
      uint32_t next;
      if (Binary(v)) {
        next = n.n_dst[v ^ (n.n_flags & 1u)];
        if (next == 0 || next > node) goto lost;
      } else {
        bool use0 = n.n_dst[0] != 0 && n.n_dst[0] <= node;
        bool use1 = n.n_dst[1] != 0 && n.n_dst[1] <= node;
        if (!use0 && !use1) goto lost;
        uint32_t e = (use0 && use1) ? (n.n_dst[0] > n.n_dst[1] ? 0u : 1u) : (use1 ? 1u : 0u);
        next = n.n_dst[e];
        backtraceVar = static_cast<int32_t>(n.n_var);
        backtraceValue = e;
        backtraceNode = beg + k;
        backtraceVec = r;
        recorded = true;
      }
      k = next;
    }
  }
  return 1;
lost:
  if (!recorded) return 0;
  backtraceValue ^= 1u;  // the other edge of the last 'x' node chosen
  return 1;
}

int FindDerivative(uint32_t graph, uint32_t node) {
  const uint32_t beg = Grps[graph].g_beg;
  const uint32_t M = reached_code1;
  int ok = 1;
  const uint32_t rows[2] = {FaultyRow(), GoodRow()};
  for (uint32_t r : rows) {
    const unsigned char* row = vects[r].data();
    const NodRec& start = Nods[beg + node];
    uint32_t v;
    if (graph == CurrentGraph) {
      v = (r == GoodRow()) ? 1 - CurrentFault : CurrentFault;
    } else {
      unsigned char val = row[start.n_var];
      if (!Binary(val)) {
        ok = 0;
        break;
      }
      v = val ^ (start.n_flags & 1u);
    }
    uint32_t last = v;
    uint32_t k = start.n_dst[v];
    while (k != 0) {
      const uint32_t idx = beg + k;
      if (reached_mas[idx] == M) {
        ok = 0;
        break;
      }
      reached_mas[idx] = M;
      const NodRec& n = Nods[idx];
      unsigned char val = row[n.n_var];
      if (Binary(val)) {
        last = val ^ (n.n_flags & 1u);
      } else {
        last = v;
        backtraceVar = static_cast<int32_t>(n.n_var);
        backtraceValue = v;
        backtraceNode = idx;
        backtraceVec = r;
      }
      k = n.n_dst[last];
    }
    if (!ok) break;
    if (last != v) {
      ok = 0;
      break;
    }
  }
  reached_code1 += 2;
  return ok;
}

void MakeBacktrace() {
  for (;;) {
    uint32_t var = static_cast<uint32_t>(backtraceVar);
    if (var < InpCount) {
      TRACE("  decision: input %u = %u\n", var, backtraceValue);
      if (BacktrackPtr + 1 < static_cast<int32_t>(BacktrackTree.size()))
        SaveSearchState(static_cast<uint32_t>(BacktrackPtr + 1));
      else
        NoSearchState();
      Assign(var, static_cast<unsigned char>(backtraceValue));
      if (BacktrackPtr + 1 < static_cast<int32_t>(BacktrackTree.size())) {
        BacktrackTree[static_cast<size_t>(++BacktrackPtr)] = BacktrackEntry{var, 1 - backtraceValue, 0};
      }
      return;
    }
    if (var < InpCount + ConCount) Error("internal err 2 (nothing to backtrace)", -1);
    uint32_t g = var - InpCount - ConCount;
    const unsigned char* row = vects[backtraceVec].data();
    const uint32_t beg = Grps[g].g_beg;
    uint32_t k = 0;
    for (;;) {
      const NodRec& n = Nods[beg + k];
      unsigned char v = row[n.n_var];
      if (!Binary(v)) {
        backtraceVar = static_cast<int32_t>(n.n_var);
        backtraceValue ^= (n.n_flags & 1u);
        break;
      }
      k = n.n_dst[v ^ (n.n_flags & 1u)];
      if (k == 0) Error("internal err 2 (nothing to backtrace)", -1);
    }
  }
}

int Backtrack() {
  // The decisions undone and the one flipped: the graphs go back to their
  // values before the flipped decision, so only the flip is simulated.
  int32_t flip = BacktrackPtr;
  while (flip >= 0 && BacktrackTree[static_cast<size_t>(flip)].tried) --flip;
  if (flip >= 0 && RestoreSearchState(static_cast<uint32_t>(flip))) {
    for (; BacktrackPtr > flip; --BacktrackPtr) {
      const uint32_t var = BacktrackTree[static_cast<size_t>(BacktrackPtr)].var;
      vects[GoodRow()][var] = X;
      vects[FaultyRow()][var] = X;
    }
    BacktrackEntry& e = BacktrackTree[static_cast<size_t>(flip)];
    TRACE("  backtrack: input %u = %u\n", e.var, e.alternative);
    Assign(e.var, static_cast<unsigned char>(e.alternative));
    e.tried = 1;
    return 1;
  }
  while (BacktrackPtr >= 0) {
    BacktrackEntry& e = BacktrackTree[static_cast<size_t>(BacktrackPtr)];
    if (!e.tried) {
      TRACE("  backtrack: input %u = %u\n", e.var, e.alternative);
      Assign(e.var, static_cast<unsigned char>(e.alternative));
      e.tried = 1;
      return 1;
    }
    Assign(e.var, X);
    --BacktrackPtr;
  }
  return 0;
}

int ag_podem() {
  backtrack_count = 0;
  BacktrackPtr = -1;
  BeginSearch();
  TRACE("fault: node %u sa-%u\n", CurrentNode, RealFault);
  for (;;) {
    bool need_backtrack = false;
    switch (testsimul()) {
      case 2:
        TRACE("  test found\n");
        return 0;
      case 1:
        need_backtrack = true;
        break;
      case 0:
        backtraceVar = static_cast<int32_t>(Nods[CurrentNode].n_var);
        backtraceValue = 1 - RealFault;
        backtraceVec = GoodRow();
        backtraceNode = CurrentNode;
        TRACE("  objective: activate var %d = %u\n", backtraceVar, backtraceValue);
        MakeBacktrace();
        continue;
      default:
        if (InitialObjectiveOK()) {
          D_pointer = -1;
          need_backtrack = true;
          for (int32_t cand; (cand = FindDfront()) != -1;) {
            if (Backtrace(static_cast<uint32_t>(cand))) {
              need_backtrack = false;
              break;
            }
          }
        } else if (FaultGraphCheck()) {
          need_backtrack = !GraphBacktrace(CurrentGraph, CurrentNode - Grps[CurrentGraph].g_beg);
        } else {
          need_backtrack = true;
        }
        break;
    }
    if (need_backtrack) {
      if (backtrack_count >= BacktrackLim) return 2;
      if (!Backtrack()) return 1;
      ++backtrack_count;
    }
  }
}
