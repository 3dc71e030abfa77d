#include "psimul.h"

#include <algorithm>
#include <functional>

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

void BuildReaders();

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
  BuildReaders();
}

void init_psimul() {
  for (uint32_t p = 0; p < pvects.size(); ++p) {
    for (uint32_t i = 0; i < InpCount; ++i) {
      uint32_t w = 0;
      for (uint32_t j = 0; j < 32; ++j) {
        uint32_t v = 32 * p + j;
        if (v < vcount && vects[v][i] != 0) w |= 1u << j;
      }
      pvects[p][i] = w;
    }
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

// Readers of each variable: the graphs with a node testing it, ascending.
std::vector<std::vector<uint32_t>> readers;
std::vector<uint32_t> heap;           // graphs waiting for re-evaluation (min-heap)
std::vector<unsigned char> queued;    // per graph: in the heap
std::vector<uint32_t> touched;        // graph variables changed in pfltvec
// A node reading a delayed variable of its own or a later graph sees values
// from before that graph was evaluated, so the fault-free values are no fixed
// point and every later graph must be evaluated again: the direct form.
bool needsPlain = false;

void BuildReaders() {
  readers.assign(VarCount, {});
  needsPlain = false;
  for (uint32_t g = 0; g < GrpCount; ++g)
    for (uint32_t k = Grps[g].g_beg; k < Grps[g].g_beg + Grps[g].g_len; ++k) {
      if (Nods[k].n_var >= GraphVar(g)) needsPlain = true;
      std::vector<uint32_t>& r = readers[Nods[k].n_var];
      if (r.empty() || r.back() != g) r.push_back(g);
    }
  heap.clear();
  heap.reserve(GrpCount);
  queued.assign(GrpCount, 0);
  touched.clear();
  touched.reserve(GrpCount);
}

// Queues the readers of graph `from`'s changed variable that come after it:
// a graph before it read the value it had before the change (a delayed
// variable), exactly as an evaluation of all later graphs in order sees it.
void QueueReaders(uint32_t from) {
  for (uint32_t r : readers[GraphVar(from)]) {
    if (r <= from || queued[r]) continue;
    queued[r] = 1;
    heap.push_back(r);
    std::push_heap(heap.begin(), heap.end(), std::greater<uint32_t>());
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

// Same results as psimul_plain, but the complemented value of a graph is
// spread only through the graphs that read a changed variable.
void psimul() {
  if (needsPlain) {
    psimul_plain();
    return;
  }
  uint32_t P = static_cast<uint32_t>(pvects.size());
  for (uint32_t p = 0; p < P; ++p) {
    uint32_t* pv = GoodPass(p);
    FLIST& fl = flist[p];
    std::copy(pvects[p].begin(), pvects[p].end(), pfltvec.begin());
    for (uint32_t g = 0; g < GrpCount; ++g) {
      uint32_t diff = ALL;
      if (!IsOutputGraph(g)) {
        uint32_t gv = GraphVar(g);
        pfltvec[gv] = ~pfltvec[gv];
        touched.push_back(gv);
        QueueReaders(g);
        diff = 0;
        while (!heap.empty()) {
          std::pop_heap(heap.begin(), heap.end(), std::greater<uint32_t>());
          uint32_t h = heap.back();
          heap.pop_back();
          queued[h] = 0;
          uint32_t hv = GraphVar(h);
          uint32_t before = pfltvec[hv];
          EvalGraph(h, pfltvec.data(), V_masKopi.data(), D_masKopi.data());
          if (pfltvec[hv] == before) continue;
          touched.push_back(hv);
          if (IsOutputGraph(h)) diff |= pv[hv] ^ pfltvec[hv];
          QueueReaders(h);
        }
        for (uint32_t v : touched) pfltvec[v] = pv[v];
        touched.clear();
      }
      if (diff != 0) MarkGraph(g, pv, diff, fl);
    }
  }
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
  // The table is merged pattern by pattern, each row in memory order.
  char* f = faults.data();
  for (uint32_t v = 0; v < vcount; ++v) {
    const char* row = ftable[v].data();
    for (uint32_t n = 0; n < nodes; ++n) {
      char cur = f[n], m = row[n];
      bool undetected = cur == 'X' || cur == 'x';
      bool both = (cur == '0' && m == '1') || (cur == '1' && m == '0');
      f[n] = undetected ? m : both ? '&' : cur;
    }
  }
}
