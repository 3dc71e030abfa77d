#include "seqfaults.h"

#include <algorithm>
#include <vector>

#include "mudel.h"
#include "sqsim.h"
#include "vector.h"

namespace {

constexpr uint64_t kAll = ~uint64_t(0);

// A node's successors are slots of the evaluation arrays: slot 0 holds the
// terminal 0, slot 1 the terminal 1, slot i + 2 the node at position i.
struct LaneNode {
  uint32_t var;
  uint32_t s0, s1;
  uint16_t inv;      // 1 when inverted
  uint16_t delayed;  // 1 when the variable is read from the frame before
};
std::vector<LaneNode> lnodes;
// Per node: the lanes whose fault sits there and the edge they force.
std::vector<uint64_t> forcedMask, forcedEdge;

// The faulty machines of this frame and of the frame before, per variable: a
// lane differs from the good value only where the stamp is that frame's.
struct LaneValue {
  uint64_t stamp, v, x;
};
std::vector<LaneValue> cur, prev;
uint64_t frameStamp = 0;

// Per slot during an evaluation (see the word-parallel simulator), in one
// array of three rails each: of 64 lanes (T = uint64_t) or of a word.
template <typename T>
struct WalkRails {
  T p1, p0, alt;
};
using Walks = WalkRails<uint64_t>;
std::vector<Walks> walks;

// The walk rule at one node, whose literal is e (unknown where x), between
// the slots of its successors t1 and t0.
template <typename T>
inline void WalkStep(const T& e, const T& x, const WalkRails<T>& t1, const WalkRails<T>& t0, WalkRails<T>& out) {
  const T up = e | x;     // edge taken with unknown literals at 1
  const T down = e & ~x;  // edge taken with them at 0
  out.p1 = (up & t1.p1) | (~up & t0.p1);
  out.p0 = (down & t1.p0) | (~down & t0.p0);
  out.alt = (x & (~t0.p0 | t1.alt)) | (~x & ((e & t1.alt) | (~e & t0.alt)));
}

// The graph's value from the slot of its first node: 1 (rv) or 'x' (rx).
template <typename T>
inline void WalkValue(const WalkRails<T>& top, T& rv, T& rx) {
  rv = top.p1 & ~top.alt;
  rx = top.p1 & top.alt;
}

// Graphs due in this frame, in index order; graphs due in the next one.
std::vector<uint64_t> due;
uint32_t pending = 0, cursor = 0;
std::vector<uint32_t> nextList;
std::vector<uint64_t> nextMark;

// A good value byte as rails, every lane alike.
inline uint64_t OneRail(unsigned char b) { return -static_cast<uint64_t>(b == 1); }
inline uint64_t XRail(unsigned char b) { return -static_cast<uint64_t>(b == 'x'); }

void SetDue(uint32_t g) {
  uint64_t bit = uint64_t(1) << (g & 63);
  if (due[g >> 6] & bit) return;
  due[g >> 6] |= bit;
  ++pending;
  cursor = std::min(cursor, g >> 6);
}

uint32_t TakeDue() {
  while (due[cursor] == 0) ++cursor;
  uint64_t& w = due[cursor];
  uint32_t g = (cursor << 6) + static_cast<uint32_t>(__builtin_ctzll(w));
  w &= w - 1;
  --pending;
  return g;
}

// Graph k's faulty value differs from the good one in the lanes `diff`: it
// is kept for this frame and its readers are due, in this frame or, behind
// a flip-flop, in the next.
inline void Spread(uint32_t k, uint32_t col, uint64_t diff, uint64_t rv, uint64_t rx, uint64_t gv, uint64_t gx) {
  cur[col] = {frameStamp, (rv & diff) | (gv & ~diff), (rx & diff) | (gx & ~diff)};
  const bool delayed = Vars[col].v_flags & VF_DELAYED;
  for (uint32_t r : nextgrps[k]) {
    if (!delayed) {
      SetDue(r);
    } else if (nextMark[r] != frameStamp) {
      nextMark[r] = frameStamp;
      nextList.push_back(r);
    }
  }
}

// The good machine of the sequence lanes, each lane its own sequence's,
// from rails kept variable by variable (a fault's cone reads the same
// variables frame after frame).
struct Rail {
  uint64_t v, x;
};
struct RailGood {
  const Rail* frame;  // variable v of this frame at frame[v * frames]
  size_t frames;
  void Read(uint32_t delayed, uint32_t var, uint64_t& v, uint64_t& x) const {
    const Rail& r = frame[var * frames - delayed];
    v = r.v;
    x = r.x;
  }
};

// The forced edges: of the faults of a word, per node (the tables)...
struct MaskForcing {
  void Apply(uint32_t n, uint64_t& e, uint64_t& x) const {
    if (const uint64_t fm = forcedMask[n]) {
      e = (e & ~fm) | (forcedEdge[n] & fm);
      x &= ~fm;
    }
  }
};

// ... or of one fault in every lane.
struct OneForcing {
  uint32_t node;
  uint64_t edge;
  void Apply(uint32_t n, uint64_t& e, uint64_t& x) const {
    if (n == node) {
      e = edge;
      x = 0;
    }
  }
};

template <typename Good, typename Forcing = MaskForcing>
void Evaluate(uint32_t k, const Good& good, uint64_t& rv, uint64_t& rx, const Forcing& forcing = Forcing{}) {
  const uint32_t beg = Grps[k].g_beg;
  const LaneNode* nodes = lnodes.data() + beg;
  Walks* wk = walks.data();
  const LaneValue* vals[2] = {cur.data(), prev.data()};
  const uint64_t stamps[2] = {frameStamp, frameStamp - 1};
  for (uint32_t i = Grps[k].g_len; i-- > 0;) {
    const LaneNode& w = nodes[i];
    uint64_t v, x;
    const LaneValue& lv = vals[w.delayed][w.var];
    if (lv.stamp == stamps[w.delayed]) {
      v = lv.v;
      x = lv.x;
    } else {
      good.Read(w.delayed, w.var, v, x);
    }
    uint64_t e = v ^ -static_cast<uint64_t>(w.inv);
    forcing.Apply(beg + i, e, x);
    WalkStep(e, x, wk[w.s1], wk[w.s0], wk[i + 2]);
  }
  WalkValue(wk[2], rv, rx);
}

// Frames 1 .. vcount-1 of the faulty machines in the lanes of `active`,
// event-driven: dueSites(good, active) makes the fault sites due at the
// start of each frame, and a graph reading a changed value is due in the
// frame it sees the change.  goodAt(j) gives frame j's good machine;
// value(k, good, gv, gx, active, rv, rx) gives graph k's faulty value
// (rv, rx) and returns the lanes of `active` in which it differs from the
// good one (gv, gx); detect(j, lanes, active) is told of the lanes in which
// an output differs with both values binary and returns the lanes that go
// on.
template <typename GoodAt, typename DueSites, typename Value, typename Detect>
void RunFrames(uint64_t active, GoodAt goodAt, DueSites dueSites, Value value, Detect detect) {
  const uint32_t first = InpCount + ConCount;
  const uint32_t internal = GrpCount - OutCount;
  // Stamps left by the last run match no frame of this one.
  frameStamp += 2;
  nextList.clear();
  for (uint32_t j = 1; j < vcount && active != 0; ++j) {
    ++frameStamp;
    cursor = static_cast<uint32_t>(due.size());
    const auto good = goodAt(j);
    dueSites(good, active);
    for (uint32_t g : nextList) SetDue(g);
    nextList.clear();
    while (pending > 0) {
      const uint32_t k = TakeDue();
      const uint32_t col = first + k;
      uint64_t gv, gx, rv, rx;
      good.Read(0, col, gv, gx);
      const uint64_t diff = value(k, good, gv, gx, active, rv, rx);
      if (diff == 0) continue;
      if (k < internal) {
        Spread(k, col, diff, rv, rx, gv, gx);
        continue;
      }
      const uint64_t det = diff & ~rx & ~gx;
      if (det != 0 && (active = detect(j, det, active)) == 0) {
        while (pending > 0) TakeDue();  // no lane left to read them
        break;
      }
    }
    cur.swap(prev);
  }
  nextList.clear();
}

// RunFrames' value for the faulty machines under `forcing`.
template <typename Forcing>
auto FaultyValue(const Forcing& forcing) {
  return [&forcing](uint32_t k, const RailGood& good, uint64_t gv, uint64_t gx, uint64_t active, uint64_t& rv,
                    uint64_t& rx) {
    Evaluate(k, good, rv, rx, forcing);
    return ((rv ^ gv) | (rx ^ gx)) & active;
  };
}

template <typename T>
void Free(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

// The model checks and tables both lane forms share; false when some node
// reads a later undelayed graph or an output (or the model breaks the
// reader's own rules).
bool PrepareLanes() {
  if (vcount < 2) return false;
  const uint32_t first = InpCount + ConCount;
  const uint32_t internal = GrpCount - OutCount;
  uint32_t maxLen = 1;
  for (uint32_t g = 0; g < GrpCount; ++g) {
    const GrpRec& gr = Grps[g];
    maxLen = std::max(maxLen, gr.g_len);
    for (uint32_t i = 0; i < gr.g_len; ++i) {
      const NodRec& nd = Nods[gr.g_beg + i];
      for (uint32_t d : nd.n_dst)
        if (d != 0 && (d <= i || d >= gr.g_len)) return false;
      const uint32_t v = nd.n_var;
      if (v >= VarCount) return false;
      if (v >= first && (v - first >= internal || (!(Vars[v].v_flags & VF_DELAYED) && v - first >= g))) return false;
    }
  }
  lnodes.resize(NodCount);
  for (uint32_t n = 0; n < NodCount; ++n) {
    const NodRec& nd = Nods[n];
    lnodes[n] = {nd.n_var, nd.n_dst[0] ? nd.n_dst[0] + 2 : 0, nd.n_dst[1] ? nd.n_dst[1] + 2 : 1,
                 static_cast<uint16_t>(nd.n_flags & 1),
                 static_cast<uint16_t>((Vars[nd.n_var].v_flags & VF_DELAYED) ? 1 : 0)};
  }
  if (forcedMask.size() != NodCount) {
    forcedMask.assign(NodCount, 0);
    forcedEdge.assign(NodCount, 0);
  }
  if (cur.size() != VarCount) {
    cur.assign(VarCount, LaneValue{0, 0, 0});
    prev.assign(VarCount, LaneValue{0, 0, 0});
    frameStamp = 0;
  }
  if (walks.size() < maxLen + 2) {
    walks.assign(maxLen + 2, Walks{0, 0, 0});
    walks[1] = {kAll, kAll, 0};  // the terminal 1; slot 0, the terminal 0, is all clear
  }
  if (nextMark.size() != GrpCount) {
    due.assign((GrpCount >> 6) + 1, 0);
    nextMark.assign(GrpCount, 0);
    pending = 0;
  }
  nextList.clear();
  return true;
}

// Only the bytes the frame-by-frame method accepts; anything else is left
// to it, so that it names the node as it always has.
bool RowsAreThreeValued() {
  for (uint32_t j = 0; j < vcount; ++j)
    for (unsigned char c : vects[j])
      if (c > 1 && c != 'x') return false;
  return true;
}

// The good machines of the sequence lanes: frame j's rails of variable v at
// v * vcount + j.
std::vector<Rail> laneRails;
uint32_t railFrames = 0;

// Per graph: 1 when the graph and every graph its value reaches, in this
// frame or a later one, are monotone: their three-valued value can only
// become more defined when their inputs do.  A faulty machine then stays
// compatible with the good one (each value equal, or one of the two 'x')
// until the fault's own graph gives a binary value opposite to a binary good
// one; so a fault there is detected only in a lane where, in some frame,
// the good value of its graph is binary and its node is not held on the
// edge the fault forces.
std::vector<uint8_t> monotoneCone;
std::vector<uint8_t> monotoneGraph;  // the graph alone

// Longer graphs are taken as not monotone (the check is quadratic).
constexpr uint32_t kLongestChecked = 256;

// The inputs of a graph, (variable, delayed) each, as rails over every
// combination of their three values, one combination a lane.
struct TableGood {
  const std::vector<uint32_t>* slotOf;  // per 2 * variable + delayed: input or kNone
  const Rail* rails;
  void Read(uint32_t delayed, uint32_t var, uint64_t& v, uint64_t& x) const {
    const Rail& r = rails[(*slotOf)[2 * var + delayed]];
    v = r.v;
    x = r.x;
  }
};

constexpr uint32_t kNone = UINT32_MAX;
// Graphs with more distinct inputs get no table (3^6 combinations).
constexpr uint32_t kMostInputs = 6;

// The three-valued function of a graph, with or without a fault, as a
// table over every combination of its inputs (combination c: digit i of c
// in base 3 is input i's value, 0, 1 or x): rails v and x of combinations
// 64w .. 64w+63 at 2w and 2w + 1.
class FunctionTables {
 public:
  FunctionTables() : slotOf_(2 * size_t(VarCount), kNone) {}
  // False when the graph has more than `most` inputs.
  bool Begin(uint32_t g, uint32_t most = kMostInputs) {
    const GrpRec& gr = Grps[g];
    for (uint32_t n = gr.g_beg; n < gr.g_beg + gr.g_len && inputs_.size() <= most; ++n) {
      const uint32_t key = 2 * lnodes[n].var + lnodes[n].delayed;
      if (slotOf_[key] == kNone) {
        slotOf_[key] = static_cast<uint32_t>(inputs_.size());
        inputs_.push_back(key);
      }
    }
    if (inputs_.size() > most) return false;
    combos_ = 1;
    for (size_t i = 0; i < inputs_.size(); ++i) combos_ *= 3;
    words_ = (combos_ + 63) / 64;
    // Rails of input i in word w at w * inputs + i.
    rails_.assign(size_t(words_) * inputs_.size(), Rail{0, 0});
    for (uint32_t c = 0; c < combos_; ++c) {
      uint32_t rest = c;
      for (size_t i = 0; i < inputs_.size(); ++i, rest /= 3) {
        Rail& r = rails_[(c >> 6) * inputs_.size() + i];
        if (rest % 3 == 1) r.v |= uint64_t(1) << (c & 63);
        if (rest % 3 == 2) r.x |= uint64_t(1) << (c & 63);
      }
    }
    // No faulty value left by a run matches the stamps of these evaluations.
    frameStamp += 2;
    return true;
  }
  // With node `node` forced onto `edge` (kNone: the good function).
  void Table(uint32_t g, std::vector<uint64_t>& t, uint32_t node = kNone, uint32_t edge = 0) {
    if (node != kNone) {
      forcedMask[node] = kAll;
      forcedEdge[node] = edge ? kAll : 0;
    }
    t.assign(2 * size_t(words_), 0);
    for (uint32_t w = 0; w < words_; ++w) {
      const uint64_t lanes = w + 1 < words_ || combos_ % 64 == 0 ? kAll : (uint64_t(1) << (combos_ % 64)) - 1;
      Evaluate(g, TableGood{&slotOf_, &rails_[size_t(w) * inputs_.size()]}, t[2 * w], t[2 * w + 1]);
      t[2 * w] &= lanes;
      t[2 * w + 1] &= lanes;
    }
    if (node != kNone) {
      forcedMask[node] = 0;
      forcedEdge[node] = 0;
    }
  }
  // Whether the function of t only becomes more defined with its inputs:
  // where it is binary, setting an 'x' input to 0 or 1 keeps the value.
  bool Monotone(const std::vector<uint64_t>& t) const {
    auto at = [&t](uint32_t c, uint32_t rail) { return (t[2 * (c >> 6) + rail] >> (c & 63)) & 1; };
    for (uint32_t c = 0; c < combos_; ++c) {
      if (at(c, 1)) continue;
      uint32_t rest = c, weight = 1;
      for (size_t i = 0; i < inputs_.size(); ++i, rest /= 3, weight *= 3) {
        if (rest % 3 != 2) continue;
        for (uint32_t d : {c - 2 * weight, c - weight})
          if (at(d, 1) || at(d, 0) != at(c, 0)) return false;
      }
    }
    return true;
  }
  void End() {
    for (uint32_t key : inputs_) slotOf_[key] = kNone;
    inputs_.clear();
  }

 private:
  std::vector<uint32_t> slotOf_;
  std::vector<uint32_t> inputs_;
  std::vector<Rail> rails_;
  uint32_t combos_ = 0, words_ = 0;
};

// Graphs with more distinct inputs are checked for monotony by their
// structure alone (3^10 combinations).
constexpr uint32_t kMostMonotoneInputs = 10;

// The good function and that of every fault of graph g are monotone, by
// their tables.
bool TablesAreMonotone(uint32_t g, FunctionTables& tables) {
  bool yes = tables.Begin(g, kMostMonotoneInputs);
  std::vector<uint64_t> t;
  for (uint32_t n = Grps[g].g_beg; yes && n < Grps[g].g_beg + Grps[g].g_len + 1; ++n) {
    const bool good = n == Grps[g].g_beg + Grps[g].g_len;
    for (uint32_t edge = 0; yes && edge < (good ? 1u : 2u); ++edge) {
      tables.Table(g, t, good ? kNone : n, edge);
      yes = tables.Monotone(t);
    }
  }
  tables.End();
  return yes;
}

// Whether the walk rule of graph g is monotone.  Take every node's literal
// as an input of its own (refining a variable refines each literal read
// from it, whatever the inversion).  When the graph's Boolean function
// grows with each literal, the walk with unknown literals at 1 gives the
// largest value over all completions, the walk from the first unknown node
// with all unknown literals at 0 the smallest, and the other alternative
// walks completions in between; so the rule gives exactly the value all
// completions agree on, or 'x', which is monotone, and so is the rule with
// any node forced.  Growth is shown node by node: the function of the
// 1-successor is at least that of the 0-successor, decided by a sufficient
// test (`memo` holds its answers per slot pair).
bool WalkIsMonotone(uint32_t g, std::vector<uint8_t>& memo) {
  const GrpRec& gr = Grps[g];
  if (gr.g_len > kLongestChecked) return false;
  const LaneNode* nodes = lnodes.data() + gr.g_beg;
  const uint32_t slots = gr.g_len + 2;
  memo.assign(size_t(slots) * slots, 0);  // 0 unknown, 1 no, 2 yes
  // At least(w, u): the function from slot w is at least that from slot u
  // for every input; slot 0 is the terminal 0, slot 1 the terminal 1.
  auto atLeast = [&](auto& self, uint32_t w, uint32_t u) -> bool {
    if (w == u || w == 1 || u == 0) return true;
    if (w == 0 || u == 1) return false;
    uint8_t& m = memo[size_t(w) * slots + u];
    if (m == 0) {
      const LaneNode& a = nodes[w - 2];
      const LaneNode& b = nodes[u - 2];
      const bool yes = (self(self, a.s1, u) && self(self, a.s0, u)) || (self(self, w, b.s1) && self(self, w, b.s0));
      memo[size_t(w) * slots + u] = yes ? 2 : 1;
    }
    return memo[size_t(w) * slots + u] == 2;
  };
  for (uint32_t i = 0; i < gr.g_len; ++i)
    if (!atLeast(atLeast, nodes[i].s1, nodes[i].s0)) return false;
  return true;
}

// The model the cones were found for: they are found again only when it
// changes (a batch of sequences after another keeps them).
uint64_t conesPrint = 0;

uint64_t ModelPrint() {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
  mix(GrpCount);
  mix(VarCount);
  mix(InpCount + ConCount);
  for (const GrpRec& g : Grps) mix((uint64_t(g.g_beg) << 32) | g.g_len);
  for (const LaneNode& w : lnodes) {
    mix((uint64_t(w.var) << 32) | (w.inv << 1) | w.delayed);
    mix((uint64_t(w.s0) << 32) | w.s1);
  }
  return h;
}

void FindMonotoneCones() {
  const uint64_t print = ModelPrint();
  if (monotoneCone.size() == GrpCount && conesPrint == print) return;
  conesPrint = print;
  monotoneCone.assign(GrpCount, 1);
  monotoneGraph.assign(GrpCount, 1);
  std::vector<uint8_t> memo;
  std::vector<uint32_t> work;
  FunctionTables tables;
  for (uint32_t g = 0; g < GrpCount; ++g)
    if (!WalkIsMonotone(g, memo) && !TablesAreMonotone(g, tables)) {
      monotoneCone[g] = 0;
      monotoneGraph[g] = 0;
      work.push_back(g);
    }
  if (work.empty()) return;
  // Every graph whose value reaches one that is not monotone.
  const uint32_t first = InpCount + ConCount;
  std::vector<std::vector<uint32_t>> sources(GrpCount);
  for (uint32_t g = 0; g < GrpCount; ++g)
    for (uint32_t n = Grps[g].g_beg; n < Grps[g].g_beg + Grps[g].g_len; ++n)
      if (lnodes[n].var >= first) sources[g].push_back(lnodes[n].var - first);
  while (!work.empty()) {
    const uint32_t g = work.back();
    work.pop_back();
    for (uint32_t s : sources[g])
      if (monotoneCone[s]) {
        monotoneCone[s] = 0;
        work.push_back(s);
      }
  }
}

// The fault-parallel form's words: kFaultWordLanes faults at once, one lane
// each, in pairs of 64-bit halves (a pair fills one SSE2 register, the
// common target's own; elsewhere the compiler splits it).
typedef uint64_t HalfPair __attribute__((vector_size(16)));
constexpr uint32_t kPairs = kFaultWordLanes / 128;
static_assert(kFaultWordLanes % 128 == 0, "whole pairs of halves");
struct Lanes {
  HalfPair p[kPairs];
};
inline Lanes Fill(uint64_t w) {
  Lanes r;
  for (uint32_t i = 0; i < kPairs; ++i) r.p[i] = HalfPair{w, w};
  return r;
}
#define LANES_OP(op)                                                 \
  inline Lanes operator op(const Lanes& a, const Lanes& b) {         \
    Lanes r;                                                         \
    for (uint32_t i = 0; i < kPairs; ++i) r.p[i] = a.p[i] op b.p[i]; \
    return r;                                                        \
  }
LANES_OP(&)
LANES_OP(|)
LANES_OP(^)
#undef LANES_OP
inline Lanes operator~(const Lanes& a) {
  Lanes r;
  for (uint32_t i = 0; i < kPairs; ++i) r.p[i] = ~a.p[i];
  return r;
}
inline bool Any(const Lanes& a) {
  HalfPair o = a.p[0];
  for (uint32_t i = 1; i < kPairs; ++i) o |= a.p[i];
  return (o[0] | o[1]) != 0;
}
inline uint64_t Half(const Lanes& a, uint32_t h) { return a.p[h >> 1][h & 1]; }
inline bool Bit(const Lanes& a, uint32_t lane) { return (Half(a, lane >> 6) >> (lane & 63)) & 1; }
inline void SetBit(Lanes& a, uint32_t lane) { a.p[lane >> 7][(lane >> 6) & 1] |= uint64_t(1) << (lane & 63); }
inline void ClearBit(Lanes& a, uint32_t lane) { a.p[lane >> 7][(lane >> 6) & 1] &= ~(uint64_t(1) << (lane & 63)); }

// The faulty machines of a word, per variable, as their difference from
// the good machine's rails (zero where a lane equals the good value), so a
// read needs no test: of this frame and of the frame before, each with the
// variables written in it (cleared before the array is used again).
struct Delta {
  Lanes v, x;
};
std::vector<Delta> dcur, dprev;
std::vector<uint32_t> writtenCur, writtenPrev;
using WordWalks = WalkRails<Lanes>;
std::vector<WordWalks> wwalks;
// Per node: the index in wforced of the lanes whose fault sits there and
// the edges they force (set in those lanes only); entry 0 forces nothing.
std::vector<uint32_t> forcedAt;
struct WordForcing {
  Lanes mask, edge;
};
std::vector<WordForcing> wforced;

// Evaluate for a word: the good machine read from the rows of vects.
void EvaluateLanes(uint32_t k, const unsigned char* prevRow, const unsigned char* curRow, Lanes& rv, Lanes& rx) {
  const uint32_t beg = Grps[k].g_beg;
  const LaneNode* nodes = lnodes.data() + beg;
  const uint32_t* forced = forcedAt.data() + beg;
  WordWalks* wk = wwalks.data();
  const WordForcing* forcings = wforced.data();
  const Delta* deltas[2] = {dcur.data(), dprev.data()};
  const unsigned char* rows[2] = {curRow, prevRow};
  for (uint32_t i = Grps[k].g_len; i-- > 0;) {
    const LaneNode& w = nodes[i];
    const Delta& d = deltas[w.delayed][w.var];
    const unsigned char b = rows[w.delayed][w.var];
    const WordForcing& fc = forcings[forced[i]];
    const Lanes e = ((Fill(OneRail(b) ^ -static_cast<uint64_t>(w.inv)) ^ d.v) & ~fc.mask) | fc.edge;
    const Lanes x = (Fill(XRail(b)) ^ d.x) & ~fc.mask;
    WalkStep(e, x, wk[w.s1], wk[w.s0], wk[i + 2]);
  }
  WalkValue(wk[2], rv, rx);
}

// A word of faults between runs over spans of frames: the simulated faults
// in its lanes, those not yet dropped, and its faulty machines at the end of
// the last frame run, as the differences of the delayed variables (only
// they are read in the next frame; a graph no difference reaches takes the
// good value).
struct FaultWord {
  std::vector<uint32_t> fault;  // per lane, the index among the simulated faults
  Lanes active;
  std::vector<std::pair<uint32_t, Delta>> state;
};

// The good rows a span of frames reads, at most (about what the cache next
// to the processor holds).
constexpr size_t kSpanBytes = 256 * 1024;

// What the words of one fault list share: the simulated faults, and with
// NoDrop, per simulated fault c, the faults with its faulty machine at
// members[start[c] .. start[c+1]-1].  detected[c] is set when fault c is.
struct WordFaults {
  const std::vector<SeqFault>* list;
  const std::vector<uint32_t>* at;  // the simulated faults' places in list
  const SeqFault* const* members;
  const uint32_t* start;
  unsigned char* detected;
  const uint32_t* lastStrong;  // per simulated fault, as FindLastStrongFrames gives it
};

// Frames from .. to of the faults of `word`, on from the state it holds,
// which it then holds at the end of frame `to`.
void RunFaultWord(FaultWord& word, const WordFaults& wf, uint32_t from, uint32_t to) {
  const uint32_t first = InpCount + ConCount;
  const uint32_t internal = GrpCount - OutCount;
  const uint32_t count = static_cast<uint32_t>(word.fault.size());
  Lanes& active = word.active;
  // A fault's site, so that its graph is due only in frames where the fault
  // can change something: where its node is not held on the forced edge.
  struct Site {
    uint32_t graph, var, lane;
    uint32_t delayed;
    unsigned char held;  // the value that holds the node on the forced edge
  };
  std::vector<Site> sites;
  sites.reserve(count);
  wforced.assign(1, {Fill(0), Fill(0)});
  for (uint32_t i = 0; i < count; ++i) {
    const SeqFault& f = (*wf.list)[(*wf.at)[word.fault[i]]];
    if (!Bit(active, i)) continue;
    uint32_t& at = forcedAt[f.node];
    if (at == 0) {
      at = static_cast<uint32_t>(wforced.size());
      wforced.push_back({Fill(0), Fill(0)});
    }
    SetBit(wforced[at].mask, i);
    if (f.forced_edge) SetBit(wforced[at].edge, i);
    const LaneNode& w = lnodes[f.node];
    sites.push_back({f.graph, w.var, i, w.delayed, static_cast<unsigned char>(w.inv ^ f.forced_edge)});
  }
  // Stamps left by the last run match no frame of this one.
  frameStamp += 2;
  nextList.clear();
  for (const auto& [v, d] : word.state) {
    dprev[v] = d;
    writtenPrev.push_back(v);
    for (uint32_t r : nextgrps[v - first])
      if (nextMark[r] != frameStamp) {
        nextMark[r] = frameStamp;
        nextList.push_back(r);
      }
  }
  word.state.clear();
  uint32_t last = from - 1;  // the last frame run
  for (uint32_t j = from; j <= to && Any(active); last = j++) {
    ++frameStamp;
    cursor = static_cast<uint32_t>(due.size());
    const unsigned char* prevRow = vects[j - 1].data();
    const unsigned char* curRow = vects[j].data();
    // At the start of a frame an undelayed variable still holds its good
    // value in every lane; a change to it later in the frame schedules the
    // graph anyway.
    uint32_t lastDue = UINT32_MAX;
    for (const Site& s : sites) {
      if (s.graph == lastDue || !Bit(active, s.lane)) continue;
      bool moves;
      if (s.delayed) {
        const unsigned char b = prevRow[s.var];
        const Delta& d = dprev[s.var];
        moves = Bit(Fill(XRail(b)) ^ d.x, s.lane) || Bit(Fill(OneRail(b)) ^ d.v, s.lane) != s.held;
      } else {
        moves = curRow[s.var] != s.held;
      }
      if (moves) {
        SetDue(s.graph);
        lastDue = s.graph;
      }
    }
    for (uint32_t g : nextList) SetDue(g);
    nextList.clear();
    while (pending > 0) {
      const uint32_t k = TakeDue();
      Lanes rv, rx;
      EvaluateLanes(k, prevRow, curRow, rv, rx);
      const uint32_t col = first + k;
      const Lanes gv = Fill(OneRail(curRow[col])), gx = Fill(XRail(curRow[col]));
      const Lanes diff = ((rv ^ gv) | (rx ^ gx)) & active;
      if (!Any(diff)) continue;
      if (k < internal) {
        dcur[col] = {(rv ^ gv) & diff, (rx ^ gx) & diff};
        writtenCur.push_back(col);
        const bool delayed = Vars[col].v_flags & VF_DELAYED;
        for (uint32_t r : nextgrps[k]) {
          if (!delayed) {
            SetDue(r);
          } else if (nextMark[r] != frameStamp) {
            nextMark[r] = frameStamp;
            nextList.push_back(r);
          }
        }
        continue;
      }
      const Lanes det = diff & ~rx & ~gx;
      if (!Any(det)) continue;
      last_vector = std::max(last_vector, j);
      if (!NoDrop) active = active & ~det;
      for (uint32_t h = 0; h < kFaultWordLanes / 64; ++h)
        for (uint64_t d = Half(det, h); d != 0; d &= d - 1) {
          const uint32_t c = word.fault[64 * h + static_cast<uint32_t>(__builtin_ctzll(d))];
          wf.detected[c] = 1;
          if (!NoDrop) continue;
          for (uint32_t e = wf.start[c]; e < wf.start[c + 1]; ++e) {
            const SeqFault& f = *wf.members[e];
            const char s = static_cast<char>('0' + f.stuck);
            char& m = ftable[j][f.node];
            if ((m == '0' || m == '1') && m != s)
              m = '&';
            else if (m != '&')
              m = s;
          }
        }
    }
    dcur.swap(dprev);
    writtenCur.swap(writtenPrev);
    for (uint32_t v : writtenCur) dcur[v] = {Fill(0), Fill(0)};
    writtenCur.clear();
  }
  nextList.clear();
  // A lane whose machine is no more defined than the good one, its fault's
  // graph giving no other binary value after this frame, is not detected
  // again.
  if (Any(active)) {
    Lanes stronger = Fill(0);  // more defined somewhere
    const unsigned char* row = vects[last].data();
    for (uint32_t v : writtenPrev)
      if (Vars[v].v_flags & VF_DELAYED) {
        const Delta& d = dprev[v];
        stronger = stronger | ((d.v | d.x) & ~(Fill(XRail(row[v])) ^ d.x));
      }
    const Lanes weaker = active & ~stronger;
    for (uint32_t h = 0; h < kFaultWordLanes / 64; ++h)
      for (uint64_t d = Half(weaker, h); d != 0; d &= d - 1) {
        const uint32_t i = 64 * h + static_cast<uint32_t>(__builtin_ctzll(d));
        if (wf.lastStrong[word.fault[i]] <= last) ClearBit(active, i);
      }
  }
  for (uint32_t v : writtenPrev) {
    Delta& d = dprev[v];
    if (Vars[v].v_flags & VF_DELAYED) {
      const Delta kept{d.v & active, d.x & active};
      if (Any(kept.v | kept.x)) word.state.push_back({v, kept});
    }
    d = {Fill(0), Fill(0)};
  }
  writtenPrev.clear();
  for (uint32_t i = 0; i < count; ++i) forcedAt[(*wf.list)[(*wf.at)[word.fault[i]]].node] = 0;
}

// The faults still active in `words`, in their order, packed into as few
// words as they fill, each lane with its faulty machine.
void PackWords(std::vector<FaultWord>& words) {
  std::vector<FaultWord> packed;
  std::vector<uint32_t> entry(VarCount, kNone);  // per variable, its place in the new word's state
  auto close = [&]() {
    if (!packed.empty())
      for (const auto& e : packed.back().state) entry[e.first] = kNone;
  };
  for (const FaultWord& w : words)
    for (uint32_t i = 0; i < w.fault.size(); ++i) {
      if (!Bit(w.active, i)) continue;
      if (packed.empty() || packed.back().fault.size() == kFaultWordLanes) {
        close();
        packed.push_back({{}, Fill(0), {}});
      }
      FaultWord& p = packed.back();
      const uint32_t lane = static_cast<uint32_t>(p.fault.size());
      p.fault.push_back(w.fault[i]);
      SetBit(p.active, lane);
      for (const auto& [v, d] : w.state) {
        const bool one = Bit(d.v, i), unknown = Bit(d.x, i);
        if (!one && !unknown) continue;
        if (entry[v] == kNone) {
          entry[v] = static_cast<uint32_t>(p.state.size());
          p.state.push_back({v, {Fill(0), Fill(0)}});
        }
        Delta& nd = p.state[entry[v]].second;
        if (one) SetBit(nd.v, lane);
        if (unknown) SetBit(nd.x, lane);
      }
    }
  close();
  words.swap(packed);
}

// The last frame in which the good value of some output is binary (0 for
// none): no fault is detected after it.
uint32_t LastObservableFrame() {
  const uint32_t from = InpCount + ConCount + GrpCount - OutCount;
  for (uint32_t j = vcount; j-- > 1;)
    for (uint32_t v = from; v < VarCount; ++v)
      if (vects[j][v] != 'x') return j;
  return 0;
}

// The good machine of frames 64b .. 64b+63 (lane t frame 64b + t), as
// rails per variable: `now` of the frame itself, `before` of the frame
// before it (what a delayed variable reads).
struct BlockGood {
  const Rail* now;
  const Rail* before;
  void Read(uint32_t delayed, uint32_t var, uint64_t& v, uint64_t& x) const {
    const Rail& r = delayed ? before[var] : now[var];
    v = r.v;
    x = r.x;
  }
};

// The good machine of frames base .. end-1 (at most 64) as block rails.
void FillBlock(uint32_t base, uint32_t end, std::vector<Rail>& now, std::vector<Rail>& before) {
  std::fill(now.begin(), now.end(), Rail{0, 0});
  std::fill(before.begin(), before.end(), Rail{0, 0});
  for (uint32_t j = base; j < end; ++j) {
    const uint64_t bit = uint64_t(1) << (j - base);
    const unsigned char* row = vects[j].data();
    const unsigned char* prevRow = vects[j == 0 ? 0 : j - 1].data();
    for (uint32_t v = 0; v < VarCount; ++v) {
      now[v].v |= OneRail(row[v]) & bit;
      now[v].x |= XRail(row[v]) & bit;
      before[v].v |= OneRail(prevRow[v]) & bit;
      before[v].x |= XRail(prevRow[v]) & bit;
    }
  }
}

// Where every graph a fault's value reaches is monotone and the fault's
// graph, computed with the fault on the good machine's inputs, gives no
// binary value other than the good one after frame t, a faulty machine no
// more defined than the good one (each value equal, or 'x') at the end of
// frame t stays so: graph by graph and frame by frame, a monotone graph
// gives on less defined inputs a less defined value.  Such a fault is not
// detected after frame t.  lastStrong[i], for fault i of `list` over frames
// 1 .. frames: the last frame in which its graph gives such a value (0 for
// none: the fault is never detected), or UINT32_MAX where some graph its
// value reaches is not monotone.
void FindLastStrongFrames(const std::vector<SeqFault>& list, uint32_t frames, std::vector<uint32_t>& lastStrong) {
  lastStrong.assign(list.size(), 0);
  if (frames == 0) return;
  FindMonotoneCones();
  std::vector<uint32_t> open;
  for (uint32_t i = 0; i < list.size(); ++i) {
    if (monotoneCone[list[i].graph])
      open.push_back(i);
    else
      lastStrong[i] = UINT32_MAX;
  }
  std::vector<Rail> now(VarCount), before(VarCount);
  const uint32_t first = InpCount + ConCount;
  frameStamp += 2;  // no faulty value matches: every read is a good one
  // From the last block back: most faults give such a value often, and are
  // done with in the last block or two.
  for (uint32_t base = frames / 64 * 64 + 64; base > 0 && !open.empty();) {
    base -= 64;
    const uint32_t end = std::min(frames + 1, base + 64);
    FillBlock(base, end, now, before);
    // Frame 0 is never simulated.
    const uint64_t valid = (end - base == 64 ? kAll : (uint64_t(1) << (end - base)) - 1) & (base == 0 ? ~uint64_t(1) : kAll);
    const BlockGood good{now.data(), before.data()};
    size_t kept = 0;
    for (uint32_t i : open) {
      const SeqFault& f = list[i];
      uint64_t rv, rx;
      Evaluate(f.graph, good, rv, rx, OneForcing{f.node, f.forced_edge ? kAll : 0});
      const Rail& g = now[first + f.graph];
      if (const uint64_t strong = ~rx & (g.x | (rv ^ g.v)) & valid)
        lastStrong[i] = base + 63 - static_cast<uint32_t>(__builtin_clzll(strong));
      else
        open[kept++] = i;
    }
    open.resize(kept);
  }
}

}  // namespace

bool PrepareFaultWords() { return PrepareLanes() && RowsAreThreeValued(); }

void ReleaseFaultWords() {
  Free(lnodes);
  Free(dcur);
  Free(dprev);
  Free(writtenCur);
  Free(writtenPrev);
  Free(wwalks);
  Free(forcedAt);
  Free(forcedMask);
  Free(forcedEdge);
  Free(cur);
  Free(prev);
  Free(walks);
  Free(due);
  Free(nextList);
  Free(nextMark);
  Free(laneRails);
  Free(monotoneCone);
  Free(monotoneGraph);
  railFrames = 0;
  pending = 0;
}

namespace {

// Graphs in the order their faults share words: depth first from the
// outputs (the last one first) through the graphs they read, each graph
// after those it reads; graphs no output reads come last.  Faults whose
// effects run through the same graphs then sit in the same word, so one
// evaluation serves many of them.
std::vector<uint32_t> ConeOrder() {
  const uint32_t first = InpCount + ConCount;
  std::vector<uint32_t> pos(GrpCount, kNone);
  uint32_t next = 0;
  std::vector<uint8_t> seen(GrpCount, 0);
  std::vector<std::pair<uint32_t, uint32_t>> stack;  // graph, next node to follow
  for (uint32_t o = GrpCount; o-- > GrpCount - OutCount;) {
    seen[o] = 1;
    stack.push_back({o, Grps[o].g_beg});
    while (!stack.empty()) {
      const uint32_t g = stack.back().first;
      if (stack.back().second == Grps[g].g_beg + Grps[g].g_len) {
        pos[g] = next++;
        stack.pop_back();
        continue;
      }
      const uint32_t v = lnodes[stack.back().second++].var;
      if (v >= first && !seen[v - first]) {
        seen[v - first] = 1;
        stack.push_back({v - first, Grps[v - first].g_beg});
      }
    }
  }
  for (uint32_t g = 0; g < GrpCount; ++g)
    if (pos[g] == kNone) pos[g] = next++;
  return pos;
}

}  // namespace

void SimulateFaultList(const std::vector<SeqFault>& list, std::vector<unsigned char>& detected) {
  detected.assign(list.size(), 0);
  const uint32_t frames = LastObservableFrame();
  std::vector<uint32_t> lastStrong;
  FindLastStrongFrames(list, frames, lastStrong);
  // One fault of each class with the same faulty machine is simulated.
  std::vector<uint32_t> rep;
  GroupEquivalentFaults(list, rep);
  std::vector<uint32_t> at;  // the faults simulated
  std::vector<uint32_t> slot(list.size(), kNone);
  for (uint32_t i = 0; i < list.size(); ++i)
    if (rep[i] == i && lastStrong[i] != 0) {
      slot[i] = static_cast<uint32_t>(at.size());
      at.push_back(i);
    }
  if (at.empty()) return;
  const std::vector<uint32_t> pos = ConeOrder();
  std::stable_sort(at.begin(), at.end(),
                   [&](uint32_t a, uint32_t b) { return pos[list[a].graph] < pos[list[b].graph]; });
  for (uint32_t c = 0; c < at.size(); ++c) slot[at[c]] = c;
  // Each simulated fault's class, members in list order.
  std::vector<uint32_t> start(at.size() + 1, 0);
  for (uint32_t i = 0; i < list.size(); ++i)
    if (rep[i] != kNone && slot[rep[i]] != kNone) ++start[slot[rep[i]] + 1];
  for (size_t c = 0; c < at.size(); ++c) start[c + 1] += start[c];
  std::vector<const SeqFault*> members(start.back());
  {
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (uint32_t i = 0; i < list.size(); ++i)
      if (rep[i] != kNone && slot[rep[i]] != kNone) members[fill[slot[rep[i]]]++] = &list[i];
  }
  uint32_t maxLen = 1;
  for (uint32_t g = 0; g < GrpCount; ++g) maxLen = std::max(maxLen, Grps[g].g_len);
  if (wwalks.size() < maxLen + 2) {
    wwalks.assign(maxLen + 2, WordWalks{Fill(0), Fill(0), Fill(0)});
    wwalks[1] = {Fill(kAll), Fill(kAll), Fill(0)};  // the terminal 1; slot 0, the terminal 0, is all clear
  }
  if (dcur.size() != VarCount) {
    dcur.assign(VarCount, Delta{Fill(0), Fill(0)});
    dprev.assign(VarCount, Delta{Fill(0), Fill(0)});
  }
  forcedAt.assign(NodCount, 0);
  std::vector<FaultWord> words;
  for (uint32_t a = 0; a < at.size(); a += kFaultWordLanes) {
    FaultWord w{{}, Fill(0), {}};
    for (uint32_t c = a; c < at.size() && c < a + kFaultWordLanes; ++c) {
      SetBit(w.active, c - a);
      w.fault.push_back(c);
    }
    words.push_back(std::move(w));
  }
  std::vector<unsigned char> got(at.size(), 0);
  std::vector<uint32_t> strong(at.size());
  for (uint32_t c = 0; c < at.size(); ++c) strong[c] = lastStrong[at[c]];
  const WordFaults wf{&list, &at, members.data(), start.data(), got.data(), strong.data()};
  // Every word runs a span of frames before the next one does, so the good
  // machine of those frames is still at hand in the cache; between spans
  // the faults left (when some were dropped) fill fewer words.
  const size_t rowBytes = VarCount + (NoDrop ? NodCount : 0);
  const uint32_t span = static_cast<uint32_t>(std::clamp<size_t>(kSpanBytes / std::max<size_t>(rowBytes, 1), 8, 256));
  for (uint32_t from = 1; from <= frames && !words.empty(); from += span) {
    const uint32_t to = std::min(frames, from + span - 1);
    for (FaultWord& w : words)
      if (Any(w.active)) RunFaultWord(w, wf, from, to);
    size_t live = 0;
    for (const FaultWord& w : words)
      for (uint32_t h = 0; h < kFaultWordLanes / 64; ++h) live += __builtin_popcountll(Half(w.active, h));
    if ((live + kFaultWordLanes - 1) / kFaultWordLanes < words.size()) PackWords(words);
  }
  for (uint32_t c = 0; c < at.size(); ++c) detected[at[c]] = got[c];
  for (uint32_t i = 0; i < list.size(); ++i)
    if (rep[i] != kNone && rep[i] != i) detected[i] = detected[rep[i]];
}

bool PrepareSequenceLanes() {
  if (!PrepareLanes()) return false;
  FindMonotoneCones();
  if (railFrames != vcount) {
    laneRails.assign(size_t(vcount) * VarCount, Rail{0, 0});
    railFrames = vcount;
  }
  return true;
}

bool SetSequenceLane(uint32_t lane) {
  const uint32_t first = InpCount + ConCount;
  for (uint32_t j = 0; j < vcount; ++j)
    for (uint32_t i = 0; i < first; ++i)
      if (vects[j][i] > 1 && vects[j][i] != 'x') return false;
  const uint64_t bit = uint64_t(1) << lane;
  // Variable by variable, so the rails are written in their order.
  Rail* r = laneRails.data();
  for (uint32_t v = 0; v < first; ++v)
    for (uint32_t j = 0; j < vcount; ++j, ++r) {
      const unsigned char b = vects[j][v];
      r->v = (r->v & ~bit) | (OneRail(b) & bit);
      r->x = (r->x & ~bit) | (XRail(b) & bit);
    }
  return true;
}

void SimulateGoodOverSequences() {
  const uint32_t first = InpCount + ConCount;
  Rail* rails = laneRails.data();
  const size_t count = vcount;
  // Row 0 is never computed: its graph values stay 'x'.
  for (uint32_t v = first; v < VarCount; ++v) rails[v * count] = {0, kAll};
  frameStamp += 2;  // no faulty value matches: every read is a good one
  for (uint32_t j = 1; j < vcount; ++j) {
    const RailGood good{rails + j, count};
    for (uint32_t k = 0; k < GrpCount; ++k) {
      Rail& r = rails[(first + k) * count + j];
      Evaluate(k, good, r.v, r.x);
    }
  }
}

void LaneGoodMachine(uint32_t lane) {
  const Rail* r = laneRails.data();
  for (uint32_t v = 0; v < VarCount; ++v)
    for (uint32_t j = 0; j < vcount; ++j, ++r)
      vects[j][v] = (r->x >> lane) & 1 ? 'x' : static_cast<unsigned char>((r->v >> lane) & 1);
}

namespace {
// The lanes in which a flip of fault f (a binary faulty value opposite to a
// binary good one) can reach an output, when every graph its value reaches
// is monotone.  Simulated on a machine that holds 'x' where a flip may be
// and the good value elsewhere: a monotone graph can flip only where that
// machine gives 'x' and the good value is binary; the fault's graph, only
// where the fault gives there something else than the good binary value.
// siteFlip[j]: the lanes in which the fault's graph can flip in frame j
// while its inputs do not (its good value binary, its node not held on the
// forced edge).  With `group`, f stands for every fault of its graph, whose
// own siteFlip words are merged: the graph may then flip wherever its good
// value is binary and one of its inputs may flip or is unknown.
uint64_t ReachableFlips(const SeqFault& f, const uint64_t* siteFlip, uint64_t active, bool group = false) {
  const uint32_t internal = GrpCount - OutCount;
  const Rail* rails = laneRails.data();
  const size_t count = vcount;
  const OneForcing forcing{f.node, f.forced_edge ? kAll : 0};
  uint64_t reached = 0;
  uint32_t j = 0;
  auto goodAt = [&](uint32_t frame) {
    j = frame;
    return RailGood{rails + frame, count};
  };
  auto dueSite = [&](const RailGood&, uint64_t act) {
    if (siteFlip[j] & act) SetDue(f.graph);
  };
  auto mayFlip = [&](uint32_t k, const RailGood& good, uint64_t gv, uint64_t gx, uint64_t act, uint64_t& rv,
                     uint64_t& rx) -> uint64_t {
    if ((act & ~gx) == 0) return 0;
    uint64_t pf;
    if (k == f.graph && group) {
      pf = siteFlip[j];
      const uint32_t beg = Grps[k].g_beg;
      for (uint32_t n = beg; n < beg + Grps[k].g_len; ++n) {
        const LaneNode& w = lnodes[n];
        const LaneValue& lv = w.delayed ? prev[w.var] : cur[w.var];
        if (lv.stamp == frameStamp - w.delayed) pf |= lv.x;
      }
    } else if (k == f.graph) {
      Evaluate(k, good, rv, rx, forcing);
      pf = rx | (rv ^ gv);
    } else {
      Evaluate(k, good, rv, rx);
      pf = rx;
    }
    pf &= act & ~gx;
    // 'x' where a graph may flip; at an output the flip itself, taken for a
    // detection.
    rv = k < internal ? gv & ~pf : gv ^ pf;
    rx = k < internal ? gx | pf : gx;
    return pf;
  };
  auto detect = [&](uint32_t, uint64_t det, uint64_t act) {
    reached |= det;
    return act & ~det;
  };
  RunFrames(active, goodAt, dueSite, mayFlip, detect);
  return reached;
}
}  // namespace

bool GraphIsMonotone(uint32_t g) { return monotoneGraph[g]; }

int SimulateFaultOverSequences(const SeqFault& f, uint32_t lanes, uint32_t& frame) {
  uint64_t found = 0;
  uint32_t frames[64];
  const Rail* rails = laneRails.data();
  const size_t count = vcount;
  auto goodAt = [rails, count](uint32_t j) { return RailGood{rails + j, count}; };
  // The first lane that detects f is the sequence that will: later lanes
  // need not go on.
  auto detect = [&](uint32_t j, uint64_t det, uint64_t active) {
    found |= det;
    for (uint64_t d = det; d != 0; d &= d - 1) frames[__builtin_ctzll(d)] = j;
    return active & ((det & -det) - 1);
  };
  // A node forced onto the edge it takes anyway changes nothing: its graph
  // is then due only when a changed value reaches it.  (At the start of a
  // frame an undelayed variable still holds its good value in every lane; a
  // change to it later in the frame schedules the graph anyway.)
  const LaneNode& site = lnodes[f.node];
  const uint64_t forced = f.forced_edge ? kAll : 0;
  auto activated = [&](const RailGood& good, uint64_t active) {
    uint64_t v, x;
    const LaneValue& lv = prev[site.var];
    if (site.delayed && lv.stamp == frameStamp - 1) {
      v = lv.v;
      x = lv.x;
    } else {
      good.Read(site.delayed, site.var, v, x);
    }
    return ((x | (v ^ -static_cast<uint64_t>(site.inv) ^ forced)) & active) != 0;
  };
  const uint64_t active = lanes >= 64 ? kAll : (uint64_t(1) << lanes) - 1;
  auto dueSite = [&](const RailGood& good, uint64_t active) {
    if (activated(good, active)) SetDue(f.graph);
  };
  const OneForcing forcing{f.node, forced};
  RunFrames(active, goodAt, dueSite, FaultyValue(forcing), detect);
  if (found == 0) return -1;
  const int lane = __builtin_ctzll(found);
  frame = frames[lane];
  return lane;
}

namespace {

// Faults of one packed word: fault `index` of the list in the lanes `lanes`.
struct PackedFault {
  uint32_t index;
  uint64_t lanes;
};

// Simulates faults in disjoint lanes at once; lane[i] and frame[i] as
// SimulateFaultOverSequences gives them for each fault of the word.
void SimulatePacked(const std::vector<SeqFault>& list, const std::vector<PackedFault>& word, std::vector<int>& lane,
                    std::vector<uint32_t>& frame) {
  uint64_t active = 0;
  uint8_t owner[64];
  uint64_t found[64];
  uint32_t frames[64];
  for (uint32_t e = 0; e < word.size(); ++e) {
    const SeqFault& f = list[word[e].index];
    forcedMask[f.node] |= word[e].lanes;
    if (f.forced_edge) forcedEdge[f.node] |= word[e].lanes;
    for (uint64_t d = word[e].lanes; d != 0; d &= d - 1) owner[__builtin_ctzll(d)] = static_cast<uint8_t>(e);
    active |= word[e].lanes;
    found[e] = 0;
  }
  const Rail* rails = laneRails.data();
  const size_t count = vcount;
  auto goodAt = [rails, count](uint32_t j) { return RailGood{rails + j, count}; };
  auto detect = [&](uint32_t j, uint64_t det, uint64_t act) {
    for (uint64_t d = det; d != 0; d &= d - 1) frames[__builtin_ctzll(d)] = j;
    while (det != 0) {
      const uint32_t e = owner[__builtin_ctzll(det)];
      const uint64_t mine = det & word[e].lanes;
      det &= ~mine;
      found[e] |= mine;
      act &= ~(word[e].lanes & ~((mine & -mine) - 1));
    }
    return act;
  };
  auto dueSites = [&](const RailGood& good, uint64_t act) {
    for (const PackedFault& pf : word) {
      const SeqFault& f = list[pf.index];
      const LaneNode& site = lnodes[f.node];
      uint64_t v, x;
      const LaneValue& lv = prev[site.var];
      if (site.delayed && lv.stamp == frameStamp - 1) {
        v = lv.v;
        x = lv.x;
      } else {
        good.Read(site.delayed, site.var, v, x);
      }
      if ((x | (v ^ -static_cast<uint64_t>(site.inv) ^ (f.forced_edge ? kAll : 0))) & pf.lanes & act)
        SetDue(f.graph);
    }
  };
  const MaskForcing forcing;
  RunFrames(active, goodAt, dueSites, FaultyValue(forcing), detect);
  for (uint32_t e = 0; e < word.size(); ++e) {
    const SeqFault& f = list[word[e].index];
    forcedMask[f.node] = 0;
    forcedEdge[f.node] = 0;
    if (found[e] != 0) {
      lane[word[e].index] = __builtin_ctzll(found[e]);
      frame[word[e].index] = frames[lane[word[e].index]];
    }
  }
}

}  // namespace

void SimulateFaultsOverSequences(const std::vector<SeqFault>& list, const std::vector<uint32_t>& rep, uint32_t lanes,
                                 std::vector<int>& lane, std::vector<uint32_t>& frame) {
  lane.assign(list.size(), -1);
  frame.assign(list.size(), 0);
  const uint64_t all = lanes >= 64 ? kAll : (uint64_t(1) << lanes) - 1;
  // Words being filled: a fault goes into the first whose lanes are free.
  constexpr size_t kOpenWords = 4;
  std::vector<std::vector<PackedFault>> open;
  std::vector<uint64_t> used;
  auto add = [&](uint32_t i, uint64_t m) {
    for (size_t w = 0; w < open.size(); ++w)
      if ((used[w] & m) == 0) {
        open[w].push_back({i, m});
        used[w] |= m;
        return;
      }
    if (open.size() == kOpenWords) {
      SimulatePacked(list, open[0], lane, frame);
      open.erase(open.begin());
      used.erase(used.begin());
    }
    open.push_back({{i, m}});
    used.push_back(m);
  };
  // Fault f's siteFlip words (see ReachableFlips) merged into `into`; their
  // union is returned.
  const Rail* rails = laneRails.data();
  auto siteFlips = [&](const SeqFault& f, std::vector<uint64_t>& into) {
    const Rail* out = rails + size_t(InpCount + ConCount + f.graph) * vcount;
    const LaneNode& site = lnodes[f.node];
    const Rail* in = rails + size_t(site.var) * vcount - site.delayed;
    const uint64_t held = -static_cast<uint64_t>(site.inv) ^ (f.forced_edge ? kAll : 0);
    uint64_t any = 0;
    for (uint32_t j = 1; j < vcount; ++j) any |= into[j] |= ~out[j].x & (in[j].x | (in[j].v ^ held));
    return any;
  };
  std::vector<uint64_t> groupFlip(vcount), oneFlip(vcount);
  // Flips are sought only where the good machines leave a quarter of the
  // graph values unknown or more: elsewhere nearly every lane may flip, and
  // the search costs more than the lanes it spares.
  uint64_t unknown = 0;
  for (uint32_t v = InpCount + ConCount; v < VarCount; ++v)
    for (uint32_t j = 1; j < vcount; ++j) unknown += __builtin_popcountll(rails[size_t(v) * vcount + j].x & all);
  const bool seek = 4 * unknown >= uint64_t(VarCount - InpCount - ConCount) * (vcount - 1) * lanes;
  for (size_t a = 0; a < list.size();) {
    const uint32_t g = list[a].graph;
    size_t b = a;
    while (b < list.size() && list[b].graph == g) ++b;
    if (!seek || !monotoneCone[g]) {
      for (size_t i = a; i < b; ++i)
        if (rep[i] == i) lane[i] = SimulateFaultOverSequences(list[i], lanes, frame[i]);
      a = b;
      continue;
    }
    // The lanes in which some fault of the graph may be detected, then
    // those of each fault alone: only they are simulated.
    std::fill(groupFlip.begin(), groupFlip.end(), 0);
    uint64_t candidates = 0;
    for (size_t i = a; i < b; ++i)
      if (rep[i] == i) candidates |= siteFlips(list[i], groupFlip);
    if ((candidates &= all) != 0) candidates = ReachableFlips(list[a], groupFlip.data(), candidates, true);
    for (size_t i = a; i < b && candidates != 0; ++i) {
      if (rep[i] != i) continue;
      std::fill(oneFlip.begin(), oneFlip.end(), 0);
      uint64_t mine = siteFlips(list[i], oneFlip) & candidates;
      if (mine != 0) mine = ReachableFlips(list[i], oneFlip.data(), mine);
      if (mine != 0) add(static_cast<uint32_t>(i), mine);
    }
    a = b;
  }
  for (const std::vector<PackedFault>& w : open) SimulatePacked(list, w, lane, frame);
  for (size_t i = 0; i < list.size(); ++i)
    if (rep[i] != i && rep[i] != kNone) {
      lane[i] = lane[rep[i]];
      frame[i] = frame[rep[i]];
    }
}

void GroupEquivalentFaults(const std::vector<SeqFault>& list, std::vector<uint32_t>& rep) {
  rep.resize(list.size());
  for (size_t i = 0; i < list.size(); ++i) rep[i] = static_cast<uint32_t>(i);
  FunctionTables tables;
  std::vector<std::vector<uint64_t>> of;
  for (size_t a = 0; a < list.size();) {
    const uint32_t g = list[a].graph;
    size_t b = a;
    while (b < list.size() && list[b].graph == g) ++b;
    if (tables.Begin(g)) {
      of.resize(b - a + 1);
      tables.Table(g, of[b - a]);  // the good function
      for (size_t i = a; i < b; ++i) {
        const SeqFault& f = list[i];
        tables.Table(g, of[i - a], f.node, f.forced_edge);
        if (of[i - a] == of[b - a]) {
          rep[i] = kNone;
          continue;
        }
        for (size_t e = a; e < i; ++e)
          if (rep[e] == e && of[e - a] == of[i - a]) {
            rep[i] = static_cast<uint32_t>(e);
            break;
          }
      }
    }
    tables.End();
    a = b;
  }
}
