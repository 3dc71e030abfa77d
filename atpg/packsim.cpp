#include "packsim.h"

#include <algorithm>

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

struct FastNode {
  uint32_t var;
  uint32_t inv;        // all ones for an inverted node
  uint32_t one, zero;  // successors as slots: slot len holds all ones, len + 1 all zeros
};

inline bool Any(uint32_t b) { return b != 0; }

// The simulator of one packet of 32 patterns at a time.
class Core {
 public:
  void Prepare();
  // Rows 32p .. 32p+31 (those below vcount) of vects.  With dropping, only
  // the faults that the status lacks, counted per row; without, every fault,
  // merged into the status.
  void Packet(uint32_t p, bool dropping, std::vector<uint32_t>* counts);

 private:
  void Schedule(uint32_t g);
  uint32_t PopPending(uint32_t from);
  void DropPending();
  uint32_t Observe(uint32_t g, uint32_t active);

  std::vector<FastNode> fnodes;
  std::vector<uint32_t> slotBase;          // per graph: its first slot in goodD (g_beg + 2g)
  std::vector<uint32_t> readStart, reads;  // per graph: the later graphs that test its variable
  std::vector<uint32_t> goodV, faultV;     // per variable: fault-free values, values with one graph changed
  std::vector<uint32_t> goodD;             // per graph slot: fault-free value of the graph from that node on
  std::vector<uint32_t> work;              // slots of one graph evaluated on faultV
  std::vector<uint32_t> reach, act;        // per node of one graph: reach and activation masks
  // Per graph: observation mask over the patterns `known`, valid while its
  // stamp is the packet's (the fault-free values it depends on change with
  // every packet).
  std::vector<uint32_t> obs, known, stamp;
  uint32_t packetStamp = 0;
  std::vector<uint64_t> pending, pendingWords;  // graphs waiting for re-evaluation, and their nonzero words
  uint32_t pendingCount = 0;
  std::vector<uint32_t> touched;  // variables changed in faultV
};

void Core::Prepare() {
  fnodes.resize(NodCount);
  slotBase.resize(GrpCount);
  uint32_t M = 1;
  std::vector<std::vector<uint32_t>> readers(GrpCount);
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
    M = std::max(M, n);
    slotBase[g] = b + 2 * g;
    for (uint32_t k = b; k < b + n; ++k) {
      const NodRec& nd = Nods[k];
      fnodes[k] = FastNode{nd.n_var, (nd.n_flags & 1) ? ~0u : 0u, nd.n_dst[1] ? nd.n_dst[1] : n,
                           nd.n_dst[0] ? nd.n_dst[0] : n + 1};
      if (nd.n_var < GraphVar(0)) continue;
      std::vector<uint32_t>& r = readers[nd.n_var - GraphVar(0)];
      if (r.empty() || r.back() != g) r.push_back(g);
    }
  }
  readStart.assign(GrpCount + 1, 0);
  reads.clear();
  for (uint32_t g = 0; g < GrpCount; ++g) {
    reads.insert(reads.end(), readers[g].begin(), readers[g].end());
    readStart[g + 1] = static_cast<uint32_t>(reads.size());
  }
  goodV.assign(VarCount, 0);
  faultV.assign(VarCount, 0);
  goodD.assign(size_t(NodCount) + 2 * size_t(GrpCount), 0);
  for (uint32_t g = 0; g < GrpCount; ++g) goodD[slotBase[g] + Grps[g].g_len] = ~0u;
  work.assign(M + 2, 0);
  reach.assign(M + 2, 0);
  act.assign(M, 0);
  obs.assign(GrpCount, 0);
  known.assign(GrpCount, 0);
  stamp.assign(GrpCount, 0);
  pending.assign((GrpCount + 63) / 64, 0);
  pendingWords.assign((pending.size() + 63) / 64, 0);
  pendingCount = 0;
  touched.clear();
  touched.reserve(GrpCount);
}

// Evaluates graph g bottom-up on the variable values val into its slots D
// (D[len] all ones, D[len + 1] all zeros); D[0] is the graph's value.
inline void EvalSlots(const FastNode* nd, uint32_t n, const uint32_t* val, uint32_t* D) {
  for (uint32_t k = n; k-- > 0;) {
    uint32_t v = val[nd[k].var] ^ nd[k].inv;
    uint32_t zero = D[nd[k].zero];
    D[k] = zero ^ (v & (D[nd[k].one] ^ zero));
  }
}

inline void Core::Schedule(uint32_t g) {
  for (uint32_t i = readStart[g]; i < readStart[g + 1]; ++i) {
    uint32_t r = reads[i];
    uint64_t bit = uint64_t(1) << (r % 64);
    uint64_t& w = pending[r / 64];
    if (w & bit) continue;
    w |= bit;
    pendingWords[r / 4096] |= uint64_t(1) << (r / 64 % 64);
    ++pendingCount;
  }
}

// The lowest pending graph; nothing is pending below the group of `from`.
inline uint32_t Core::PopPending(uint32_t from) {
  for (uint32_t s = from / 4096;; ++s) {
    if (pendingWords[s] == 0) continue;
    uint32_t wi = s * 64 + static_cast<uint32_t>(__builtin_ctzll(pendingWords[s]));
    uint64_t& w = pending[wi];
    uint32_t r = wi * 64 + static_cast<uint32_t>(__builtin_ctzll(w));
    w &= w - 1;
    if (w == 0) pendingWords[s] &= ~(uint64_t(1) << (wi % 64));
    --pendingCount;
    return r;
  }
}

void Core::DropPending() {
  std::fill(pending.begin(), pending.end(), 0);
  std::fill(pendingWords.begin(), pendingWords.end(), 0);
  pendingCount = 0;
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
  Schedule(g);
  uint32_t from = g;
  while (pendingCount > 0) {
    uint32_t h = PopPending(from);
    from = h;
    uint32_t n = Grps[h].g_len;
    uint32_t* D = work.data();
    D[n] = ~0u;
    D[n + 1] = 0;
    EvalSlots(fnodes.data() + Grps[h].g_beg, n, faultV.data(), D);
    uint32_t hv = GraphVar(h);
    uint32_t change = D[0] ^ goodV[hv];
    if (!Any(change)) continue;
    if (IsOutputGraph(h)) {
      // An output's readers change only in patterns already observed here.
      diff |= change;
      if (diff == active) {
        DropPending();
        break;
      }
      continue;
    }
    if (pendingCount == 0 && stamp[h] == packetStamp && (change & ~known[h]) == 0) {
      diff |= change & obs[h];
      break;
    }
    faultV[hv] = D[0];
    touched.push_back(hv);
    Schedule(h);
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

void Core::Packet(uint32_t p, bool dropping, std::vector<uint32_t>* counts) {
  if (++packetStamp == 0) {
    std::fill(stamp.begin(), stamp.end(), 0);
    packetStamp = 1;
  }
  const uint32_t first = 32 * p;
  const uint32_t rows = std::min<uint32_t>(32, vcount - first);
  const uint32_t valid = rows == 32 ? ~0u : (1u << rows) - 1;
  const uint32_t fixed = InpCount + ConCount;
  std::fill(goodV.begin(), goodV.begin() + fixed, 0);
  for (uint32_t j = 0; j < rows; ++j) {
    const unsigned char* row = vects[first + j].data();
    uint32_t bit = 1u << j;
    for (uint32_t i = 0; i < fixed; ++i)
      if (row[i] != 0) goodV[i] |= bit;
  }
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t* D = goodD.data() + slotBase[g];
    EvalSlots(fnodes.data() + Grps[g].g_beg, Grps[g].g_len, goodV.data(), D);
    goodV[GraphVar(g)] = D[0];
  }
  std::copy(goodV.begin(), goodV.end(), faultV.begin());
  const uint32_t vars = VarCount;
  for (uint32_t j = 0; j < rows; ++j) {
    unsigned char* row = vects[first + j].data();
    for (uint32_t v = fixed; v < vars; ++v) row[v] = static_cast<unsigned char>((goodV[v] >> j) & 1);
    std::fill(ftable[first + j].begin(), ftable[first + j].end(), 'X');
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
    const FastNode* nd = fnodes.data() + b;
    const uint32_t* D = goodD.data() + slotBase[g];
    uint32_t* L = reach.data();
    L[0] = valid;
    std::fill(L + 1, L + n + 2, 0);
    for (uint32_t c = 0; c < n; ++c) {
      uint32_t v = goodV[nd[c].var] ^ nd[c].inv;
      L[nd[c].one] |= v & L[c];  // slots n and n + 1 gather what leaves the graph: unused
      L[nd[c].zero] |= ~v & L[c];
    }
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
      seen = Observe(g, active);
      obs[g] = seen;
      known[g] = active;
      stamp[g] = packetStamp;
    }
    if (!Any(seen)) continue;
    for (uint32_t c = 0; c < n; ++c) {
      uint32_t d = act[c] & seen;
      if (!Any(d)) continue;
      uint32_t v = goodV[nd[c].var];
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
  for (uint32_t p = 0; 32 * p < vcount; ++p) t_->core.Packet(p, true, &counts);
}

void PackSimulator::SimulateAll() {
  if (t_->plain) {
    fsimul();
    return;
  }
  for (uint32_t p = 0; 32 * p < vcount; ++p) t_->core.Packet(p, false, nullptr);
}
