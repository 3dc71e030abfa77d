#include "packsim.h"

#include <algorithm>

#include "fastgraph.h"
#include "fsimul.h"
#include "mudel.h"
#include "vector.h"

// How the word-parallel form gives the single-fault simulator's rows.
// fsimul marks, per pattern, every node on the fault-free path of its graph
// whose fault the status still lacks (stuck-at-0 where the node's variable is
// 1, stuck-at-1 where it is 0); the fault, which inverts the node's edge
// choice, changes the graph's value exactly when the two successors of the
// node lead to different values; and a changed graph value is detected when
// complementing the graph's variable changes an output, which decides for
// every fault of the graph at once.  Here all of that is computed for 32
// patterns per word: the reach masks of a graph's nodes, the value of the
// graph from each node on (its "slots"), the patterns in which a node's fault
// is both wanted and changes the graph (its activation), and, once per graph
// with any activation, the patterns in which complementing the graph's value
// reaches an output, spread only through graphs that read a changed variable,
// in index order, and only over the activated patterns.  A node's mark in a
// row is then its activation bit and the graph's observation bit of that
// row's pattern.

namespace {

inline bool Any(uint32_t b) { return b != 0; }

// How a packet's marks go into the fault table and the status.
enum class MarkMode {
  Count,  // dropping, status as it is: every row marks what it detects, counted
  All,    // no dropping: every fault, merged into the status
  First,  // dropping, the status updated row after row: each fault in the first row that detects it
};

// The simulator of one packet of up to 32 patterns at a time.
class Core {
 public:
  void Prepare();
  // Rows first .. first+rows-1 of vects (rows at most 32), marked as `mode`
  // says; counts (mode Count) receives each row's marks.
  void Packet(uint32_t first, uint32_t rows, MarkMode mode, std::vector<uint32_t>* counts);
  // The rows among first .. first+rows-1 (bit j for row first+j) in which
  // the fault of `node` with mark `mark` is detected.
  uint32_t Detecting(uint32_t first, uint32_t rows, uint32_t node, char mark);
  // The fault-free values loaded are those of rows that the caller may have
  // changed since.  Without it, the rows loaded keep their input columns and
  // a packet of the same first row and more rows loads only the rows added.
  void Forget() { loaded = false; }
  // Mode First writes its marks into the fault table (which then has the
  // rows) only when `table` is set.
  bool table = true;

 private:
  // Fault-free values of the rows into goodV and goodD, unless those rows
  // are loaded already.
  void Load(uint32_t first, uint32_t rows);
  uint32_t Observe(uint32_t g, uint32_t active);
  // Observe with its result kept in obs and known, and taken from there for
  // the patterns already known.
  uint32_t Seen(uint32_t g, uint32_t active);

  FastGraphs fast;                         // the nodes as slots, and the readers of each graph
  std::vector<uint32_t> goodV, faultV;     // per variable: fault-free values, values with one graph changed
  std::vector<uint32_t> goodD;             // per graph slot: fault-free value of the graph from that node on
  std::vector<uint32_t> work;              // slots of one graph evaluated on faultV
  std::vector<uint32_t> reach, act;        // per node of one graph: reach and activation masks
  // Per graph: observation mask over the patterns `known`, valid while its
  // stamp is the packet's (the fault-free values it depends on change with
  // every packet; rows added to a packet leave the patterns known as they
  // were).
  std::vector<uint32_t> obs, known, stamp;
  uint32_t packetStamp = 0;
  PendingGraphs pending;          // graphs waiting for re-evaluation
  std::vector<uint32_t> touched;  // variables changed in faultV
  std::vector<uint32_t> graphOf;  // per node: its graph
  bool loaded = false;            // goodV and goodD hold rows loadedFirst .. + loadedRows - 1
  // goodD holds every graph's slots (allSlots), or those of the graphs whose
  // slotStamp is slotGen, the others being evaluated when asked for.
  bool allSlots = false;
  uint32_t slotGen = 0;
  std::vector<uint32_t> slotStamp;
  // Rows added to a packet are evaluated on demand: the graph variables of
  // rows lazyFrom .. loadedRows-1 hold their values only where varStamp is
  // lazyGen (Need), until Complete evaluates every graph.  The input and
  // constant columns are always loaded, and so are all earlier rows.
  uint32_t lazyFrom = 0, lazyGen = 0;
  std::vector<uint32_t> varStamp;
  std::vector<uint32_t> needStack;  // graphs waiting for their inputs' values
  std::vector<uint32_t> needD;      // slots of one graph being evaluated on demand
  bool Lazy() const { return lazyFrom < loadedRows; }
  // The fault-free value of variable v (and its copy in faultV, which v may
  // not have changed yet) for every row loaded.
  void Need(uint32_t v);
  void NeedInputsOf(uint32_t g) {
    const FastNode* nd = fast.nodes.data() + Grps[g].g_beg;
    for (uint32_t k = 0; k < Grps[g].g_len; ++k) Need(nd[k].var);
  }
  void Complete();
  // The slots of graph g for the rows loaded.
  const uint32_t* Slots(uint32_t g) {
    uint32_t* D = goodD.data() + fast.slotBase[g];
    if (!allSlots && slotStamp[g] != slotGen) {
      if (Lazy()) NeedInputsOf(g);
      EvalSlots(fast.nodes.data() + Grps[g].g_beg, Grps[g].g_len, goodV.data(), D);
      slotStamp[g] = slotGen;
    }
    return D;
  }
  uint32_t loadedFirst = 0, loadedRows = 0, loadedValid = 0;
};

void Core::Prepare() {
  fast.Build();
  const uint32_t M = fast.maxLen;
  goodV.assign(VarCount, 0);
  faultV.assign(VarCount, 0);
  goodD.assign(fast.SlotCount(), 0);
  for (uint32_t g = 0; g < GrpCount; ++g) goodD[fast.slotBase[g] + Grps[g].g_len] = ~0u;
  slotStamp.assign(GrpCount, 0);
  varStamp.assign(VarCount, 0);
  lazyGen = 0;
  lazyFrom = 0;
  needStack.clear();
  needD.assign(M + 2, 0);
  slotGen = 0;
  allSlots = false;
  work.assign(M + 2, 0);
  reach.assign(M + 2, 0);
  act.assign(M, 0);
  obs.assign(GrpCount, 0);
  known.assign(GrpCount, 0);
  stamp.assign(GrpCount, 0);
  pending.Reset(GrpCount);
  touched.clear();
  touched.reserve(GrpCount);
  graphOf.assign(NodCount, 0);
  for (uint32_t g = 0; g < GrpCount; ++g)
    std::fill(graphOf.begin() + Grps[g].g_beg, graphOf.begin() + Grps[g].g_beg + Grps[g].g_len, g);
  loaded = false;
}

// The patterns among `active` in which complementing the value of the
// non-output graph g changes an output.  The change is spread in index order
// through the graphs that read a changed variable.  When a single graph h is
// left to evaluate and no changed variable has a reader after it, the rest
// depends on h alone: h's observation mask, where it is known, finishes it.
uint32_t Core::Observe(uint32_t g, uint32_t active) {
  uint32_t diff = 0;
  uint32_t gv = GraphVar(g);
  faultV[gv] = goodV[gv] ^ active;
  touched.push_back(gv);
  pending.ScheduleReaders(fast, g);
  uint32_t from = g;
  while (pending.Count() > 0) {
    uint32_t h = pending.Pop(from);
    from = h;
    uint32_t n = Grps[h].g_len;
    uint32_t hv = GraphVar(h);
    if (Lazy()) {
      // Every variable changed so far has its value: only unchanged ones,
      // whose faultV is goodV, are evaluated here.
      NeedInputsOf(h);
      Need(hv);
    }
    uint32_t* D = work.data();
    D[n] = ~0u;
    D[n + 1] = 0;
    EvalSlots(fast.nodes.data() + Grps[h].g_beg, n, faultV.data(), D);
    uint32_t change = D[0] ^ goodV[hv];
    if (!Any(change)) continue;
    if (IsOutputGraph(h)) {
      // An output's readers change only in patterns already observed here.
      diff |= change;
      if (diff == active) {
        pending.Clear();
        break;
      }
      continue;
    }
    if (pending.Count() == 0 && stamp[h] == packetStamp && (change & ~known[h]) == 0) {
      diff |= change & obs[h];
      break;
    }
    faultV[hv] = D[0];
    touched.push_back(hv);
    pending.ScheduleReaders(fast, h);
  }
  for (uint32_t v : touched) faultV[v] = goodV[v];
  touched.clear();
  return diff;
}

// Undetected ('X', or 'x' read from a file) counts like 'X' for both faults.
inline bool Wants0(char f) { return f == 'X' || f == 'x' || f == '1'; }
inline bool Wants1(char f) { return f == 'X' || f == 'x' || f == '0'; }

inline void Merge(char& f, char mark) {
  if (f == 'X' || f == 'x')
    f = mark;
  else if ((f == '0' && mark == '1') || (f == '1' && mark == '0'))
    f = '&';
}

uint32_t Core::Seen(uint32_t g, uint32_t active) {
  if (stamp[g] != packetStamp) {
    stamp[g] = packetStamp;
    obs[g] = 0;
    known[g] = 0;
  }
  const uint32_t unknown = active & ~known[g];
  if (Any(unknown)) {
    obs[g] |= Observe(g, unknown);
    known[g] |= unknown;
  }
  return obs[g] & active;
}

void Core::Load(uint32_t first, uint32_t rows) {
  if (loaded && loadedFirst == first && loadedRows == rows) return;
  const uint32_t fixed = InpCount + ConCount;
  // Rows added to the packet loaded: the earlier rows are as they were, and
  // so are their observation masks.
  const bool grown = loaded && loadedFirst == first && loadedRows < rows;
  if (!grown && ++packetStamp == 0) {
    std::fill(stamp.begin(), stamp.end(), 0);
    packetStamp = 1;
  }
  if (!grown) std::fill(goodV.begin(), goodV.begin() + fixed, 0);
  for (uint32_t j = grown ? loadedRows : 0; j < rows; ++j) {
    const unsigned char* row = vects[first + j].data();
    uint32_t bit = 1u << j;
    for (uint32_t i = 0; i < fixed; ++i)
      if (row[i] != 0) goodV[i] |= bit;
  }
  if (grown) {
    if (!Lazy()) lazyFrom = loadedRows;
    if (++lazyGen == 0) {
      std::fill(varStamp.begin(), varStamp.end(), 0);
      lazyGen = 1;
    }
    ++slotGen;
    allSlots = false;
    std::copy(goodV.begin(), goodV.begin() + fixed, faultV.begin());
    loadedRows = rows;
    loadedValid = rows == 32 ? ~0u : (1u << rows) - 1;
    return;
  }
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t* D = goodD.data() + fast.slotBase[g];
    EvalSlots(fast.nodes.data() + Grps[g].g_beg, Grps[g].g_len, goodV.data(), D);
    goodV[GraphVar(g)] = D[0];
  }
  allSlots = true;
  lazyFrom = rows;
  std::copy(goodV.begin(), goodV.end(), faultV.begin());
  loaded = true;
  loadedFirst = first;
  loadedRows = rows;
  loadedValid = rows == 32 ? ~0u : (1u << rows) - 1;
}

void Core::Need(uint32_t v) {
  const uint32_t fixed = InpCount + ConCount;
  if (v < fixed || varStamp[v] == lazyGen) return;
  needStack.assign(1, v - fixed);
  while (!needStack.empty()) {
    const uint32_t g = needStack.back();
    const uint32_t gv = GraphVar(g);
    if (varStamp[gv] == lazyGen) {
      needStack.pop_back();
      continue;
    }
    const FastNode* nd = fast.nodes.data() + Grps[g].g_beg;
    const uint32_t n = Grps[g].g_len;
    bool ready = true;
    for (uint32_t k = 0; k < n; ++k) {
      const uint32_t u = nd[k].var;
      if (u >= fixed && varStamp[u] != lazyGen) {
        needStack.push_back(u - fixed);
        ready = false;
      }
    }
    if (!ready) continue;
    needStack.pop_back();
    uint32_t* D = needD.data();
    D[n] = ~0u;
    D[n + 1] = 0;
    EvalSlots(nd, n, goodV.data(), D);
    goodV[gv] = D[0];
    faultV[gv] = D[0];
    varStamp[gv] = lazyGen;
  }
}

void Core::Complete() {
  if (!Lazy()) return;
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t* D = goodD.data() + fast.slotBase[g];
    EvalSlots(fast.nodes.data() + Grps[g].g_beg, Grps[g].g_len, goodV.data(), D);
    goodV[GraphVar(g)] = D[0];
  }
  std::copy(goodV.begin(), goodV.end(), faultV.begin());
  allSlots = true;
  lazyFrom = loadedRows;
}

uint32_t Core::Detecting(uint32_t first, uint32_t rows, uint32_t node, char mark) {
  Load(first, rows);
  const uint32_t g = graphOf[node];
  if (Lazy()) Need(GraphVar(g));
  const uint32_t b = Grps[g].g_beg, n = Grps[g].g_len, c = node - b;
  const FastNode* nd = fast.nodes.data() + b;
  const uint32_t* D = Slots(g);
  uint32_t* L = reach.data();
  ReachMasks(nd, n, goodV.data(), loadedValid, L);
  const uint32_t v = goodV[nd[c].var];
  const uint32_t active = (D[nd[c].one] ^ D[nd[c].zero]) & L[c] & (mark == '0' ? v : ~v);
  if (!Any(active) || IsOutputGraph(g)) return active;
  // The graph's other faults are asked about next: one spread over the
  // patterns in which any of them changes the graph answers for all.
  uint32_t any = 0;
  for (uint32_t k = 0; k < n; ++k) any |= (D[nd[k].one] ^ D[nd[k].zero]) & L[k];
  return active & Seen(g, any);
}

void Core::Packet(uint32_t first, uint32_t rows, MarkMode mode, std::vector<uint32_t>* counts) {
  Load(first, rows);
  Complete();
  const uint32_t valid = loadedValid;
  const bool dropping = mode != MarkMode::All;
  const uint32_t fixed = InpCount + ConCount;
  const uint32_t vars = VarCount;
  for (uint32_t j = 0; j < rows; ++j) {
    unsigned char* row = vects[first + j].data();
    for (uint32_t v = fixed; v < vars; ++v) row[v] = static_cast<unsigned char>((goodV[v] >> j) & 1);
    // fsimul with dropping and update on leaves the earlier marks of a row.
    if (mode != MarkMode::First) std::fill(ftable[first + j].begin(), ftable[first + j].end(), 'X');
    if (counts) (*counts)[first + j] = 0;
  }

  char* status = faults.data();
  // From the last graph, so that a graph whose change narrows down to a
  // later one may find that one's observation mask ready.
  for (uint32_t g = GrpCount; g-- > 0;) {
    const uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
    bool live = !dropping;
    for (uint32_t c = 0; c < n && !live; ++c) live = Wants0(status[b + c]) || Wants1(status[b + c]);
    if (!live) continue;
    const FastNode* nd = fast.nodes.data() + b;
    const uint32_t* D = Slots(g);
    uint32_t* L = reach.data();
    ReachMasks(nd, n, goodV.data(), valid, L);
    uint32_t active = 0;
    for (uint32_t c = 0; c < n; ++c) {
      char f = status[b + c];
      uint32_t v = goodV[nd[c].var];
      uint32_t wanted = !dropping ? ~0u : (Wants0(f) ? v : 0) | (Wants1(f) ? ~v : 0);
      act[c] = (D[nd[c].one] ^ D[nd[c].zero]) & L[c] & wanted;
      active |= act[c];
    }
    if (!Any(active)) continue;
    uint32_t seen;
    if (IsOutputGraph(g)) {
      seen = active;
    } else {
      // Without dropping nearly every graph is observed: over all patterns,
      // so that every earlier graph narrowing down to this one finds them.
      if (!dropping) active = valid;
      seen = Seen(g, active);
    }
    if (!Any(seen)) continue;
    for (uint32_t c = 0; c < n; ++c) {
      uint32_t d = act[c] & seen;
      if (!Any(d)) continue;
      uint32_t v = goodV[nd[c].var];
      if (mode == MarkMode::First) {
        // The status is that before the packet's first row: a fault goes to
        // the first row that detects it, after which no later row wants it.
        if (d & v) {
          if (table) ftable[first + static_cast<uint32_t>(__builtin_ctz(d & v))][b + c] = '0';
          Merge(status[b + c], '0');
        }
        if (d & ~v) {
          if (table) ftable[first + static_cast<uint32_t>(__builtin_ctz(d & ~v))][b + c] = '1';
          Merge(status[b + c], '1');
        }
        continue;
      }
      for (uint32_t w = d; w != 0; w &= w - 1) {
        uint32_t j = static_cast<uint32_t>(__builtin_ctz(w));
        ftable[first + j][b + c] = ((v >> j) & 1) ? '0' : '1';
        if (counts) ++(*counts)[first + j];
      }
      if (!dropping) {
        // The merge of fsimul's status update, which gives the same status
        // whatever the order of the patterns.
        if (d & v) Merge(status[b + c], '0');
        if (d & ~v) Merge(status[b + c], '1');
      }
    }
  }
}

}  // namespace

struct PackSimulator::Tables {
  bool plain = false;  // a node reads a delayed variable
  Core core;
};

PackSimulator::PackSimulator() : t_(new Tables) {
  for (uint32_t k = 0; k < NodCount; ++k)
    if (Vars[Nods[k].n_var].v_flags & VF_DELAYED) t_->plain = true;
  if (!t_->plain) t_->core.Prepare();
}

PackSimulator::~PackSimulator() = default;

void PackSimulator::Simulate(std::vector<uint32_t>& counts) {
  if (t_->plain) {
    fsimul();
    for (uint32_t r = 0; r < vcount; ++r) {
      uint32_t n = 0;
      for (char m : ftable[r]) n += m == '0' || m == '1';
      counts[r] = n;
    }
    return;
  }
  t_->core.Forget();
  for (uint32_t first = 0; first < vcount; first += 32)
    t_->core.Packet(first, std::min<uint32_t>(32, vcount - first), MarkMode::Count, &counts);
}

void PackSimulator::SimulateAll() {
  if (t_->plain) {
    fsimul();
    return;
  }
  t_->core.Forget();
  for (uint32_t first = 0; first < vcount; first += 32)
    t_->core.Packet(first, std::min<uint32_t>(32, vcount - first), MarkMode::All, nullptr);
}

uint32_t PackSimulator::BatchRows() const { return t_->plain ? 1 : 32; }

void PackSimulator::SimulateNew(uint32_t first, uint32_t rows, bool table) {
  if (t_->plain) {
    for (uint32_t j = first; j < first + rows; ++j) fsimul_one(j);
    return;
  }
  t_->core.table = table;
  for (uint32_t r = first; r < first + rows; r += 32)
    t_->core.Packet(r, std::min<uint32_t>(32, first + rows - r), MarkMode::First, nullptr);
}

uint32_t PackSimulator::Detecting(uint32_t first, uint32_t rows, uint32_t node, char mark) {
  return t_->core.Detecting(first, rows, node, mark);
}
