#include "emulation.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>

#include <unistd.h>

#include "marks.h"
#include "messages.h"
#include "mudel.h"
#include "psimul.h"
#include "register.h"
#include "vector.h"

std::vector<std::optional<std::string>> args(ARGS);
int mode = 0;
int stepping = 1;
int end = 0;
int screen = 0;
int glen = 0, alen = 0;
std::vector<std::string> g_state, a_state;
std::string etalon;
std::vector<char> my_faults;
bool aliasing_serial = false;

namespace {

const std::string& Arg(int k) {
  static const std::string none;
  return args[k] ? *args[k] : none;
}

struct Dots {
  bool on;
  uint32_t every;
  explicit Dots(bool show) : on(show), every(vcount / 20 + 1) {
    if (on) TextOut("Generating test patterns [");
  }
  void Tick(uint32_t i) const {
    if (on && i % every == 0) TextOut(".");
  }
  void Done() const {
    if (on) TextOut("] done\n");
  }
};

void FaultSimulation() {
  alloc_psimul();
  init_psimul();
  psimul();
  serial_vec();
}

// Clocks the free-running generator `stepping` times from row i to row i+1,
// through two scratch rows that take turns: the memory stays the same
// however many clocks lie between two patterns.
void ClockGenerator(std::vector<std::string>& gs, std::vector<std::string>& scratch, const std::string& poly, int L,
                    uint32_t i) {
  if (stepping == 1) {
    LFSR(gs.data(), poly, L, static_cast<int>(i), 0, nullptr);
    return;
  }
  scratch[0] = gs[i];
  for (int j = 0; j < stepping; ++j) {
    LFSR(scratch.data(), poly, L, 0, 0, nullptr);
    scratch[0].swap(scratch[1]);
  }
  gs[i + 1] = scratch[0];
}

void bilboGenPatterns(const RunStyle& style) {
  const std::string& poly = Arg(GPOLY);
  int L = static_cast<int>(poly.size());
  if (args[GINIT] && style.dots) TextOut(Format("BIST: gener init %s\n", Arg(GINIT).c_str()));
  std::vector<std::string> scratch = AllocCharTable(1, L, 'X');
  Dots dots(style.dots);
  for (uint32_t i = 0; i < vcount; ++i) {
    ClockGenerator(g_state, scratch, poly, L, i);
    insert_vect(g_state[i], L, 0, vects[i]);
    dots.Tick(i);
  }
  FreeCharTable(scratch);
  dots.Done();
}

}  // namespace

void bilbo_main(const RunStyle& style) {
  gener_init = Arg(GINIT);
  gener_poly = Arg(GPOLY);
  analyser_poly = Arg(APOLY);
  analyser_init = Arg(AINIT);
  StartTimer();
  if (screen) TextOut("\n");
  functionals = 0;
  if (screen) TextOut("\n");
  bilboGenPatterns(style);
  if (args[GENERATE]) return;
  BeginProcessing("Simulating generated vectors");
  FaultSimulation();
  EndProcessing();
  BeginProcessing("Executing BILBO analyzer");
  if (screen) TextOut("\n");
  for (uint32_t i = 0; i < vcount; ++i) LFSR(a_state.data(), analyser_poly, alen, static_cast<int>(i), end, &vects);
  analyser_state = a_state[vcount];
  EndProcessing();
}

void cstp_main(const RunStyle& style) {
  cstp_poly = Arg(GPOLY);
  cstp_init = Arg(GINIT);
  functionals = 0;
  if (screen) TextOut("\n\n");
  // No pattern row may be touched without patterns.
  if (vcount == 0) Error("No test vectors found", -1);
  int L = static_cast<int>(cstp_poly.size());
  insert_vect(g_state[0], L, 0, vects[0]);
  Dots dots(style.dots);
  for (uint32_t i = 0; i < vcount; ++i) {
    spec_simul(static_cast<int>(i), -1, 0);
    LFSR(g_state.data(), cstp_poly, L, static_cast<int>(i), end, &vects);
    if (i + 1 < vcount) insert_vect(g_state[i + 1], L, 0, vects[i + 1]);
    dots.Tick(i);
  }
  dots.Done();
  analyser_state = g_state[vcount];
  if (style.frame_cstp_sim) BeginProcessing("Simulating generated vectors");
  FaultSimulation();
  if (style.frame_cstp_sim) EndProcessing();
}

namespace {

void PrintSummary(const char* title, const char* first, unsigned a, unsigned b) {
  std::string s = Format("%s\n%s : %u\nOptimized length : %u\nSummary : ", title, first, a, b);
  s.append(faults.data(), NodCount);
  s += "\n\n";
  TextOut(s);
}

void ResetFaults() { std::fill(faults.begin(), faults.end(), 'X'); }

}  // namespace

unsigned run_optimizer(int level) {
  ResetFaults();
  unsigned ref = optimize_length(ftable, faults.data(), vcount);
  PrintSummary("===== Optimized test data reference =====", "Original length", vcount, ref);
  ResetFaults();
  unsigned len1 = optimize_length_adv(ftable, faults.data(), NodCount, 0, vcount);
  PrintSummary("===== Optimized test data #1 =====", "Original length", vcount, len1);
  if (level != 2) return len1;
  TextOut("Level #2\n");
  ResetFaults();
  unsigned len2 = optimize_length_adv(ftable, faults.data(), NodCount, len1, 0);
  PrintSummary("===== Optimized test data #2 =====", "Previous length", len1, len2);
  // The kept patterns are len1 - len2 .. len1 - 1: every table starts there.
  size_t shift = len1 - len2;
  if (shift > 0) {
    auto drop = [shift](auto& rows) {
      rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(std::min(shift, rows.size())));
    };
    drop(g_state);
    if (mode == 0) drop(a_state);
    drop(vects);
    drop(ftable);
  }
  return len2;
}

void progress_bar(int current, int final_value) {
  static int julla = 0;
  std::string s = "\x1b[2K\x1b[50D|";
  // A model without nodes has nothing to analyse: the bar is full.
  long long cells = final_value > 0 ? static_cast<long long>(current) * 40 / final_value : 40;
  long long pct = final_value > 0 ? static_cast<long long>(current) * 100 / final_value : 100;
  for (int k = 0; k < 40; ++k) s.push_back(k < cells ? '*' : ' ');
  s += Format("|  %lld%%", pct);
  if (current == 0 || julla >= 4) julla = 0;
  if (current != final_value) {
    s += Format(" %c", "\\|/-"[julla]);
    ++julla;
  }
  fputs(s.c_str(), stdout);
}

void CheckTestSize(uint64_t count, uint64_t registerLength) {
  long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || size <= 0) return;
  // Per pattern: its values, its table row, its register rows, and the
  // bookkeeping of each row.
  uint64_t perPattern = uint64_t{VarCount} + NodCount + registerLength + 160;
  uint64_t physical = static_cast<uint64_t>(pages) * static_cast<uint64_t>(size);
  if ((count + 1) > physical / perPattern) Error("Out of memory", -1);
}

namespace {

void Mark(uint32_t node, int value) {
  char& m = my_faults[node];
  if (m == 'X' || m == 'x')
    m = value ? '1' : '0';
  else if ((m == '0' && value == 1) || (m == '1' && value == 0))
    m = '&';
}

// The reference: each fault re-emulates the whole run on scratch copies.
struct SerialAliasing {
  std::vector<std::string> sg, sa, scratch;
  PatternRows saved;
  SerialAliasing() : sg(g_state), sa(a_state), scratch(AllocCharTable(1, glen, 'X')) { saved = vects; }
  ~SerialAliasing() { vects.swap(saved); }

  // True when the fault's signature differs from the fault-free one.
  bool Differs(uint32_t node, int value) {
    const std::string& gpoly = Arg(GPOLY);
    sg[0] = g_state[0];
    if (mode == 0) sa[0] = a_state[0];
    if (vcount > 0) insert_vect(sg[0], glen, 0, vects[0]);
    for (uint32_t i = 0; i < vcount; ++i) {
      spec_simul(static_cast<int>(i), static_cast<int>(node), value);
      if (mode == 1) {
        LFSR(sg.data(), gpoly, glen, static_cast<int>(i), end, &vects);
      } else {
        ClockGenerator(sg, scratch, gpoly, glen, i);
        LFSR(sa.data(), Arg(APOLY), alen, static_cast<int>(i), end, &vects);
      }
      if (i + 1 < vcount) insert_vect(sg[i + 1], glen, 0, vects[i + 1]);
    }
    return (mode == 0 ? sa[vcount] : sg[vcount]) != etalon;
  }
};

// Word-parallel faulty evaluation of one packet: the graphs that read a
// changed variable are evaluated again, in index order.
struct ConeSim {
  std::vector<std::vector<uint32_t>> readers;
  std::vector<uint32_t> graphOf, D;
  std::vector<unsigned char> queued;
  std::vector<uint32_t> heap, touched;

  ConeSim() : graphOf(NodCount), D(NodCount), queued(GrpCount, 0) {
    readers.assign(VarCount, {});
    for (uint32_t g = 0; g < GrpCount; ++g)
      for (uint32_t k = Grps[g].g_beg; k < Grps[g].g_beg + Grps[g].g_len; ++k) {
        graphOf[k] = g;
        std::vector<uint32_t>& r = readers[Nods[k].n_var];
        if (r.empty() || r.back() != g) r.push_back(g);
      }
  }

  // Only models whose graphs read earlier variables have one value per pattern.
  static bool Applicable() {
    for (uint32_t g = 0; g < GrpCount; ++g)
      for (uint32_t k = Grps[g].g_beg; k < Grps[g].g_beg + Grps[g].g_len; ++k)
        if (Nods[k].n_var >= GraphVar(g)) return false;
    return true;
  }

  uint32_t Eval(uint32_t g, const uint32_t* pv, int64_t node, uint32_t forced) {
    uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
    for (uint32_t k = b + n; k-- > b;) {
      const NodRec& nd = Nods[k];
      uint32_t v = static_cast<int64_t>(k) == node ? forced : pv[nd.n_var];
      if (nd.n_flags & 1) v = ~v;
      uint32_t one = nd.n_dst[1] ? D[b + nd.n_dst[1]] : 0xffffffffu;
      uint32_t zero = nd.n_dst[0] ? D[b + nd.n_dst[0]] : 0;
      D[k] = (v & one) | (~v & zero);
    }
    return D[b];
  }

  void Queue(uint32_t var, uint32_t after) {
    for (uint32_t r : readers[var]) {
      if (r <= after || queued[r]) continue;
      queued[r] = 1;
      heap.push_back(r);
      std::push_heap(heap.begin(), heap.end(), std::greater<uint32_t>());
    }
  }

  // Output differences (output k -> word) of node stuck at `value` on the
  // packet `fv` (fault-free values, restored before returning).
  void Run(std::vector<uint32_t>& fv, const std::vector<uint32_t>& good, uint32_t node, int value,
           std::vector<std::pair<uint32_t, uint32_t>>& diffs) {
    diffs.clear();
    uint32_t g0 = graphOf[node];
    uint32_t v0 = GraphVar(g0);
    uint32_t val = Eval(g0, fv.data(), node, value ? 0xffffffffu : 0);
    if (val == good[v0]) return;
    fv[v0] = val;
    touched.push_back(v0);
    if (IsOutputGraph(g0)) diffs.push_back({g0 - (GrpCount - OutCount), val ^ good[v0]});
    Queue(v0, g0);
    while (!heap.empty()) {
      std::pop_heap(heap.begin(), heap.end(), std::greater<uint32_t>());
      uint32_t h = heap.back();
      heap.pop_back();
      queued[h] = 0;
      uint32_t hv = GraphVar(h);
      uint32_t w = Eval(h, fv.data(), -1, 0);
      if (w == fv[hv]) continue;
      fv[hv] = w;
      touched.push_back(hv);
      if (IsOutputGraph(h)) diffs.push_back({h - (GrpCount - OutCount), w ^ good[hv]});
      Queue(hv, h);
    }
    for (uint32_t v : touched) fv[v] = good[v];
    touched.clear();
  }
};

// A register state as bits (bit i = stage i) and the BILBO analyser's
// clock on it, without its constant part: signatures are affine in the
// injected outputs, so a fault changes the signature exactly when the
// differences it injects do not cancel.
struct BitRegister {
  int L = 0, words = 0;
  std::vector<uint64_t> fb, s, t;
  uint64_t topMask = 0;
  explicit BitRegister(const std::string& poly) : L(static_cast<int>(poly.size())), words((L + 63) / 64) {
    fb.assign(words, 0);
    for (int i = 0; i < L; ++i)
      if (poly[i] == '1') fb[i / 64] |= 1ull << (i % 64);
    s.assign(words, 0);
    t.assign(words, 0);
    topMask = (L % 64) ? (1ull << (L % 64)) - 1 : ~0ull;
  }
  void Clear() { std::fill(s.begin(), s.end(), 0); }
  bool Zero() const {
    for (uint64_t w : s)
      if (w) return false;
    return true;
  }
  void Flip(int i) { s[i / 64] ^= 1ull << (i % 64); }
  void Clock() {
    if (L == 0) return;
    if (gener_c_LFSR_type == 1) {
      bool b = s[0] & 1;
      for (int w = 0; w < words; ++w) s[w] = (s[w] >> 1) | (w + 1 < words ? s[w + 1] << 63 : 0);
      if (b)
        for (int w = 0; w < words; ++w) s[w] ^= fb[w];
    } else {
      uint64_t f = 0;
      for (int w = 0; w < words; ++w) f ^= s[w] & fb[w];
      f = __builtin_parityll(f);
      for (int w = words - 1; w >= 0; --w) s[w] = (s[w] << 1) | (w > 0 ? s[w - 1] >> 63 : 0);
      s[words - 1] &= topMask;
      s[0] = (s[0] & ~1ull) | f;
    }
  }
};

void FastAliasing(const RunStyle& style, bool& drawn);

}  // namespace

void do_aliasing(const RunStyle& style) {
  bool done = false;
  if (!aliasing_serial && ConeSim::Applicable()) FastAliasing(style, done);
  if (!done) {
    SerialAliasing serial;
    for (uint32_t node = 0; node < NodCount; ++node) {
      for (int value = 0; value < 2; ++value) {
        bool differs = serial.Differs(node, value);
        fflush(stdout);
        if (differs) Mark(node, value);
      }
      if (node % 5 == 0) progress_bar(static_cast<int>(node), static_cast<int>(NodCount));
    }
  }
  progress_bar(static_cast<int>(NodCount), static_cast<int>(NodCount));
  fflush(stdout);
  if (style.results) {
    std::string s = "\nAliasing results:\n";
    s.append(my_faults.data(), NodCount);
    s += Format(" (%f%%)\n", coverage_f(my_faults.data(), NodCount));
    TextOut(s);
  } else {
    TextOut("\n");
  }
}

namespace {

// CSTP, 64 faults at a time, one per bit of a word.  A fault that no pattern
// detects leaves every response, hence every later pattern, unchanged; the
// others are emulated from the first pattern that detects any fault of
// their group (before its own first detection a fault's run is the
// fault-free one).  Every graph is evaluated for all 64 faulty circuits at
// once, each with its own stuck node.
void CstpLanes() {
  struct One {
    uint32_t first, node;
    int value;
  };
  std::vector<One> list;
  for (uint32_t node = 0; node < NodCount; ++node)
    for (int value = 0; value < 2; ++value) {
      char want = value ? '1' : '0';
      for (uint32_t v = 0; v < vcount; ++v) {
        char m = ftable[v][node];
        if (m == want || m == '&') {
          list.push_back({v, node, value});
          break;
        }
      }
    }
  std::stable_sort(list.begin(), list.end(), [](const One& a, const One& b) { return a.first < b.first; });
  const std::string& poly = Arg(GPOLY);
  int L = glen, P = static_cast<int>(OutCount);
  std::vector<uint64_t> stuck0(NodCount, 0), stuck1(NodCount, 0), val(VarCount, 0), D(NodCount, 0);
  std::vector<uint64_t> reg(L), next(L), out(P);
  std::vector<int> injected(L, -1);  // output index each stage receives
  for (int i = 0; i < L; ++i) {
    int k = end == 0 ? i : i - (L - P);
    if (k >= 0 && k < P) injected[i] = k;
  }
  std::vector<std::pair<uint32_t, int>> marks;
  for (size_t b = 0; b < list.size(); b += 64) {
    size_t lanes = std::min<size_t>(64, list.size() - b);
    for (size_t j = 0; j < lanes; ++j) {
      const One& f = list[b + j];
      (f.value ? stuck1 : stuck0)[f.node] |= 1ull << j;
    }
    uint32_t from = list[b].first;
    for (int i = 0; i < L; ++i) reg[i] = g_state[from][i] == '1' ? ~0ull : 0;
    for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) val[i] = vects[from][i] == 1 ? ~0ull : 0;
    for (uint32_t t = from; t < vcount; ++t) {
      for (uint32_t i = 0; i < InpCount; ++i) val[i] = reg[i];
      for (uint32_t g = 0; g < GrpCount; ++g) {
        uint32_t beg = Grps[g].g_beg, n = Grps[g].g_len;
        for (uint32_t k = beg + n; k-- > beg;) {
          const NodRec& nd = Nods[k];
          uint64_t v = ((val[nd.n_var] & ~stuck0[k]) | stuck1[k]);
          if (nd.n_flags & 1) v = ~v;
          uint64_t one = nd.n_dst[1] ? D[beg + nd.n_dst[1]] : ~0ull;
          uint64_t zero = nd.n_dst[0] ? D[beg + nd.n_dst[0]] : 0;
          D[k] = (v & one) | (~v & zero);
        }
        val[GraphVar(g)] = D[beg];
      }
      for (int k = 0; k < P; ++k) out[k] = val[VarCount - OutCount + k];
      if (gener_c_LFSR_type == 1) {
        uint64_t shifted = reg[0];
        for (int i = L - 1; i >= 0; --i) {
          uint64_t c = i == L - 1 ? 0 : reg[i + 1];
          if (injected[i] >= 0) c ^= out[injected[i]];
          if (poly[i] == '1') c ^= shifted;
          next[i] = c;
        }
      } else {
        uint64_t f = 0;
        for (int i = 0; i < L; ++i)
          if (poly[i] == '1') f ^= reg[i];
        next[0] = f;
        for (int i = 1; i < L; ++i) next[i] = reg[i - 1];
        for (int i = 0; i < L; ++i)
          if (injected[i] >= 0) next[i] ^= out[injected[i]];
      }
      reg.swap(next);
    }
    uint64_t differs = 0;
    for (int i = 0; i < L; ++i) differs |= reg[i] ^ (etalon[i] == '1' ? ~0ull : 0);
    for (size_t j = 0; j < lanes; ++j) {
      const One& f = list[b + j];
      stuck0[f.node] = stuck1[f.node] = 0;
      if (differs >> j & 1) marks.push_back({f.node, f.value});
    }
  }
  std::sort(marks.begin(), marks.end());
  // The marks and the bar in the serial analysis' order.
  size_t m = 0;
  for (uint32_t node = 0; node < NodCount; ++node) {
    for (int value = 0; value < 2; ++value) {
      fflush(stdout);
      if (m < marks.size() && marks[m].first == node && marks[m].second == value) {
        Mark(node, value);
        ++m;
      }
    }
    if (node % 5 == 0) progress_bar(static_cast<int>(node), static_cast<int>(NodCount));
  }
}

void FastAliasing(const RunStyle&, bool& drawn) {
  drawn = true;
  if (mode == 1) {
    CstpLanes();
    return;
  }
  // BILBO: the patterns do not depend on the responses.
  uint32_t P = (vcount + 31) / 32;
  std::vector<std::vector<uint32_t>> good(P, std::vector<uint32_t>(VarCount, 0));
  for (uint32_t v = 0; v < vcount; ++v)
    for (uint32_t i = 0; i < VarCount; ++i)
      if (vects[v][i] == 1) good[v / 32][i] |= 1u << (v % 32);
  ConeSim cone;
  BitRegister reg(Arg(APOLY));
  int L = reg.L, outs = static_cast<int>(OutCount);
  std::vector<uint32_t> fv(VarCount);
  std::vector<std::pair<uint32_t, uint32_t>> diffs;
  // Per packet the difference words of each output of the fault.
  std::vector<std::vector<std::pair<uint32_t, uint32_t>>> perPacket(P);
  for (uint32_t node = 0; node < NodCount; ++node) {
    for (int value = 0; value < 2; ++value) {
      char want = value ? '1' : '0';
      int64_t firstPacket = -1, lastPacket = -1;
      for (uint32_t p = 0; p < P; ++p) {
        perPacket[p].clear();
        uint32_t mask = 0;
        for (uint32_t j = 0; j < 32 && 32 * p + j < vcount; ++j) {
          char m = ftable[32 * p + j][node];
          if (m == want || m == '&') mask |= 1u << j;
        }
        if (mask == 0) continue;
        fv = good[p];
        cone.Run(fv, good[p], node, value, diffs);
        if (diffs.empty()) continue;
        perPacket[p] = diffs;
        if (firstPacket < 0) firstPacket = p;
        lastPacket = p;
      }
      bool differs = false;
      if (firstPacket >= 0) {
        reg.Clear();
        for (uint32_t i = static_cast<uint32_t>(firstPacket) * 32; i < vcount; ++i) {
          reg.Clock();
          uint32_t p = i / 32, bit = 1u << (i % 32);
          for (const auto& d : perPacket[p])
            if (d.second & bit) {
              int k = static_cast<int>(d.first);
              reg.Flip(end == 0 ? k : L - outs + k);
            }
          if (static_cast<int64_t>(p) > lastPacket && reg.Zero()) break;
        }
        differs = !reg.Zero();
      }
      fflush(stdout);
      if (differs) Mark(node, value);
    }
    if (node % 5 == 0) progress_bar(static_cast<int>(node), static_cast<int>(NodCount));
  }
}

}  // namespace
