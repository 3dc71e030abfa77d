#include "psimul.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "fastgraph.h"
#include "messages.h"
#include "mudel.h"
#include "vector.h"

std::vector<std::vector<uint32_t>> pvects;
std::vector<uint32_t> pfltvec;
std::vector<uint32_t> V_mas, D_mas, V_masKopi, D_masKopi, L_mas, S_mas;
std::vector<FLIST> flist;

namespace {

const uint32_t ALL = 0xffffffffu;

uint32_t PacketCount() { return (vcount - 1) / 32 + 1; }

// Evaluates graph g on the value vector pv with the mask pair V/D, bottom-up,
// and stores the graph's value at its variable.
void EvalGraph(uint32_t g, uint32_t* pv, uint32_t* V, uint32_t* D) {
  uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
  for (uint32_t k = b + n; k-- > b;) {
    const NodRec& nd = Nods[k];
    uint32_t v = pv[nd.n_var];
    if (nd.n_flags & 1) v = ~v;
    V[k] = v;
    uint32_t one = nd.n_dst[1] ? D[b + nd.n_dst[1]] : ALL;
    uint32_t zero = nd.n_dst[0] ? D[b + nd.n_dst[0]] : 0;
    D[k] = (v & one) | (~v & zero);
  }
  pv[GraphVar(g)] = D[b];
}

void PrepareFast();

}  // namespace

void alloc_psimul() {
  uint32_t M = 1;
  for (const GrpRec& g : Grps) M = std::max(M, g.g_len);
  V_mas.assign(NodCount, 0);
  D_mas.assign(NodCount, 0);
  V_masKopi.assign(NodCount, 0);
  D_masKopi.assign(NodCount, 0);
  L_mas.assign(M, 0);
  S_mas.assign(M, 0);
  pfltvec.assign(VarCount, 0);
  if (vcount == 0) Error("No test vectors found", -1);
  uint32_t P = PacketCount();
  std::vector<uint32_t> blank(VarCount, 0);
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) blank[i] = (Vars[i].v_flags & VF_CONST0) ? 0 : ALL;
  pvects.assign(P, blank);
  flist.assign(P, FLIST{std::vector<uint32_t>(NodCount), std::vector<uint32_t>(NodCount)});
  PrepareFast();
}

void init_psimul() {
  const uint32_t inputs = InpCount;
  for (std::vector<uint32_t>& pk : pvects) std::fill(pk.begin(), pk.begin() + inputs, 0);
  // Pattern by pattern, each row read in memory order.
  for (uint32_t v = 0; v < vcount; ++v) {
    uint32_t* w = pvects[v / 32].data();
    const unsigned char* row = vects[v].data();
    uint32_t bit = 1u << (v % 32);
    for (uint32_t i = 0; i < inputs; ++i) w[i] |= row[i] != 0 ? bit : 0;
  }
}

namespace {

// Reach and sensitivity masks of graph g, and the detection masks of its
// nodes for the observation mask diff.
void MarkGraph(uint32_t g, const uint32_t* pv, uint32_t diff, FLIST& fl) {
  uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
  std::fill(L_mas.begin(), L_mas.begin() + n, 0);
  L_mas[0] = ALL;
  for (uint32_t i = 0; i < n; ++i) {
    const NodRec& nd = Nods[b + i];
    if (nd.n_dst[1]) L_mas[nd.n_dst[1]] |= V_mas[b + i] & L_mas[i];
    if (nd.n_dst[0]) L_mas[nd.n_dst[0]] |= ~V_mas[b + i] & L_mas[i];
  }
  for (uint32_t i = 0; i < n; ++i) {
    const NodRec& nd = Nods[b + i];
    uint32_t one = nd.n_dst[1] ? D_mas[b + nd.n_dst[1]] : ALL;
    uint32_t zero = nd.n_dst[0] ? D_mas[b + nd.n_dst[0]] : 0;
    S_mas[i] = (one ^ zero) & L_mas[i];
    uint32_t val = pv[nd.n_var];
    fl.sa0[b + i] = val & diff & S_mas[i];
    fl.sa1[b + i] = ~val & diff & S_mas[i];
  }
}

// Row by row, so the table is written in the order it lies in memory; the
// two detection masks of a pattern are disjoint ('0' = 'X' - 40, '1' = 'X' - 39).
void WriteTable() {
  const uint32_t nodes = NodCount;  // a local: the char stores could alias the global
  for (uint32_t v = 0; v < vcount; ++v) {
    const uint32_t* s0 = flist[v / 32].sa0.data();
    const uint32_t* s1 = flist[v / 32].sa1.data();
    uint32_t j = v % 32;
    char* row = ftable[v].data();
    for (uint32_t n = 0; n < nodes; ++n)
      row[n] = static_cast<char>('X' - 40 * ((s0[n] >> j) & 1) - 39 * ((s1[n] >> j) & 1));
  }
}

// The fault-free pass over packet p, with its detection masks cleared.
uint32_t* GoodPass(uint32_t p) {
  uint32_t* pv = pvects[p].data();
  for (uint32_t g = 0; g < GrpCount; ++g) EvalGraph(g, pv, V_mas.data(), D_mas.data());
  std::fill(flist[p].sa0.begin(), flist[p].sa0.end(), 0);
  std::fill(flist[p].sa1.begin(), flist[p].sa1.end(), 0);
  return pv;
}

}  // namespace

void psimul_plain() {
  uint32_t P = static_cast<uint32_t>(pvects.size());
  for (uint32_t p = 0; p < P; ++p) {
    uint32_t* pv = GoodPass(p);
    FLIST& fl = flist[p];
    for (uint32_t g = 0; g < GrpCount; ++g) {
      uint32_t gv = GraphVar(g);
      // The previous graph's step changed nothing below this graph's variable.
      uint32_t from = g == 0 ? 0 : gv;
      std::copy(pvects[p].begin() + from, pvects[p].end(), pfltvec.begin() + from);
      uint32_t diff;
      if (IsOutputGraph(g)) {
        diff = ALL;
      } else {
        pfltvec[gv] = ~pfltvec[gv];
        diff = 0;
        for (uint32_t h = g + 1; h < GrpCount; ++h) {
          EvalGraph(h, pfltvec.data(), V_masKopi.data(), D_masKopi.data());
          if (IsOutputGraph(h)) diff |= pv[GraphVar(h)] ^ pfltvec[GraphVar(h)];
        }
        pfltvec[gv] = ~pfltvec[gv];
      }
      if (diff != 0) MarkGraph(g, pv, diff, fl);
    }
  }
  WriteTable();
}

namespace {

// The fast form works on blocks of kLanes packets at once: one word of the
// block per packet, and every operation of the simulator is lane-wise, so a
// block gives exactly the masks of its packets simulated one by one.
FASTGRAPH_INLINE bool Full(const Block& b) {
  uint64_t w[kLanes / 2];
  memcpy(w, &b, sizeof w);
  uint64_t r = ~uint64_t(0);
  for (uint64_t x : w) r &= x;
  return r == ~uint64_t(0);
}

FastGraphs fast;  // the nodes as slots, and the readers of each graph
Blocks goodV, faultV;  // per variable: fault-free values, values with one graph complemented
Blocks goodD;          // per graph slot: fault-free graph value from that node on
Blocks diffs;          // per graph: the patterns in which complementing it changes an output
Blocks work;           // slots of one graph for the evaluation on faultV and for the reach masks
PendingGraphs pending;          // graphs waiting for re-evaluation
std::vector<uint32_t> touched;  // variables changed in faultV
// A node reading a delayed variable of its own or a later graph sees values
// from before that graph was evaluated, so the fault-free values are no fixed
// point and every later graph must be evaluated again: the direct form.
bool needsPlain = false;

void PrepareFast() {
  fast.Build();
  needsPlain = fast.readsLater;
  Block all = ~Block{}, none = Block{};
  goodV.assign(VarCount);
  faultV.assign(VarCount);
  goodD.assign(fast.SlotCount());
  for (uint32_t g = 0; g < GrpCount; ++g) {
    goodD[fast.slotBase[g] + Grps[g].g_len] = all;
    goodD[fast.slotBase[g] + Grps[g].g_len + 1] = none;
  }
  diffs.assign(GrpCount);
  work.assign(fast.maxLen + 2);
  pending.Reset(GrpCount);
  touched.clear();
  touched.reserve(GrpCount);
}

// Observation mask of a non-output graph g: complements its value and
// re-evaluates, in index order, only the graphs that read a changed
// variable.  When a single graph h is left to re-evaluate and no other
// changed variable has a reader after it, everything further depends on h
// alone, and the rest is h's own observation mask, already known since the
// graphs are taken from the last.
FASTGRAPH_INLINE void Observe(uint32_t g, Block& diff) {
  diff = Block{};
  uint32_t gv = GraphVar(g);
  faultV[gv] = ~goodV[gv];
  touched.push_back(gv);
  pending.ScheduleReaders(fast, g);
  uint32_t from = g;
  while (pending.Count() > 0) {
    uint32_t h = pending.Pop(from);
    from = h;
    Block* D = work.data();
    uint32_t n = Grps[h].g_len;
    D[n] = ~Block{};
    D[n + 1] = Block{};
    EvalSlots(fast.nodes.data() + Grps[h].g_beg, n, faultV.data(), D);
    uint32_t hv = GraphVar(h);
    Block change = D[0] ^ goodV[hv];
    if (pending.Count() == 0) {
      diff |= change & diffs[h];
      break;
    }
    if (!Any(change)) continue;
    if (IsOutputGraph(h)) {
      // An output's readers change only in patterns already observed here.
      diff |= change;
      if (Full(diff)) {
        pending.Clear();
        break;
      }
      continue;
    }
    faultV[hv] = D[0];
    touched.push_back(hv);
    pending.ScheduleReaders(fast, h);
  }
  for (uint32_t v : touched) faultV[v] = goodV[v];
  touched.clear();
}

// Reach and sensitivity masks of graph g from its fault-free slots, and the
// detection masks of its nodes, written to the packets' FLIST records.
FASTGRAPH_INLINE void MarkFast(uint32_t g, const Block& diff, uint32_t p0, uint32_t np) {
  uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
  const FastNode* nd = fast.nodes.data() + b;
  const Block* D = goodD.data() + fast.slotBase[g];
  Block* L = work.data();
  ReachMasks(nd, n, goodV.data(), ~Block{}, L);
  for (uint32_t i = 0; i < n; ++i) {
    Block s = (D[nd[i].one] ^ D[nd[i].zero]) & L[i] & diff;
    if (!Any(s)) continue;
    Block val = goodV[nd[i].var];
    Block s0 = val & s, s1 = ~val & s;
    for (uint32_t k = 0; k < np; ++k) {
      flist[p0 + k].sa0[b + i] = s0[k];
      flist[p0 + k].sa1[b + i] = s1[k];
    }
  }
}

FASTGRAPH_INLINE void SimulateBlockBody(uint32_t p0, uint32_t np) {
  uint32_t fixed = InpCount + ConCount;
  for (uint32_t i = 0; i < fixed; ++i) {
    Block b{};
    for (uint32_t k = 0; k < np; ++k) b[k] = pvects[p0 + k][i];
    goodV[i] = b;
  }
  for (uint32_t g = 0; g < GrpCount; ++g) {
    Block* D = goodD.data() + fast.slotBase[g];
    EvalSlots(fast.nodes.data() + Grps[g].g_beg, Grps[g].g_len, goodV.data(), D);
    goodV[GraphVar(g)] = D[0];
  }
  for (uint32_t k = 0; k < np; ++k) {
    uint32_t* pv = pvects[p0 + k].data();
    for (uint32_t i = fixed; i < VarCount; ++i) pv[i] = goodV[i][k];
    std::fill(flist[p0 + k].sa0.begin(), flist[p0 + k].sa0.end(), 0);
    std::fill(flist[p0 + k].sa1.begin(), flist[p0 + k].sa1.end(), 0);
  }
  memcpy(static_cast<void*>(faultV.data()), goodV.data(), VarCount * sizeof(Block));
  for (uint32_t g = GrpCount; g-- > 0;) {
    Block& diff = diffs[g];
    if (IsOutputGraph(g))
      diff = ~Block{};
    else
      Observe(g, diff);
    if (Any(diff)) MarkFast(g, diff, p0, np);
  }
}

void SimulateBlock(uint32_t p0, uint32_t np) { SimulateBlockBody(p0, np); }
#if FASTGRAPH_DISPATCH
__attribute__((target("avx2"))) void SimulateBlockAvx2(uint32_t p0, uint32_t np) { SimulateBlockBody(p0, np); }
__attribute__((target("avx512f"))) void SimulateBlockAvx512(uint32_t p0, uint32_t np) {
  SimulateBlockBody(p0, np);
}
#endif

int isaLimit = 2;  // the widest instruction set the block loop may use

using BlockLoop = void (*)(uint32_t, uint32_t);

BlockLoop ChooseBlockLoop() {
#if FASTGRAPH_DISPATCH
  __builtin_cpu_init();
  if (isaLimit >= 2 && __builtin_cpu_supports("avx512f")) return SimulateBlockAvx512;
  if (isaLimit >= 1 && __builtin_cpu_supports("avx2")) return SimulateBlockAvx2;
#endif
  return SimulateBlock;
}

}  // namespace

int psimul_limit_isa(int level) {
  isaLimit = level;
#if FASTGRAPH_DISPATCH
  __builtin_cpu_init();
  if (level >= 2 && __builtin_cpu_supports("avx512f")) return 2;
  if (level >= 1 && __builtin_cpu_supports("avx2")) return 1;
#endif
  return 0;
}

// Same results as psimul_plain: blocks of packets at once, the complemented
// value of a graph spread only through the graphs that read a changed
// variable, and the graphs taken from the last so that a graph whose change
// narrows down to a single later graph takes that graph's observation mask.
void psimul() {
  if (needsPlain) {
    psimul_plain();
    return;
  }
  BlockLoop simulate = ChooseBlockLoop();
  uint32_t P = static_cast<uint32_t>(pvects.size());
  for (uint32_t p0 = 0; p0 < P; p0 += kLanes) simulate(p0, std::min(kLanes, P - p0));
  WriteTable();
}

void serial_vec() {
  // Locals, as the char stores could alias the globals.
  const uint32_t vars = VarCount, nodes = NodCount;
  for (uint32_t v = 0; v < vcount; ++v) {
    const uint32_t* pk = pvects[v / 32].data();
    uint32_t j = v % 32;
    unsigned char* row = vects[v].data();
    for (uint32_t i = 0; i < vars; ++i) row[i] = static_cast<unsigned char>((pk[i] >> j) & 1);
  }
  // Merging the table pattern by pattern needs, per node, only its first
  // mark and whether each of the two marks occurs at all.  The table holds
  // '0' ('1') exactly where the node's sa0 (sa1) mask has the pattern's bit,
  // so the masks give both 32 patterns at a time.
  std::vector<uint32_t> any0(nodes, 0), any1(nodes, 0);
  std::vector<char> first(nodes, 'X');
  for (uint32_t p = 0; p < flist.size() && 32 * p < vcount; ++p) {
    uint32_t valid = vcount - 32 * p >= 32 ? ALL : (1u << (vcount - 32 * p)) - 1;
    const uint32_t* s0 = flist[p].sa0.data();
    const uint32_t* s1 = flist[p].sa1.data();
    for (uint32_t n = 0; n < nodes; ++n) {
      uint32_t a = s0[n] & valid, b = s1[n] & valid;
      if ((a | b) == 0) continue;
      if (first[n] == 'X') first[n] = (a & (~(a | b) + 1)) ? '0' : '1';  // the lowest pattern decides
      any0[n] |= a;
      any1[n] |= b;
    }
  }
  char* f = faults.data();
  for (uint32_t n = 0; n < nodes; ++n) {
    char cur = f[n];
    if (cur == 'X' || cur == 'x') {
      if (first[n] == '0')
        f[n] = any1[n] ? '&' : '0';
      else if (first[n] == '1')
        f[n] = any0[n] ? '&' : '1';
      else
        f[n] = 'X';
    } else if (cur == '0' && any1[n]) {
      f[n] = '&';
    } else if (cur == '1' && any0[n]) {
      f[n] = '&';
    }
  }
}
