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

// The helpers of the evaluation loops run once per graph evaluated.
#define ALWAYS_INLINE inline __attribute__((always_inline))

// Site class of the current call (0, 1 or 3).
int32_t site_class = 0;

// Three-valued value of graph g, its node variables' values given by
// `value(node index)`.  `site_rule`: the site node takes the forced edge of
// its machine (`good` tells which) instead of its variable.  Only the fault
// graph holds the site, so the rule is compiled in for it alone: without the
// site the walks are the same either way.  `marks` and `stack` are scratch
// arrays over the nodes; S is a mark no earlier walk of the graph has left.
template <bool site_rule, class Value>
ALWAYS_INLINE unsigned char WalkGraph(uint32_t g, const Value& value, bool good, uint32_t S, uint32_t* marks,
                                      uint32_t* stack) {
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
      unsigned char v = value(idx);
      if (v == X) {
        stack[top++] = idx;
        marks[idx] = S;
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
    const uint32_t from = stack[--top];
    uint32_t next = Nods[from].n_dst[0];
    uint32_t last = 0;
    while (next != 0) {
      const uint32_t idx = beg + next;
      if (marks[idx] == S) {
        last = 1;  // its own alternatives were already found to give 1
        break;
      }
      const NodRec& n = Nods[idx];
      if (site_in_alternatives && idx == CurrentNode) {
        last = forced;
      } else {
        unsigned char v = value(idx);
        last = (v == X) ? 0 : (v ^ (n.n_flags & 1u));
      }
      next = n.n_dst[last];
    }
    if (last == 0) return X;
  }
  return 1;
}

// Three-valued value of graph g in `row`.
template <bool site_rule>
unsigned char EvalGraph(uint32_t g, unsigned char* row, bool good, uint32_t S) {
  return WalkGraph<site_rule>(
      g, [row](uint32_t idx) { return row[Nods[idx].n_var]; }, good, S, reached_mas.data(), tstack.data());
}

// A graph of one or two nodes (most graphs of a gate-level model) has its
// value for every combination of its nodes' values worked out beforehand by
// the walk above: the walk depends on nothing else outside the fault graph.
// Values 0, 1 and 'x' have the codes 0, 1 and 2 (bit 0 of the value, and
// bit 1 from bit 6, set in 'x' alone); the table is indexed by the code of
// node 0 plus four times the code of node 1.
struct SmallGraph {
  uint32_t var0;  // kNotSmall for a graph of more nodes
  uint32_t var1;  // var0 again for a one-node graph
  unsigned char value[16];
};
constexpr uint32_t kNotSmall = UINT32_MAX;
std::vector<SmallGraph> small_graphs;

ALWAYS_INLINE uint32_t ValueCode(unsigned char v) { return (v & 1u) | ((v >> 5) & 2u); }

void BuildSmallGraphs() {
  small_graphs.assign(GrpCount, SmallGraph{kNotSmall, kNotSmall, {}});
  std::vector<uint32_t> marks(NodCount, 0), stack(NodCount, 0);
  const unsigned char values[3] = {0, 1, X};
  uint32_t S = 0;
  for (uint32_t g = 0; g < GrpCount; ++g) {
    const uint32_t len = Grps[g].g_len;
    if (len == 0 || len > 2) continue;
    const uint32_t beg = Grps[g].g_beg;
    SmallGraph& sg = small_graphs[g];
    sg.var0 = Nods[beg].n_var;
    sg.var1 = len == 2 ? Nods[beg + 1].n_var : sg.var0;
    for (uint32_t c0 = 0; c0 < 3; ++c0) {
      for (uint32_t c1 = 0; c1 < 3; ++c1) {
        const unsigned char node_values[2] = {values[c0], values[len == 2 ? c1 : c0]};
        sg.value[c0 + 4 * c1] = WalkGraph<false>(
            g, [&](uint32_t idx) { return node_values[idx - beg]; }, true, ++S, marks.data(), stack.data());
      }
    }
  }
}

// EvalGraph<false> for any graph but the fault graph.
ALWAYS_INLINE unsigned char EvalPlain(uint32_t g, unsigned char* row, uint32_t S) {
  const SmallGraph& sg = small_graphs[g];
  if (sg.var0 != kNotSmall) return sg.value[ValueCode(row[sg.var0]) + 4 * ValueCode(row[sg.var1])];
  return EvalGraph<false>(g, row, true, S);
}

// Graphs scheduled for evaluation: `events` holds one bit per graph and
// `event_words` one bit per word of `events` that may be nonzero, so that
// finding the next scheduled graph and clearing them all cost little more
// than the graphs scheduled, however many graphs the model has.
std::vector<uint64_t> event_words;

// Per variable, the bits SetEvent sets: its readers grouped by word of
// `events`, a word index and its mask each (readers of a variable often
// share words, and a variable read by a thousand graphs is common).
struct EventMask {
  uint32_t word;
  uint64_t bits;
};
std::vector<uint32_t> mask_start;
std::vector<EventMask> masks;

void BuildEventMasks() {
  mask_start.assign(1, 0);
  masks.clear();
  for (uint32_t var = 0; var < NextGrps.size(); ++var) {
    for (uint32_t g : NextGrps[var]) {
      if (masks.size() == mask_start.back() || masks.back().word != (g >> 6)) masks.push_back(EventMask{g >> 6, 0});
      masks.back().bits |= uint64_t{1} << (g & 63);
    }
    mask_start.push_back(static_cast<uint32_t>(masks.size()));
  }
}

ALWAYS_INLINE void Unschedule(uint32_t g) { events[g >> 6] &= ~(uint64_t{1} << (g & 63)); }

// The first graph at or after `from`, before `end`, whose bit is set in
// `events` and, with `within`, also in `within`; `end` when there is none.
// Reads the words afresh, so graphs scheduled meanwhile are seen.
ALWAYS_INLINE uint32_t NextScheduled(uint32_t from, uint32_t end, const uint64_t* within = nullptr) {
  while (from < end) {
    const uint32_t w = from >> 6;
    uint64_t word = events[w] >> (from & 63);
    if (within) word &= within[w] >> (from & 63);
    if (word) {
      uint32_t g = from + static_cast<uint32_t>(__builtin_ctzll(word));
      return g < end ? g : end;
    }
    // Skip the words known to be zero, 64 at a time.
    uint32_t next = w + 1;
    uint64_t summary = event_words[next >> 6] & (~uint64_t{0} << (next & 63));
    while (summary == 0) {
      next = ((next >> 6) + 1) << 6;
      if ((uint64_t{next} << 6) >= end) return end;
      summary = event_words[next >> 6];
    }
    from = ((next & ~63u) + static_cast<uint32_t>(__builtin_ctzll(summary))) << 6;
  }
  return end;
}

// The graphs the fault's effect can reach: the fault graph and every graph
// that reads the variable of one of them.  Elsewhere both machines read the
// same values and so hold the same values, which is why the faulty pass
// evaluates only these graphs.
std::vector<uint64_t> fault_cone;
std::vector<uint32_t> cone_stack;

ALWAYS_INLINE bool InCone(uint32_t g) { return (fault_cone[g >> 6] >> (g & 63)) & 1u; }

void BuildCone(uint32_t graph) {
  std::fill(fault_cone.begin(), fault_cone.end(), 0);
  if (graph >= GrpCount) return;
  fault_cone[graph >> 6] |= uint64_t{1} << (graph & 63);
  cone_stack.assign(1, graph);
  while (!cone_stack.empty()) {
    const uint32_t g = cone_stack.back();
    cone_stack.pop_back();
    for (uint32_t r : NextGrps[GraphVar(g)]) {
      uint64_t& word = fault_cone[r >> 6];
      const uint64_t bit = uint64_t{1} << (r & 63);
      if (word & bit) continue;
      word |= bit;
      cone_stack.push_back(r);
    }
  }
}

// Outputs that hold opposite binary values in the two machines, kept up to
// date at every write of an output's value, so that a call need not look at
// every output to find one that shows the effect.
uint32_t differing_outputs = 0;

ALWAYS_INLINE bool Opposite(unsigned char a, unsigned char b) { return (a == 0 && b == 1) || (a == 1 && b == 0); }

// One bit per graph whose variable holds opposite binary values in the two
// rows, kept with the count above, so that the search finds the graphs that
// carry the effect without looking at every graph.
std::vector<uint64_t> differing;

ALWAYS_INLINE void NoteDifference(uint32_t g, bool opposite) {
  const uint64_t bit = uint64_t{1} << (g & 63);
  if (opposite)
    differing[g >> 6] |= bit;
  else
    differing[g >> 6] &= ~bit;
}

// The count and the bits from the rows as they are.
void RecountDifferences() {
  const unsigned char* good = vects[GoodRow()].data();
  const unsigned char* faulty = vects[FaultyRow()].data();
  std::fill(differing.begin(), differing.end(), 0);
  differing_outputs = 0;
  for (uint32_t g = 0; g < GrpCount; ++g) {
    const uint32_t gv = GraphVar(g);
    if (!Opposite(good[gv], faulty[gv])) continue;
    NoteDifference(g, true);
    if (IsOutputGraph(g)) ++differing_outputs;
  }
}

// The graphs whose value a call has written since the rows were last reset
// by ResetMachines, each once (`written_flag`), so that the reset clears just
// those instead of every graph column; `rows_known` is false until the first
// full reset.
std::vector<uint32_t> written;
std::vector<unsigned char> written_flag;
bool rows_known = false;

ALWAYS_INLINE void NoteWritten(uint32_t g) {
  if (!written_flag[g]) {
    written_flag[g] = 1;
    written.push_back(g);
  }
}

// The search's way back.  While `undo_active`, every write of a graph's
// values is logged with the values it replaces, and a decision notes the
// length of the log before it (`checkpoints`, per depth of BacktrackTree), so
// that a backtrack puts the values back instead of simulating the assignments
// undone.  The state put back is the one simulation would give: after a call
// that ran to its end (no graph left scheduled) every graph holds the value
// of its variables' values, except a graph never evaluated since the reset,
// whose variables have held 'x' all along; it holds 'x', which is its value
// too unless it is the fault graph (whose forced site can make it binary) or
// a graph that is binary with every variable 'x' (`undo_possible` is false in
// a model that has one).  Once evaluated, the fault graph is scheduled again
// after a return, as simulation would have kept it up to date.
struct UndoEntry {
  uint32_t graph;
  unsigned char good, faulty;
};
std::vector<UndoEntry> undo_log;  // entries [0, undo_size) are in use
size_t undo_size = 0;

__attribute__((noinline)) void GrowUndoLog() { undo_log.resize(std::max<size_t>(1024, 2 * undo_log.size())); }
// A graph is logged once per stretch between two checkpoints (an epoch):
// its first write there holds the values the checkpoint needs.
std::vector<uint32_t> logged_in;
uint32_t epoch = 1;

void NewEpoch() {
  if (++epoch == 0) {
    std::fill(logged_in.begin(), logged_in.end(), 0);
    epoch = 1;
  }
}
constexpr size_t kNoCheckpoint = SIZE_MAX;
std::vector<size_t> checkpoints;
bool undo_possible = false;
bool undo_active = false;
bool rows_fresh = false;
bool fault_graph_evaluated = false;
// Set while SetEvent has scheduled graphs that no call has evaluated yet.
bool events_pending = false;

// Whether no graph is binary with all its variables 'x' (see undo_log), and
// every graph reads only inputs, constants and graphs before it, so that one
// call in ascending order leaves no graph behind its variables.
void CheckUndoPossible() {
  std::vector<uint32_t> marks(NodCount, 0), stack(NodCount, 0);
  undo_possible = true;
  for (uint32_t g = 0; g < GrpCount && undo_possible; ++g) {
    if (Grps[g].g_len == 0) continue;
    for (uint32_t k = 0; k < Grps[g].g_len; ++k)
      if (Nods[Grps[g].g_beg + k].n_var >= GraphVar(g)) undo_possible = false;
    if (undo_possible)
      undo_possible = WalkGraph<false>(
                          g, [](uint32_t) { return X; }, true, 1, marks.data(), stack.data()) == X;
  }
}

// Writes value r of graph g into the good row, the faulty row or both, and
// keeps the differences of a graph of the cone; outside the cone both rows
// are written alike and never differ.
ALWAYS_INLINE void WriteValue(uint32_t g, unsigned char* good, unsigned char* faulty, unsigned char r, bool to_good,
                bool to_faulty) {
  const uint32_t gv = GraphVar(g);
  NoteWritten(g);
  if (undo_active && logged_in[g] != epoch) {
    logged_in[g] = epoch;
    if (undo_size == undo_log.size()) GrowUndoLog();
    undo_log[undo_size++] = UndoEntry{g, good[gv], faulty[gv]};
  }
  if (to_good && to_faulty && !InCone(g)) {
    good[gv] = r;
    faulty[gv] = r;
    return;
  }
  const bool output = IsOutputGraph(g);
  if (output && Opposite(good[gv], faulty[gv])) --differing_outputs;
  if (to_good) good[gv] = r;
  if (to_faulty) faulty[gv] = r;
  const bool opposite = Opposite(good[gv], faulty[gv]);
  if (output && opposite) ++differing_outputs;
  NoteDifference(g, opposite);
}

}  // namespace

uint32_t GoodRow() { return vcount - 2; }
uint32_t FaultyRow() { return vcount - 1; }

namespace {

ALWAYS_INLINE void Schedule(uint32_t var) {
  uint64_t* ev = events.data();
  uint64_t* summary = event_words.data();
  for (uint32_t i = mask_start[var], end = mask_start[var + 1]; i < end; ++i) {
    const EventMask m = masks[i];
    ev[m.word] |= m.bits;
    summary[m.word >> 6] |= uint64_t{1} << (m.word & 63);
  }
}

}  // namespace

void SetEvent(uint32_t var) {
  Schedule(var);
  events_pending = true;
}

void ResetEvents() {
  events_pending = false;
  for (uint32_t s = 0; s < event_words.size(); ++s) {
    for (uint64_t word = event_words[s]; word != 0; word &= word - 1)
      events[(s << 6) + static_cast<uint32_t>(__builtin_ctzll(word))] = 0;
    event_words[s] = 0;
  }
}

void ResetMachines() {
  unsigned char* rows[2] = {vects[GoodRow()].data(), vects[FaultyRow()].data()};
  for (unsigned char* row : rows) {
    std::fill(row, row + InpCount, X);
    if (rows_known) {
      for (uint32_t g : written) row[GraphVar(g)] = X;
    } else {
      std::fill(row + InpCount + ConCount, row + VarCount, X);
    }
  }
  for (uint32_t g : written) {
    written_flag[g] = 0;
    NoteDifference(g, false);
  }
  written.clear();
  undo_size = 0;
  rows_fresh = true;
  fault_graph_evaluated = false;
  differing_outputs = 0;
  if (!rows_known) std::fill(differing.begin(), differing.end(), 0);
  rows_known = true;
}

int32_t LastDifferingGraph(int32_t from, uint32_t low) {
  if (from < 0 || static_cast<uint32_t>(from) < low) return -1;
  const uint32_t top = static_cast<uint32_t>(from);
  uint32_t w = top >> 6;
  uint64_t word = differing[w] & (~uint64_t{0} >> (63 - (top & 63)));
  for (;;) {
    if (word) {
      const uint32_t g = (w << 6) + 63 - static_cast<uint32_t>(__builtin_clzll(word));
      return g >= low ? static_cast<int32_t>(g) : -1;
    }
    if (w == 0 || (w << 6) <= low) return -1;
    word = differing[--w];
  }
}

void SetInitialEvents() {
  ResetEvents();
  for (uint32_t c = InpCount; c < InpCount + ConCount; ++c) SetEvent(c);
  BuildCone(CurrentGraph);
  // Rows reset through ResetMachines differ nowhere; others are looked at.
  if (!rows_known) RecountDifferences();
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
    unsigned char r = EvalPlain(g, good, S);
    if (r != good[gv]) {
      WriteValue(g, good, faulty, r, true, true);
      Schedule(gv);
    }
    Unschedule(g);
  }
  site_class = good[v] == X ? 0 : (good[v] == RealFault ? 1 : 3);
  // The good pass also gives the faulty machine its values outside the
  // fault's cone, so the faulty pass evaluates the cone alone.  A graph's
  // readers are scheduled by the good pass when its value changes there,
  // which is also when it changes in the faulty machine.
  for (uint32_t g = NextScheduled(CurrentGraph, GrpCount); g < GrpCount; g = NextScheduled(g + 1, GrpCount)) {
    const uint32_t gv = GraphVar(g);
    if (g == CurrentGraph) fault_graph_evaluated = true;
    unsigned char r = g == CurrentGraph ? EvalGraph<true>(g, good, true, reached_code1)
                                        : EvalPlain(g, good, reached_code1);
    if (r != good[gv]) {
      WriteValue(g, good, faulty, r, true, !InCone(g));
      Schedule(gv);
    }
  }
  reached_code1 += 2;
  for (uint32_t g = NextScheduled(CurrentGraph, GrpCount, fault_cone.data()); g < GrpCount;
       g = NextScheduled(g + 1, GrpCount, fault_cone.data())) {
    const uint32_t gv = GraphVar(g);
    unsigned char r = g == CurrentGraph ? EvalGraph<true>(g, faulty, false, reached_code1)
                                        : EvalPlain(g, faulty, reached_code1);
    if (site_class == 3 && IsOutputGraph(g) && Opposite(r, good[gv])) {
      reached_code1 += 2;
      return 2;
    }
    if (r != faulty[gv]) {
      WriteValue(g, good, faulty, r, false, true);
      Schedule(gv);
    }
  }
  reached_code1 += 2;
  // An output may already differ from an evaluation made before the site was
  // activated; no event brings it up again, so the count of differing
  // outputs decides.
  ResetEvents();
  if (site_class == 3 && differing_outputs > 0) return 2;
  return site_class;
}

void BeginSearch() {
  undo_active = undo_possible && rows_fresh && CurrentGraph < GrpCount;
  rows_fresh = false;
  undo_size = 0;
  NewEpoch();
}

void SaveSearchState(uint32_t depth) {
  if (!undo_active) return;
  if (checkpoints.size() <= depth) checkpoints.resize(depth + 1, kNoCheckpoint);
  checkpoints[depth] = events_pending ? kNoCheckpoint : undo_size;
  NewEpoch();
}

void NoSearchState() {
  undo_active = false;
  undo_size = 0;
}

bool RestoreSearchState(uint32_t depth) {
  if (!undo_active || depth >= checkpoints.size() || checkpoints[depth] == kNoCheckpoint) return false;
  unsigned char* good = vects[GoodRow()].data();
  unsigned char* faulty = vects[FaultyRow()].data();
  const size_t to = checkpoints[depth];
  while (undo_size > to) {
    const UndoEntry e = undo_log[--undo_size];
    const uint32_t gv = GraphVar(e.graph);
    if (!InCone(e.graph)) {  // both rows alike, never differing
      good[gv] = e.good;
      faulty[gv] = e.faulty;
      continue;
    }
    const bool output = IsOutputGraph(e.graph);
    if (output && Opposite(good[gv], faulty[gv])) --differing_outputs;
    good[gv] = e.good;
    faulty[gv] = e.faulty;
    const bool opposite = Opposite(e.good, e.faulty);
    if (output && opposite) ++differing_outputs;
    NoteDifference(e.graph, opposite);
  }
  NewEpoch();
  ResetEvents();
  if (fault_graph_evaluated) {
    events[CurrentGraph >> 6] |= uint64_t{1} << (CurrentGraph & 63);
    event_words[CurrentGraph >> 12] |= uint64_t{1} << ((CurrentGraph >> 6) & 63);
    events_pending = true;
  }
  return true;
}

void alloc_testsimul() {
  reached_mas.assign(NodCount, 0);
  tstack.assign(NodCount, 0);
  events.assign((GrpCount + 63) / 64, 0);
  event_words.assign((events.size() + 63) / 64 + 1, 0);
  fault_cone.assign(events.size() + 1, 0);
  differing.assign(events.size() + 1, 0);
  written.clear();
  written_flag.assign(GrpCount, 0);
  rows_known = false;
  BacktrackTree.assign(InpCount, BacktrackEntry{0, 0, 0});
  checkpoints.assign(InpCount, kNoCheckpoint);
  logged_in.assign(GrpCount, 0);
  undo_size = 0;
  undo_active = false;
  rows_fresh = false;
}

void init_testsimul() {
  std::fill(reached_mas.begin(), reached_mas.end(), 0);
  reached_code1 = 0;
}

void free_testsimul() {
  reached_mas.clear();
  tstack.clear();
  events.clear();
  event_words.clear();
  fault_cone.clear();
  differing.clear();
  written.clear();
  written_flag.clear();
  rows_known = false;
  BacktrackTree.clear();
  checkpoints.clear();
  logged_in.clear();
  undo_log.clear();
  undo_size = 0;
  undo_active = false;
}

void tg_preprocess() {
  NextGrps.assign(VarCount, {});
  for (uint32_t g = 0; g < GrpCount; ++g) {
    for (uint32_t k = 0; k < Grps[g].g_len; ++k) {
      std::vector<uint32_t>& list = NextGrps[Nods[Grps[g].g_beg + k].n_var];
      if (list.empty() || list.back() != g) list.push_back(g);
    }
  }
  BuildEventMasks();
  BuildSmallGraphs();
  CheckUndoPossible();
}
