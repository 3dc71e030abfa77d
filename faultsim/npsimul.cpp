#include "npsimul.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "fastgraph.h"
#include "messages.h"
#include "mudel.h"
#include "topology.h"
#include "vector.h"

namespace mega {

std::vector<std::vector<uint32_t>> pvects;
std::vector<std::vector<uint32_t>> pfltvec;
std::vector<uint32_t> V, S, L, D;
std::vector<int> droppedGraphs;
std::vector<uint32_t> droppedFaults0, droppedFaults1;
int droppedGraphsCount = 0;

}  // namespace mega

std::vector<uint64_t> FaultStats0, FaultStats1;
bool formulaShortcut = true;
bool formulaBlocks = true;
bool tableFromMasks = false;

using namespace mega;

namespace {

const uint32_t ALL = 0xffffffffu;

uint32_t Words() { return vcount ? (vcount - 1) / 32 + 1 : 0; }

// Bits of word w that stand for existing patterns.
uint32_t ValidMask(uint32_t w) {
  uint32_t left = vcount - 32 * w;
  return left >= 32 ? ALL : (1u << left) - 1;
}

// Merges one detected mark into a fault status entry: the other polarity
// makes '&', no mark is replaced.
inline void Merge(char& f, char m) {
  if (f == 'X' || f == 'x')
    f = m;
  else if ((f == '0' && m == '1') || (f == '1' && m == '0'))
    f = '&';
}

void pack() {
  uint32_t W = Words();
  const uint32_t inputs = InpCount;
  for (uint32_t w = 0; w < W; ++w) {
    std::vector<uint32_t>& pv = pvects[w];
    std::fill(pv.begin(), pv.begin() + inputs, 0);
    for (uint32_t k = InpCount; k < InpCount + ConCount; ++k) pv[k] = (Vars[k].v_flags & VF_CONST0) ? 0 : ALL;
  }
  // Pattern by pattern, each row read in memory order.
  for (uint32_t v = 0; v < vcount; ++v) {
    uint32_t* pv = pvects[v / 32].data();
    const unsigned char* row = vects[v].data();
    uint32_t bit = 1u << (v % 32);
    for (uint32_t k = 0; k < inputs; ++k) pv[k] |= row[k] != 0 ? bit : 0;
  }
}

// Re-evaluates graph m with each argument's change applied to its node.
uint32_t calculate_ssbdd(const Formula* f, const uint32_t* values) {
  uint32_t m = static_cast<uint32_t>(f->member);
  uint32_t b = Grps[m].g_beg, n = Grps[m].g_len;
  const int32_t* args = f->args.data();
  uint32_t* Dt = D.data();
  for (uint32_t i = n; i-- > 0;) {
    const NodRec& nd = Nods[b + i];
    uint32_t v = V[b + i];
    if (args[i] >= 0) v ^= calculations[static_cast<uint32_t>(args[i])];
    uint32_t one = nd.n_dst[1] ? Dt[nd.n_dst[1]] : ALL;
    uint32_t zero = nd.n_dst[0] ? Dt[nd.n_dst[0]] : 0;
    Dt[i] = (v & one) | (~v & zero);
  }
  return Dt[0] ^ values[GraphVar(m)];
}

uint32_t calculate_formula(const Formula* f, const uint32_t* values, uint32_t w) {
  switch (f->kind) {
    case FormulaKind::Node:
      return calculations[static_cast<uint32_t>(f->source)] & S[static_cast<uint32_t>(f->index)];
    case FormulaKind::Prev: {
      uint32_t saved = (!f->history.empty() && w < f->history.size()) ? f->history[w] : f->saved;
      return calculations[static_cast<uint32_t>(f->source)] & saved;
    }
    case FormulaKind::Graph: {
      bool any = false;
      for (int32_t a : f->args)
        if (a >= 0 && calculations[static_cast<uint32_t>(a)] != 0) {
          any = true;
          break;
        }
      return any ? calculate_ssbdd(f, values) : 0;
    }
    case FormulaKind::Start:
      break;
  }
  return ALL;
}

void dropGraphs(uint32_t g, const uint32_t* values, const uint32_t* dst) {
  if (droppedGraphs[g]) return;
  uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
  bool all = true;
  for (uint32_t k = b; k < b + n; ++k) {
    uint32_t v = values[Nods[k].n_var];
    droppedFaults0[k] |= v & dst[k];
    droppedFaults1[k] |= ~v & dst[k];
    all = all && droppedFaults0[k] != 0 && droppedFaults1[k] != 0;
  }
  if (all) {
    droppedGraphs[g] = 1;
    ++droppedGraphsCount;
  }
}

void npsimul_single(uint32_t* values, uint32_t* dst, unsigned flags, uint32_t first, uint32_t last, uint32_t w) {
  const uint32_t valid = ValidMask(w);
  const bool drop = flags & SIM_DROP;
  // Fault-free pass: values, node values, reach and sensitivity.
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
    for (uint32_t i = n; i-- > 0;) {
      const NodRec& nd = Nods[b + i];
      uint32_t v = values[nd.n_var];
      if (nd.n_flags & 1) v = ~v;
      V[b + i] = v;
      uint32_t one = nd.n_dst[1] ? D[nd.n_dst[1]] : ALL;
      uint32_t zero = nd.n_dst[0] ? D[nd.n_dst[0]] : 0;
      D[i] = (v & one) | (~v & zero);
      L[i] = 0;
    }
    values[GraphVar(g)] = D[0];
    L[0] = ALL;
    for (uint32_t i = 0; i < n; ++i) {
      const NodRec& nd = Nods[b + i];
      uint32_t v = V[b + i];
      if (nd.n_dst[1]) L[nd.n_dst[1]] |= v & L[i];
      if (nd.n_dst[0]) L[nd.n_dst[0]] |= ~v & L[i];
      uint32_t one = nd.n_dst[1] ? D[nd.n_dst[1]] : ALL;
      uint32_t zero = nd.n_dst[0] ? D[nd.n_dst[0]] : 0;
      S[b + i] = L[i] & (one ^ zero) & valid;
    }
  }
  // Output graphs: every change of theirs is observed.
  for (uint32_t g = GrpCount - OutCount; g < GrpCount; ++g) {
    if (drop && droppedGraphs[g]) continue;
    uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
    for (uint32_t k = b; k < b + n; ++k) dst[k] = S[k];
    if (drop) dropGraphs(g, values, dst);
  }
  if (last + 1 <= first) return;
  for (uint32_t r = last + 1; r-- > first;) {
    bool dropped = drop && droppedGraphs[r];
    // A dropped root still saves what lower roots read from it.
    if (dropped && prevs[r] == nullptr) continue;
    const std::vector<Step>& list = steps[r];
    calculations[r] = ALL;
    uint32_t bits = 0;
    size_t i = 1, size = list.size();
    uint32_t reach = size ? list[0].lastUse : 0;
    for (; i < size; ++i) {
      if (formulaShortcut && i > reach) break;
      const Step& st = list[i];
      const Formula* f = st.formula;
      uint32_t c = calculate_formula(f, values, w);
      uint32_t m = static_cast<uint32_t>(f->member);
      calculations[m] = c;
      if (c != 0) {
        if (st.lastUse > reach) reach = st.lastUse;
        if (IsOutputGraph(m)) bits |= c;
      }
    }
    // Members from the stop on did not change.
    int stopMember = i < size ? list[i].formula->member : INT_MAX;
    for (Formula* p = prevs[r]; p != nullptr; p = p->next) {
      uint32_t v = p->member < stopMember ? calculations[static_cast<uint32_t>(p->member)] : 0;
      p->saved = v;
      if (w < p->history.size()) p->history[w] = v;
    }
    if (dropped) continue;
    uint32_t b = Grps[r].g_beg, n = Grps[r].g_len;
    for (uint32_t k = b; k < b + n; ++k) dst[k] = S[k] & bits;
    if (drop) dropGraphs(r, values, dst);
  }
}

// The block form: kLanes words of a packet at once, one lane per word.
// Every operation is lane-wise and a root's list is followed as long as any
// lane has a change left to spread (the formulas of a lane whose changes
// ended give 0 there), so each lane gets exactly the masks of its word.
// The model's nodes as slots (successors as places in a graph's slots).
FastGraphs blockGraphs;
Blocks bValues;  // per variable
Blocks bV, bS;   // per node: value of its variable as tested, sensitivity
Blocks bCalc;    // per graph: change mask for the root in hand
Blocks bSaved;   // per previous result (its slot): the change saved at its dominating graph
Blocks bD, bL;   // slots of one graph
uint32_t bSlots = 0;

void PrepareBlocks() {
  blockGraphs.Build();
  const uint32_t M = blockGraphs.maxLen;
  bValues.assign(VarCount);
  bV.assign(NodCount);
  bS.assign(NodCount);
  bCalc.assign(GrpCount);
  bD.assign(M + 2);
  bL.assign(M + 2);
  bSlots = 0;
}

void FreeBlocks() {
  blockGraphs = FastGraphs();
  for (Blocks* b : {&bValues, &bV, &bS, &bCalc, &bSaved, &bD, &bL}) b->clear();
  bSlots = 0;
}

// Numbers the previous results kept now, for their saved blocks.
void NumberPrevs() {
  uint32_t count = 0;
  for (Formula* head : prevs)
    for (Formula* p = head; p != nullptr; p = p->next) p->slot = count++;
  if (count > bSlots || bSaved.data() == nullptr) {
    bSaved.assign(count);
    bSlots = count;
  }
}

// Results go through a reference: a block-sized return value would change
// the calling convention between the instruction sets.
FASTGRAPH_INLINE void EvalGraphFormula(const Formula* f, Block& out) {
  uint32_t m = static_cast<uint32_t>(f->member);
  uint32_t b = Grps[m].g_beg, n = Grps[m].g_len;
  const int32_t* args = f->args.data();
  const Block* calc = bCalc.data();
  Block any{};
  for (uint32_t i = 0; i < n; ++i)
    if (args[i] >= 0) any |= calc[args[i]];
  if (!Any(any)) {
    out = Block{};
    return;
  }
  const FastNode* nd = blockGraphs.nodes.data() + b;
  const Block* V = bV.data() + b;
  Block* D = bD.data();
  D[n] = ~Block{};
  D[n + 1] = Block{};
  for (uint32_t i = n; i-- > 0;) {
    Block v = V[i];
    if (args[i] >= 0) v ^= calc[args[i]];
    Block zero = D[nd[i].zero];
    D[i] = zero ^ (v & (D[nd[i].one] ^ zero));
  }
  out = D[0] ^ bValues[GraphVar(m)];
}

FASTGRAPH_INLINE void EvalFormula(const Formula* f, uint32_t w0, uint32_t nw, Block& out) {
  switch (f->kind) {
    case FormulaKind::Node:
      out = bCalc[static_cast<uint32_t>(f->source)] & bS[static_cast<uint32_t>(f->index)];
      return;
    case FormulaKind::Prev: {
      Block saved = bSaved[f->slot];
      if (!f->history.empty())
        for (uint32_t l = 0; l < nw; ++l)
          if (w0 + l < f->history.size()) saved[l] = f->history[w0 + l];
      out = bCalc[static_cast<uint32_t>(f->source)] & saved;
      return;
    }
    case FormulaKind::Graph:
      EvalGraphFormula(f, out);
      return;
    case FormulaKind::Start:
      break;
  }
  out = ~Block{};
}

// Detection masks of nodes [b, b + n): the sensitivity within `observed`.
FASTGRAPH_INLINE void StoreDetections(uint32_t b, uint32_t n, const Block& observed, uint32_t w0, uint32_t nw) {
  if (!Any(observed)) return;  // the masks were cleared with the packet
  for (uint32_t k = b; k < b + n; ++k) {
    Block d = bS[k] & observed;
    for (uint32_t l = 0; l < nw; ++l) pfltvec[w0 + l][k] = d[l];
  }
}

// The same with dropping, lane by lane in word order as word by word: graph
// g's detections of each word count until the word in which every fault of
// its nodes has been found; from the next word on it stores none.  Neither
// a graph's masks nor its dropping depend on another graph's dropping.
FASTGRAPH_INLINE void StoreDetectionsDrop(uint32_t g, const Block& observed, uint32_t w0, uint32_t nw) {
  const uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
  uint32_t* found0 = droppedFaults0.data();
  uint32_t* found1 = droppedFaults1.data();
  for (uint32_t l = 0; l < nw; ++l) {
    // Nothing observed changes nothing (a graph not dropped yet has a fault
    // left to find).
    if (observed[l] == 0 && n > 0) continue;
    uint32_t* dst = pfltvec[w0 + l].data();
    const uint32_t* values = pvects[w0 + l].data();
    bool all = true;
    for (uint32_t k = b; k < b + n; ++k) {
      uint32_t d = bS[k][l] & observed[l];
      dst[k] = d;
      uint32_t v = values[Nods[k].n_var];
      found0[k] |= v & d;
      found1[k] |= ~v & d;
      all = all && found0[k] != 0 && found1[k] != 0;
    }
    if (all) {
      droppedGraphs[g] = 1;
      ++droppedGraphsCount;
      return;
    }
  }
}

FASTGRAPH_INLINE void SimulateBlockBody(uint32_t w0, uint32_t nw, uint32_t first, uint32_t last, bool drop) {
  const uint32_t fixed = InpCount + ConCount;
  Block* values = bValues.data();
  for (uint32_t i = 0; i < fixed; ++i) {
    Block b{};
    for (uint32_t l = 0; l < nw; ++l) b[l] = pvects[w0 + l][i];
    values[i] = b;
  }
  Block valid{};
  for (uint32_t l = 0; l < nw; ++l) valid[l] = ValidMask(w0 + l);
  // Fault-free pass: values, node values, reach and sensitivity.
  Block* D = bD.data();
  Block* L = bL.data();
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
    const FastNode* nd = blockGraphs.nodes.data() + b;
    Block* V = bV.data() + b;
    D[n] = ~Block{};
    D[n + 1] = Block{};
    for (uint32_t i = n; i-- > 0;) {
      Block v = values[nd[i].var] ^ nd[i].inv;
      V[i] = v;
      Block zero = D[nd[i].zero];
      D[i] = zero ^ (v & (D[nd[i].one] ^ zero));
    }
    values[GraphVar(g)] = D[0];
    L[0] = ~Block{};
    for (uint32_t i = 1; i < n + 2; ++i) L[i] = Block{};
    Block* S = bS.data() + b;
    for (uint32_t i = 0; i < n; ++i) {
      Block v = V[i];
      L[nd[i].one] |= v & L[i];  // slots n and n + 1 gather what leaves the graph: unused
      L[nd[i].zero] |= ~v & L[i];
      S[i] = L[i] & (D[nd[i].one] ^ D[nd[i].zero]) & valid;
    }
  }
  for (uint32_t l = 0; l < nw; ++l) {
    uint32_t* pv = pvects[w0 + l].data();
    for (uint32_t i = fixed; i < VarCount; ++i) pv[i] = values[i][l];
  }
  // Output graphs: every change of theirs is observed.
  for (uint32_t g = GrpCount - OutCount; g < GrpCount; ++g) {
    if (!drop)
      StoreDetections(Grps[g].g_beg, Grps[g].g_len, ~Block{}, w0, nw);
    else if (!droppedGraphs[g])
      StoreDetectionsDrop(g, ~Block{}, w0, nw);
  }
  if (last + 1 <= first) return;
  Block* calc = bCalc.data();
  for (uint32_t r = last + 1; r-- > first;) {
    const bool dropped = drop && droppedGraphs[r];
    // A dropped root still saves what lower roots read from it.
    if (dropped && prevs[r] == nullptr) continue;
    const std::vector<Step>& list = steps[r];
    calc[r] = ~Block{};
    Block bits{};
    size_t i = 1, size = list.size();
    uint32_t reach = size ? list[0].lastUse : 0;
    for (; i < size; ++i) {
      if (formulaShortcut && i > reach) break;
      const Step& st = list[i];
      const Formula* f = st.formula;
      uint32_t m = static_cast<uint32_t>(f->member);
      Block& c = calc[m];
      EvalFormula(f, w0, nw, c);
      if (Any(c)) {
        if (st.lastUse > reach) reach = st.lastUse;
        if (IsOutputGraph(m)) bits |= c;
      }
    }
    // Members from the stop on did not change.
    int stopMember = i < size ? list[i].formula->member : INT_MAX;
    for (Formula* p = prevs[r]; p != nullptr; p = p->next) {
      Block v = p->member < stopMember ? calc[static_cast<uint32_t>(p->member)] : Block{};
      bSaved[p->slot] = v;
      if (p->history.empty()) continue;
      uint32_t kept = std::min<uint32_t>(nw, p->history.size() > w0 ? static_cast<uint32_t>(p->history.size()) - w0 : 0);
      for (uint32_t l = 0; l < kept; ++l) p->history[w0 + l] = v[l];
    }
    if (dropped) continue;
    if (drop)
      StoreDetectionsDrop(r, bits, w0, nw);
    else
      StoreDetections(Grps[r].g_beg, Grps[r].g_len, bits, w0, nw);
  }
}

void SimulateBlock(uint32_t w0, uint32_t nw, uint32_t first, uint32_t last, bool drop) {
  SimulateBlockBody(w0, nw, first, last, drop);
}
#if FASTGRAPH_DISPATCH
__attribute__((target("avx2"))) void SimulateBlockAvx2(uint32_t w0, uint32_t nw, uint32_t first, uint32_t last,
                                                       bool drop) {
  SimulateBlockBody(w0, nw, first, last, drop);
}
__attribute__((target("avx512f"))) void SimulateBlockAvx512(uint32_t w0, uint32_t nw, uint32_t first, uint32_t last,
                                                           bool drop) {
  SimulateBlockBody(w0, nw, first, last, drop);
}
#endif

using BlockLoop = void (*)(uint32_t, uint32_t, uint32_t, uint32_t, bool);

BlockLoop ChooseBlockLoop() {
#if FASTGRAPH_DISPATCH
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return SimulateBlockAvx512;
  if (__builtin_cpu_supports("avx2")) return SimulateBlockAvx2;
#endif
  return SimulateBlock;
}

FASTGRAPH_INLINE void UnpackBody() {
  // Locals, as the char stores could alias the globals.
  const uint32_t vars = VarCount;
  for (uint32_t v = 0; v < vcount; ++v) {
    const uint32_t* pv = pvects[v / 32].data();
    uint32_t j = v % 32;
    unsigned char* row = vects[v].data();
    for (uint32_t i = 0; i < vars; ++i) row[i] = static_cast<unsigned char>((pv[i] >> j) & 1);
  }
}

void UnpackPlain() { UnpackBody(); }
#if FASTGRAPH_DISPATCH
__attribute__((target("avx2"))) void UnpackAvx2() { UnpackBody(); }
#endif

void unpack() {
#if FASTGRAPH_DISPATCH
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) {
    UnpackAvx2();
    return;
  }
#endif
  UnpackPlain();
}

// Table rows of patterns [v0, v1) of one word from its detection masks at
// variable value 1 (sa0) and 0 (sa1): '0' = 'X' - 40, '1' = 'X' - 39, the
// two masks being disjoint.  The rows go to ftable, or all to `out`.
FASTGRAPH_INLINE void WriteRowsBody(uint32_t v0, uint32_t v1, const uint32_t* sa0, const uint32_t* sa1, uint32_t nodes,
                                    char* out) {
  for (uint32_t v = v0; v < v1; ++v) {
    uint32_t j = v % 32;
    char* row = out != nullptr ? out : ftable[v].data();
    for (uint32_t n = 0; n < nodes; ++n)
      row[n] = static_cast<char>('X' - 40 * ((sa0[n] >> j) & 1) - 39 * ((sa1[n] >> j) & 1));
  }
}

void WriteRows(uint32_t v0, uint32_t v1, const uint32_t* sa0, const uint32_t* sa1, uint32_t nodes, char* out) {
  WriteRowsBody(v0, v1, sa0, sa1, nodes, out);
}
#if FASTGRAPH_DISPATCH
__attribute__((target("avx2"))) void WriteRowsAvx2(uint32_t v0, uint32_t v1, const uint32_t* sa0, const uint32_t* sa1,
                                                   uint32_t nodes, char* out) {
  WriteRowsBody(v0, v1, sa0, sa1, nodes, out);
}
#endif

using RowWriter = void (*)(uint32_t, uint32_t, const uint32_t*, const uint32_t*, uint32_t, char*);

RowWriter ChooseRowWriter() {
#if FASTGRAPH_DISPATCH
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return WriteRowsAvx2;
#endif
  return WriteRows;
}

// The masks of word w at variable value 1 (sa0) and 0 (sa1).
void WordMasks(uint32_t w, uint32_t* sa0, uint32_t* sa1) {
  const uint32_t* pv = pvects[w].data();
  const uint32_t* dst = pfltvec[w].data();
  const uint32_t valid = ValidMask(w), nodes = NodCount;
  for (uint32_t n = 0; n < nodes; ++n) {
    uint32_t d = dst[n] & valid, val = pv[Nods[n].n_var];
    sa0[n] = d & val;
    sa1[n] = d & ~val;
  }
}

// The masks of the word whose rows npsimul_table_row makes (rows are asked
// for in order, so each word's masks are made once).
std::vector<uint32_t> rowSa0, rowSa1;
uint32_t rowWord = 0xffffffffu;

// The table row of a pattern holds at a detected node '0' when the node's
// variable is 1 there, else '1', and 'X' where nothing is detected.  The
// status merge depends only on which of the two marks occur at all, so it
// is taken from the masks, 32 patterns at a time.
void unpack_faults() {
  RowWriter writeRows = ChooseRowWriter();
  const uint32_t W = Words(), nodes = NodCount;
  std::vector<uint32_t> sa0(nodes), sa1(nodes), any0(nodes, 0), any1(nodes, 0);
  for (uint32_t w = 0; w < W; ++w) {
    WordMasks(w, sa0.data(), sa1.data());
    for (uint32_t n = 0; n < nodes; ++n) {
      any0[n] |= sa0[n];
      any1[n] |= sa1[n];
    }
    if (tableFromMasks) continue;
    uint32_t end = std::min(vcount, 32 * w + 32);
    writeRows(32 * w, end, sa0.data(), sa1.data(), nodes, nullptr);
  }
  for (uint32_t n = 0; n < nodes; ++n) {
    if (any0[n]) Merge(faults[n], '0');
    if (any1[n]) Merge(faults[n], '1');
  }
}

void unpack_fault_stats() {
  uint32_t W = Words();
  for (uint32_t w = 0; w < W; ++w) {
    const std::vector<uint32_t>& pv = pvects[w];
    const std::vector<uint32_t>& dst = pfltvec[w];
    uint32_t valid = ValidMask(w);
    for (uint32_t n = 0; n < NodCount; ++n) {
      uint32_t d = dst[n] & valid;
      if (d == 0) continue;
      uint32_t v = pv[Nods[n].n_var];
      FaultStats0[n] += static_cast<uint32_t>(__builtin_popcount(d & v));
      FaultStats1[n] += static_cast<uint32_t>(__builtin_popcount(d & ~v));
    }
  }
  for (uint32_t n = 0; n < NodCount; ++n) {
    char& f = faults[n];
    if (f == '&') continue;
    if (FaultStats0[n]) f = (f == '1') ? '&' : '0';
    // A node just found at both polarities keeps its '&'.
    if (FaultStats1[n] && f != '&') f = (f == '0') ? '&' : '1';
  }
}

void unpack_faults_drop() {
  for (uint32_t n = 0; n < NodCount; ++n) {
    if (droppedFaults0[n]) Merge(faults[n], '0');
    if (droppedFaults1[n]) Merge(faults[n], '1');
  }
}

}  // namespace

void npsimul_table_row(uint32_t v, char* row) {
  static const RowWriter writeRows = ChooseRowWriter();
  const uint32_t w = v / 32;
  if (w != rowWord) {
    rowSa0.resize(NodCount);
    rowSa1.resize(NodCount);
    WordMasks(w, rowSa0.data(), rowSa1.data());
    rowWord = w;
  }
  writeRows(v, v + 1, rowSa0.data(), rowSa1.data(), NodCount, row);
}

void alloc_npsimul(unsigned flags) {
  uint32_t W = Words();
  uint32_t M = 1;
  for (const GrpRec& g : Grps) M = std::max(M, g.g_len);
  std::vector<uint32_t> blank(VarCount, 0);
  pvects.assign(W, blank);
  pfltvec.assign(W, std::vector<uint32_t>(NodCount, 0));
  V.assign(NodCount, 0);
  S.assign(NodCount, 0);
  L.assign(M, 0);
  D.assign(M, 0);
  if (flags & SIM_DROP) {
    droppedGraphs.assign(GrpCount, 0);
    droppedFaults0.assign(NodCount, 0);
    droppedFaults1.assign(NodCount, 0);
  }
  droppedGraphsCount = 0;
  FaultStats0.assign(NodCount, 0);
  FaultStats1.assign(NodCount, 0);
  PrepareBlocks();
  uint32_t lastPacket = vcount ? vcount - 32 * (W - 1) : 0;
  TextOut(Format("vcount = %u, packets_count = %u, unit_size %u, packet_length = %u, last_packet = %u", vcount, W, 4u,
                 32u, lastPacket));
}

void free_npsimul() {
  std::vector<std::vector<uint32_t>>().swap(pvects);
  std::vector<std::vector<uint32_t>>().swap(pfltvec);
  for (std::vector<uint32_t>* a : {&V, &S, &L, &D, &droppedFaults0, &droppedFaults1}) std::vector<uint32_t>().swap(*a);
  std::vector<int>().swap(droppedGraphs);
  std::vector<uint64_t>().swap(FaultStats0);
  std::vector<uint64_t>().swap(FaultStats1);
  FreeBlocks();
  std::vector<uint32_t>().swap(rowSa0);
  std::vector<uint32_t>().swap(rowSa1);
  rowWord = 0xffffffffu;
}

void npsimul_ext(unsigned flags, uint32_t first, uint32_t last) {
  bool slice = flags & SIM_SLICE;
  bool firstSlice = !slice || (flags & SIM_FIRST_SLICE);
  bool lastSlice = !slice || (flags & SIM_LAST_SLICE);
  uint32_t W = Words();
  rowWord = 0xffffffffu;  // the masks change
  // A new packet: its patterns, no detections yet, no drops yet.
  if (firstSlice) {
    pack();
    for (uint32_t w = 0; w < W; ++w) std::fill(pfltvec[w].begin(), pfltvec[w].end(), 0);
    if (flags & SIM_DROP) {
      std::fill(droppedGraphs.begin(), droppedGraphs.end(), 0);
      std::fill(droppedFaults0.begin(), droppedFaults0.end(), 0);
      std::fill(droppedFaults1.begin(), droppedFaults1.end(), 0);
      droppedGraphsCount = 0;
    }
  }
  if (formulaBlocks) {
    NumberPrevs();
    BlockLoop simulate = ChooseBlockLoop();
    const bool drop = flags & SIM_DROP;
    for (uint32_t w0 = 0; w0 < W; w0 += kLanes) simulate(w0, std::min(kLanes, W - w0), first, last, drop);
  } else {
    for (uint32_t w = 0; w < W; ++w) npsimul_single(pvects[w].data(), pfltvec[w].data(), flags, first, last, w);
  }
  if (!lastSlice) return;
  unpack();
  if (flags & SIM_STATS)
    unpack_fault_stats();
  else if (!(flags & SIM_DROP) || (flags & SIM_TABLE))
    unpack_faults();
  else
    unpack_faults_drop();
}

void npsimul(unsigned flags) {
  uint32_t internal = GrpCount - OutCount;
  // Without internal graphs the range is empty: only the output graphs count.
  if (internal == 0)
    npsimul_ext(flags, 1, 0);
  else
    npsimul_ext(flags, 0, internal - 1);
}
