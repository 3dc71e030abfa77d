#include "topology.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>

#include "messages.h"
#include "mudel.h"
#include "topology_print.h"

std::vector<std::vector<Step>> steps;
std::vector<uint32_t> calculations;
std::vector<Formula> start;
std::vector<Formula> nodes;
std::vector<unsigned char> nodeMade;
std::vector<Formula*> graphs;
std::vector<Formula*> prevs;
std::vector<GraphRef> refs;
std::vector<RefRange> refsGrps;
uint32_t historySize = 0;
std::vector<uint32_t> estimation;
bool topologyAllocated = false;
bool coneSweep = true;
bool readerShortcut = true;

namespace {

const uint32_t NONE = 0xffffffffu;

// The previous results kept for later slices (BUILD_KEEP_PREV) by member and
// dominating graph, beside the lists in `prevs`, which keep their order: an
// open-addressing table with linear probing (key 0 marks a free entry; no
// key is 0, as no member is graph 0).  Within one build a result is found
// beside its step instead (BuildState::prevCells).
struct PrevEntry {
  uint64_t key;
  Formula* formula;
};
std::vector<PrevEntry> prevTable;
size_t prevEntries = 0;

uint64_t PrevKey(uint32_t m, uint32_t d) { return (static_cast<uint64_t>(d) << 32) | m; }

// The home slot: the top bits of a multiplicative hash, which depend on
// every bit of the key (lower bits of the product ignore the high bits of
// the dominating graph, and their clusters made long probe runs).
int prevShift = 64;  // 64 - log2 of the table size

size_t PrevSlot(uint64_t key) {
  uint64_t h = key * 0x9e3779b97f4a7c15ull;
  return static_cast<size_t>(h >> prevShift);
}

Formula* FindPrev(uint64_t key) {
  if (prevTable.empty()) return nullptr;
  for (size_t i = PrevSlot(key);; i = (i + 1) & (prevTable.size() - 1)) {
    if (prevTable[i].key == key) return prevTable[i].formula;
    if (prevTable[i].key == 0) return nullptr;
  }
}

void InsertPrev(uint64_t key, Formula* f) {
  if (2 * (prevEntries + 1) > prevTable.size()) {
    std::vector<PrevEntry> old;
    old.swap(prevTable);
    prevTable.assign(std::max<size_t>(1024, 2 * old.size()), PrevEntry{0, nullptr});
    prevShift = 64 - __builtin_ctzll(prevTable.size());
    prevEntries = 0;
    for (const PrevEntry& e : old)
      if (e.key != 0) InsertPrev(e.key, e.formula);
  }
  size_t i = PrevSlot(key);
  while (prevTable[i].key != 0) i = (i + 1) & (prevTable.size() - 1);
  prevTable[i] = PrevEntry{key, f};
  ++prevEntries;
}

// Removes a key and moves later entries of its probe run back, so every
// entry stays reachable from its home slot.
void ErasePrev(uint64_t key) {
  if (prevTable.empty()) return;
  size_t mask = prevTable.size() - 1, i = PrevSlot(key);
  while (prevTable[i].key != key) {
    if (prevTable[i].key == 0) return;
    i = (i + 1) & mask;
  }
  for (size_t j = (i + 1) & mask; prevTable[j].key != 0; j = (j + 1) & mask) {
    size_t home = PrevSlot(prevTable[j].key);
    // Entry j may fill the hole at i unless its home lies cyclically in (i, j].
    bool stays = i <= j ? (home > i && home <= j) : (home > i || home <= j);
    if (stays) continue;
    prevTable[i] = prevTable[j];
    i = j;
  }
  prevTable[i] = PrevEntry{0, nullptr};
  --prevEntries;
}

// Every reading graph comes after the graph it reads (set by the back references).
bool readersLater = true;

// Graph and previous-result formulas come from chunks, and freed ones are
// taken again first: one allocation per chunk rather than per formula.
class FormulaPool {
 public:
  Formula* New() {
    if (!free_.empty()) {
      Formula* f = free_.back();
      free_.pop_back();
      return f;
    }
    if (used_ == kChunk) {
      chunks_.emplace_back(new Formula[kChunk]);
      used_ = 0;
    }
    return &chunks_.back()[used_++];
  }
  // The formula is reset at once, so its argument and history storage goes.
  void Delete(Formula* f) {
    *f = Formula{};
    free_.push_back(f);
  }
  void Clear() {
    chunks_.clear();
    std::vector<Formula*>().swap(free_);
    used_ = kChunk;
  }

 private:
  static constexpr size_t kChunk = 4096;
  std::vector<std::unique_ptr<Formula[]>> chunks_;
  std::vector<Formula*> free_;
  size_t used_ = kChunk;
};
FormulaPool pool;

void FreeList(Formula*& head) {
  while (head != nullptr) {
    Formula* next = head->next;
    pool.Delete(head);
    head = next;
  }
}

// Graph whose variable node n tests, or NONE for an input or constant.
uint32_t ReadGraph(uint32_t n) {
  uint32_t v = Nods[n].n_var;
  return v < InpCount + ConCount ? NONE : v - InpCount - ConCount;
}

}  // namespace

uint32_t InternalGraphs() { return GrpCount - OutCount; }

void alloc_topology() {
  steps.assign(GrpCount, {});
  calculations.assign(GrpCount, 0);
  start.assign(GrpCount, Formula{});
  graphs.assign(GrpCount, nullptr);
  nodes.assign(NodCount, Formula{});
  nodeMade.assign(NodCount, 0);
  prevs.assign(GrpCount, nullptr);
  topologyAllocated = true;
}

void free_topology() {
  // Every formula lives in the pool: clearing it frees them all at once.
  std::fill(graphs.begin(), graphs.end(), nullptr);
  std::fill(prevs.begin(), prevs.end(), nullptr);
  pool.Clear();
  std::vector<PrevEntry>().swap(prevTable);
  prevEntries = 0;
  std::vector<std::vector<Step>>().swap(steps);
  std::vector<uint32_t>().swap(calculations);
  std::vector<Formula>().swap(start);
  std::vector<Formula>().swap(nodes);
  std::vector<unsigned char>().swap(nodeMade);
  std::vector<Formula*>().swap(graphs);
  std::vector<Formula*>().swap(prevs);
  std::vector<GraphRef>().swap(refs);
  std::vector<RefRange>().swap(refsGrps);
  topologyAllocated = false;
}

void back_references_build() {
  refsGrps.assign(GrpCount, RefRange{0, 0});
  for (uint32_t n = 0; n < NodCount; ++n) {
    uint32_t g = ReadGraph(n);
    if (g != NONE && g < GrpCount) ++refsGrps[g].count;
  }
  uint32_t sum = 0;
  for (RefRange& r : refsGrps) {
    r.first = sum;
    sum += r.count;
  }
  refs.assign(sum, GraphRef{0, 0});
  readersLater = true;
  std::vector<uint32_t> fill(GrpCount, 0);
  for (uint32_t k = GrpCount; k-- > 0;) {
    for (uint32_t n = Grps[k].g_beg; n < Grps[k].g_beg + Grps[k].g_len; ++n) {
      uint32_t g = ReadGraph(n);
      if (g == NONE || g >= GrpCount) continue;
      refs[refsGrps[g].first + fill[g]++] = GraphRef{k, n};
      if (k <= g) readersLater = false;
    }
  }
  // Ascending reading graph; the nodes of one reader keep their order.
  for (const RefRange& r : refsGrps)
    std::stable_sort(refs.begin() + r.first, refs.begin() + r.first + r.count,
                     [](const GraphRef& a, const GraphRef& b) { return a.graph < b.graph; });
}

namespace {

// Per-call working state of the build.
struct BuildState {
  unsigned flags;
  std::vector<ConeGraph> graph;      // per graph, in one place for the cone walk
  std::vector<uint32_t> nodeStamp;   // per node: the last root whose cone reads it
  std::vector<uint64_t> coneBits;    // per graph a bit: in the cone being collected
  std::vector<uint32_t> cone;        // the root's cone, ascending
  std::vector<uint32_t> listPos;     // per graph: its position in the list being built
  // The previous result of member m at dominating graph d, for the lists of
  // this call, is kept beside m's step in d's list: cell listBase[d] + the
  // step's position.  Lists of earlier calls are gone, and a previous result
  // kept from one is found in the table.
  std::vector<uint32_t> listBase;    // per root: its first cell
  std::deque<Formula*> prevCells;    // grows without copying into fresh memory
};

// Position of member m in d's list, or 0 when it is not there.
size_t binary_search(uint32_t d, uint32_t m) {
  const std::vector<Step>& list = steps[d];
  if (list.empty()) return 0;
  size_t lo = 1, hi = static_cast<size_t>(list[0].formula->usage);
  if (hi > list.size()) hi = list.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    int mm = list[mid].member;
    if (mm == static_cast<int>(m)) return mid;
    if (mm < static_cast<int>(m))
      lo = mid + 1;
    else
      hi = mid;
  }
  return 0;
}

Formula* formula_find_prev(uint32_t m, uint32_t d) {
  return FindPrev(PrevKey(m, d));
}

// The previous result for marked graph m at its dominating graph d.  Only
// a kept result needs the table again, to be found by a later slice.
Formula* formula_get_prev_node(BuildState& s, uint32_t m, uint32_t d) {
  uint32_t cell = s.graph[m].markCell;
  Formula* f = cell == NONE ? s.graph[m].mark : s.prevCells[cell];
  if (f != nullptr) {
    ++f->usage;
    return f;
  }
  f = pool.New();
  f->kind = FormulaKind::Prev;
  f->usage = 1;
  f->member = static_cast<int>(m);
  f->source = static_cast<int>(d);
  f->index = static_cast<int>(d);
  f->next = prevs[d];
  prevs[d] = f;
  s.prevCells[cell] = f;
  if (s.flags & BUILD_KEEP_PREV) InsertPrev(PrevKey(m, d), f);
  return f;
}

Formula* formula_get_start_node(uint32_t r, uint32_t count) {
  Formula& f = start[r];
  f = Formula{};
  f.kind = FormulaKind::Start;
  f.member = static_cast<int>(r);
  f.usage = static_cast<int>(count);
  return &f;
}

Formula* formula_get_node(uint32_t m, uint32_t n) {
  Formula& f = nodes[n];
  if (!nodeMade[n]) {
    nodeMade[n] = 1;
    f.kind = FormulaKind::Node;
    f.member = static_cast<int>(m);
    f.source = static_cast<int>(ReadGraph(n));
    f.index = static_cast<int>(n);
  }
  return &f;
}

// A graph formula of m whose filled slots are exactly the nodes stamped with r.
Formula* formula_find_graph(uint32_t r, uint32_t m, const std::vector<uint32_t>& stamps) {
  uint32_t b = Grps[m].g_beg, len = Grps[m].g_len;
  for (Formula* f = graphs[m]; f != nullptr; f = f->next) {
    bool same = true;
    for (uint32_t j = 0; j < len && same; ++j) same = (f->args[j] >= 0) == (stamps[b + j] == r);
    if (same) return f;
  }
  return nullptr;
}

Formula* formula_get_graph(uint32_t r, uint32_t m, const std::vector<uint32_t>& stamps) {
  Formula* f = formula_find_graph(r, m, stamps);
  if (f != nullptr) {
    ++f->usage;
    return f;
  }
  uint32_t b = Grps[m].g_beg, len = Grps[m].g_len;
  f = pool.New();
  f->kind = FormulaKind::Graph;
  f->usage = 1;
  f->member = static_cast<int>(m);
  f->args.assign(len, -1);
  for (uint32_t j = 0; j < len; ++j)
    if (stamps[b + j] == r) f->args[j] = static_cast<int32_t>(ReadGraph(b + j));
  f->next = graphs[m];
  graphs[m] = f;
  return f;
}

// The previous result that stands for marked graph m, linked to the formula
// m was marked with; the mark is used up.
Formula* UseMark(BuildState& s, uint32_t m) {
  ConeGraph& c = s.graph[m];
  Formula* p = formula_get_prev_node(s, m, c.dominator);
  if (p->prev == nullptr && c.mark != p) {
    p->prev = c.mark;
    p->prevMember = c.mark->member;
  }
  c.mark = nullptr;
  return p;
}

// A root below the slice: the previous results it will read get a history
// and remember the lowest root that needs them.
void markUsed(BuildState& s, uint32_t r) {
  for (size_t i = 1; i < s.cone.size(); ++i) {
    uint32_t m = s.cone[i];
    ConeGraph& c = s.graph[m];
    if (c.removed || c.mark == nullptr) continue;
    Formula* p = UseMark(s, m);
    if (p->shared == 0) {
      p->shared = static_cast<int>(r) + 1;
      p->history.assign(historySize, 0);
    } else if (static_cast<int>(r) + 1 < p->shared) {
      p->shared = static_cast<int>(r) + 1;
    }
  }
}

// Last position of the list that reads each member's change mask.
void SetLastUses(BuildState& s, std::vector<Step>& list) {
  // Members are distinct: each graph's position in this list.
  for (uint32_t i = 0; i < list.size(); ++i) {
    list[i].lastUse = 0;
    s.listPos[static_cast<uint32_t>(list[i].member)] = i;
  }
  auto use = [&](int g, uint32_t at) {
    if (g < 0) return;
    uint32_t p = s.listPos[static_cast<uint32_t>(g)];
    if (p < list.size() && list[p].member == g) list[p].lastUse = at;
  };
  for (uint32_t i = 1; i < list.size(); ++i) {
    const Formula* f = list[i].formula;
    if (f->kind == FormulaKind::Graph) {
      for (int32_t a : f->args) use(a, i);
    } else {
      use(f->source, i);
    }
  }
}

// The cone by a depth-first search and a sort, for models where a graph may
// read a graph that does not come before it.
void ConeBySearch(BuildState& s, uint32_t r) {
  std::vector<uint32_t> stack{r};
  std::vector<unsigned char> seen(GrpCount, 0);
  seen[r] = 1;
  while (!stack.empty()) {
    uint32_t g = stack.back();
    stack.pop_back();
    s.cone.push_back(g);
    const RefRange& rr = refsGrps[g];
    for (uint32_t i = rr.first; i < rr.first + rr.count; ++i) {
      uint32_t k = refs[i].graph;
      if (!seen[k]) {
        seen[k] = 1;
        stack.push_back(k);
      }
    }
  }
  std::sort(s.cone.begin(), s.cone.end());
}

// Appends a step field by field: a step made first and then copied into the
// list is read back wider than it was written, which stalls every append.
void AddStep(std::vector<Step>& list, Formula* f, uint32_t member) {
  Step& st = list.emplace_back();
  st.formula = f;
  st.lastUse = 0;
  st.member = static_cast<int>(member);
}

// Root r's list, empty, with room for `count` steps and its start formula.
std::vector<Step>& NewList(BuildState& s, uint32_t r, uint32_t count) {
  std::vector<Step>& list = steps[r];
  list.clear();
  list.reserve(count);
  s.listBase[r] = static_cast<uint32_t>(s.prevCells.size());
  s.prevCells.resize(s.prevCells.size() + count, nullptr);
  AddStep(list, formula_get_start_node(r, count), r);
  return list;
}

// A root that one graph k alone reads, k's list built: the cone is the root
// and k's cone, and every graph of it after k is dominated by k.  Pruning
// then removes each one that is not an output; an output, which k's list
// always holds, is marked with its formula there, unless that formula reads
// k itself (a node formula of its single cone node), which it keeps.  So the
// list is the root, k's own formula and the outputs of k's list, without a
// walk over k's cone.  False when the root is not such a one.
bool BuildFromReader(BuildState& s, uint32_t r) {
  if (!readerShortcut || (s.flags & (BUILD_ESTIMATE | BUILD_KEEP_PREV | BUILD_NO_PRUNING))) return false;
  const RefRange& rr = refsGrps[r];
  if (rr.count == 0) return false;
  uint32_t k = refs[rr.first].graph;
  for (uint32_t i = rr.first + 1; i < rr.first + rr.count; ++i)
    if (refs[i].graph != k) return false;
  if (steps.empty() || steps[k].empty()) return false;
  // k comes before every output; the outputs end its list.
  const std::vector<Step>& from = steps[k];
  size_t outputs = from.size();
  while (outputs > 1 && IsOutputGraph(static_cast<uint32_t>(from[outputs - 1].member))) --outputs;
  std::vector<Step>& list = NewList(s, r, static_cast<uint32_t>(2 + from.size() - outputs));
  for (uint32_t i = rr.first; i < rr.first + rr.count; ++i) s.nodeStamp[refs[i].node] = r;
  Formula* f = rr.count == 1 ? formula_get_node(k, refs[rr.first].node) : formula_get_graph(r, k, s.nodeStamp);
  AddStep(list, f, k);
  for (size_t at = outputs; at < from.size(); ++at) {
    uint32_t m = static_cast<uint32_t>(from[at].member);
    f = from[at].formula;
    if (f->source != static_cast<int>(k)) {
      ConeGraph& c = s.graph[m];
      c.dominator = k;
      c.mark = f;
      c.markCell = s.listBase[k] + static_cast<uint32_t>(at);
      f = UseMark(s, m);
    }
    AddStep(list, f, m);
  }
  SetLastUses(s, list);
  return true;
}

// Prunes cone graph g, all graphs after it done: true when it is removed, as
// its change follows from its dominating graph's; else it may be marked with
// the formula it has at that graph.
bool Pruned(BuildState& s, uint32_t g) {
  const bool est = s.flags & BUILD_ESTIMATE;
  const bool keepPrev = s.flags & BUILD_KEEP_PREV;
  ConeGraph& c = s.graph[g];
  uint32_t d = c.dominator;
  if (d == 0) return false;
  bool haveList = !steps.empty() && !steps[d].empty();
  if (topologyAllocated && !haveList && !keepPrev) {
    c.dominator = 0;  // computed for this root, so no graph below relies on d for it
    return false;
  }
  if (!IsOutputGraph(g)) {
    bool all = true;
    const RefRange& rr = refsGrps[g];
    for (uint32_t j = rr.first; j < rr.first + rr.count && all; ++j) all = s.graph[refs[j].graph].dominator == d;
    if (all) {
      c.removed = true;
      return true;
    }
  }
  if (est) {
    c.marked = true;
    return false;
  }
  Formula* f = nullptr;
  uint32_t cell = NONE;
  if (keepPrev && !haveList) {
    f = formula_find_prev(g, d);
  } else if (haveList) {
    size_t at = binary_search(d, g);
    if (at != 0) {
      f = steps[d][at].formula;
      cell = s.listBase[d] + static_cast<uint32_t>(at);
    }
    if (f != nullptr && f->source == static_cast<int>(d)) f = nullptr;
  }
  if (f != nullptr) {
    c.mark = f;
    c.markCell = cell;
  } else {
    c.dominator = 0;
  }
  return false;
}

void BuildRoot(BuildState& s, uint32_t r, uint32_t first) {
  if (BuildFromReader(s, r)) return;
  unsigned flags = s.flags;
  const bool est = flags & BUILD_ESTIMATE;
  const bool keepPrev = flags & BUILD_KEEP_PREV;
  // The cone: every graph reachable from r through readers, ascending, and
  // per cone graph the dominator of each of its readers.  A graph's own
  // dominator is known once every cone graph that it reads has been met.
  s.cone.clear();
  uint32_t count = 0;
  auto enter = [&](uint32_t g) {  // g's dominator is final: reset its marks
    s.cone.push_back(g);
    ++count;
    ConeGraph& c = s.graph[g];
    c.removed = false;
    c.mark = nullptr;
    c.marked = false;
    if (g == r || c.dominator >= GrpCount) c.dominator = 0;
    return c.dominator ? c.dominator : g;
  };
  auto reader = [&](uint32_t g, uint32_t dom, const GraphRef& ref) {
    uint32_t k = ref.graph, n = ref.node;
    ConeGraph& c = s.graph[k];
    if (c.stamp != r) {
      c.stamp = r;
      c.dominator = 0;
      c.single = n;
    } else {
      c.single = NONE;
    }
    s.nodeStamp[n] = r;
    uint32_t& dk = c.dominator;
    if (g == r)
      dk = GrpCount;
    else if (dk == 0)
      dk = dom;
    else if (dk != dom)
      dk = GrpCount;
  };
  if (!readersLater || !coneSweep) {
    ConeBySearch(s, r);
    std::vector<uint32_t> order;
    order.swap(s.cone);
    for (uint32_t g : order) {
      uint32_t dom = enter(g);
      const RefRange& rr = refsGrps[g];
      for (uint32_t i = rr.first; i < rr.first + rr.count; ++i) reader(g, dom, refs[i]);
    }
  } else {
    // A reader comes after the graph it reads, so one upward sweep over a
    // bit set meets the cone in order, each graph after all that lead to it.
    uint64_t* bits = s.coneBits.data();
    bits[r / 64] |= uint64_t(1) << (r % 64);
    uint32_t top = r / 64;
    for (uint32_t wi = r / 64; wi <= top; ++wi) {
      uint64_t word = bits[wi];
      while (word != 0) {
        uint32_t g = wi * 64 + static_cast<uint32_t>(__builtin_ctzll(word));
        word &= word - 1;
        uint32_t dom = enter(g);
        const RefRange& rr = refsGrps[g];
        for (uint32_t i = rr.first; i < rr.first + rr.count; ++i) {
          uint32_t k = refs[i].graph;
          uint64_t bit = uint64_t(1) << (k % 64);
          if (k / 64 == wi) {
            word |= bit & ~bits[wi];  // a later bit of this word
            bits[wi] |= bit;
          } else {
            bits[k / 64] |= bit;
            if (k / 64 > top) top = k / 64;
          }
          reader(g, dom, refs[i]);
        }
      }
      bits[wi] = 0;
    }
  }
  // Pruning: graphs whose change follows from a dominating graph.  The kept
  // ones move to the top of the cone as they are met, so the cone ends as the
  // root and its kept graphs, ascending.
  if (!(flags & BUILD_NO_PRUNING)) {
    size_t top = s.cone.size();
    for (size_t i = s.cone.size(); i-- > 1;) {
      uint32_t g = s.cone[i];
      if (Pruned(s, g))
        --count;
      else
        s.cone[--top] = g;
    }
    s.cone.erase(s.cone.begin() + 1, s.cone.begin() + static_cast<std::ptrdiff_t>(top));
  }
  if (est) {
    estimation[r] = estimate(s.cone, s.graph);
    return;
  }
  if (keepPrev && r < first) {
    markUsed(s, r);
    return;
  }
  std::vector<Step>& list = NewList(s, r, count);
  for (size_t i = 1; i < s.cone.size(); ++i) {
    uint32_t m = s.cone[i];
    ConeGraph& c = s.graph[m];
    if (c.removed) continue;
    Formula* f;
    if (c.mark != nullptr) {
      f = UseMark(s, m);
    } else if (c.single != NONE) {
      f = formula_get_node(m, c.single);
    } else {
      f = formula_get_graph(r, m, s.nodeStamp);
    }
    AddStep(list, f, m);  // f's member, without reading f
  }
  SetLastUses(s, list);
}

}  // namespace

void topology_build() { topology_build_ext(0, 0, InternalGraphs() - 1, 0); }

void topology_build_ext(unsigned flags, uint32_t first, uint32_t last, uint32_t history) {
  if (refsGrps.size() != GrpCount) back_references_build();
  uint32_t internal = InternalGraphs();
  if (internal == 0) return;
  uint32_t low = first;
  if (flags & BUILD_KEEP_PREV) {
    low = 0;
    historySize = history;
  }
  BuildState s;
  s.flags = flags;
  s.graph.assign(GrpCount, ConeGraph{});
  s.nodeStamp.assign(NodCount, NONE);
  s.coneBits.assign(GrpCount / 64 + 1, 0);
  s.listPos.assign(GrpCount, 0);
  s.listBase.assign(GrpCount, NONE);
  for (uint32_t r = last + 1; r-- > low;) {
    if (r % 32768 == 32767)
      TextOut(Format(" %.2f%%", static_cast<double>(100 - static_cast<uint64_t>(r) * 100 / internal)));
    BuildRoot(s, r, first);
  }
}

void free_topology_slice(uint32_t a) {
  for (std::vector<Step>& list : steps) std::vector<Step>().swap(list);
  for (Formula*& f : graphs) FreeList(f);
  for (Formula*& head : prevs) {
    Formula** link = &head;
    while (*link != nullptr) {
      Formula* f = *link;
      if (f->shared != 0 && f->shared <= static_cast<int>(a)) {
        f->usage = 0;
        f->prev = nullptr;  // the formula it came from is freed with the slice
        link = &f->next;
      } else {
        *link = f->next;
        ErasePrev(PrevKey(static_cast<uint32_t>(f->member), static_cast<uint32_t>(f->index)));
        pool.Delete(f);
      }
    }
  }
}
