#include "seqfaults.h"

#include <algorithm>
#include <vector>

#include "mudel.h"
#include "sqsim.h"
#include "vector.h"

namespace {

constexpr uint64_t kAll = ~uint64_t(0);

struct LaneNode {
  uint32_t var;
  uint32_t d0, d1;
  uint32_t flags;  // bit 0 inverted, bit 1 delayed
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

// Per graph node during an evaluation (see the word-parallel simulator).
std::vector<uint64_t> p1, p0, alt;

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

void Evaluate(uint32_t k, const unsigned char* prevRow, const unsigned char* curRow, uint64_t& rv, uint64_t& rx) {
  const uint32_t beg = Grps[k].g_beg;
  for (uint32_t i = Grps[k].g_len; i-- > 0;) {
    const uint32_t n = beg + i;
    const LaneNode& w = lnodes[n];
    uint64_t v, x;
    const bool delayed = w.flags & 2;
    const LaneValue& lv = delayed ? prev[w.var] : cur[w.var];
    if (lv.stamp == frameStamp - delayed) {
      v = lv.v;
      x = lv.x;
    } else {
      const unsigned char b = delayed ? prevRow[w.var] : curRow[w.var];
      v = OneRail(b);
      x = XRail(b);
    }
    uint64_t e = v ^ -static_cast<uint64_t>(w.flags & 1);
    if (const uint64_t fm = forcedMask[n]) {
      e = (e & ~fm) | (forcedEdge[n] & fm);
      x &= ~fm;
    }
    const uint64_t up = e | x;
    const uint64_t down = e & ~x;
    const uint64_t t1one = w.d1 ? p1[w.d1] : kAll, t0one = w.d0 ? p1[w.d0] : 0;
    const uint64_t t1zero = w.d1 ? p0[w.d1] : kAll, t0zero = w.d0 ? p0[w.d0] : 0;
    const uint64_t a1 = w.d1 ? alt[w.d1] : 0, a0 = w.d0 ? alt[w.d0] : 0;
    p1[i] = (up & t1one) | (~up & t0one);
    p0[i] = (down & t1zero) | (~down & t0zero);
    alt[i] = (x & (~t0zero | a1)) | (~x & ((e & a1) | (~e & a0)));
  }
  rv = p1[0] & ~alt[0];
  rx = p1[0] & alt[0];
}

template <typename T>
void Free(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

}  // namespace

bool PrepareFaultWords() {
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
  // Only the bytes the frame-by-frame method accepts; anything else is left
  // to it, so that it names the node as it always has.
  for (uint32_t j = 0; j < vcount; ++j)
    for (unsigned char c : vects[j])
      if (c > 1 && c != 'x') return false;

  lnodes.resize(NodCount);
  for (uint32_t n = 0; n < NodCount; ++n) {
    const NodRec& nd = Nods[n];
    lnodes[n] = {nd.n_var, nd.n_dst[0], nd.n_dst[1],
                 (nd.n_flags & 1) | ((Vars[nd.n_var].v_flags & VF_DELAYED) ? 2u : 0u)};
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
  if (p1.size() < maxLen) {
    p1.assign(maxLen, 0);
    p0.assign(maxLen, 0);
    alt.assign(maxLen, 0);
  }
  if (nextMark.size() != GrpCount) {
    due.assign((GrpCount >> 6) + 1, 0);
    nextMark.assign(GrpCount, 0);
    pending = 0;
  }
  nextList.clear();
  return true;
}

void ReleaseFaultWords() {
  Free(lnodes);
  Free(forcedMask);
  Free(forcedEdge);
  Free(cur);
  Free(prev);
  Free(p1);
  Free(p0);
  Free(alt);
  Free(due);
  Free(nextList);
  Free(nextMark);
  pending = 0;
}

uint64_t SimulateFaultWord(const SeqFault* faults, uint32_t count) {
  const uint32_t first = InpCount + ConCount;
  const uint32_t internal = GrpCount - OutCount;
  uint64_t active = count >= 64 ? kAll : (uint64_t(1) << count) - 1;
  uint64_t found = 0;
  std::vector<uint32_t> sites;
  for (uint32_t i = 0; i < count; ++i) {
    const SeqFault& f = faults[i];
    forcedMask[f.node] |= uint64_t(1) << i;
    if (f.forced_edge) forcedEdge[f.node] |= uint64_t(1) << i;
    sites.push_back(f.graph);
  }
  std::sort(sites.begin(), sites.end());
  sites.erase(std::unique(sites.begin(), sites.end()), sites.end());
  // Stamps left by the last word match no frame of this one.
  frameStamp += 2;
  nextList.clear();
  for (uint32_t j = 1; j < vcount && active != 0; ++j) {
    ++frameStamp;
    cursor = static_cast<uint32_t>(due.size());
    for (uint32_t g : sites) SetDue(g);
    for (uint32_t g : nextList) SetDue(g);
    nextList.clear();
    const unsigned char* prevRow = vects[j - 1].data();
    const unsigned char* curRow = vects[j].data();
    while (pending > 0) {
      const uint32_t k = TakeDue();
      uint64_t rv, rx;
      Evaluate(k, prevRow, curRow, rv, rx);
      const uint32_t col = first + k;
      const uint64_t gv = OneRail(curRow[col]), gx = XRail(curRow[col]);
      const uint64_t diff = ((rv ^ gv) | (rx ^ gx)) & active;
      if (diff == 0) continue;
      if (k < internal) {
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
        continue;
      }
      const uint64_t det = diff & ~rx & ~gx;
      if (det == 0) continue;
      found |= det;
      last_vector = std::max(last_vector, j);
      if (!NoDrop) {
        active &= ~det;
        continue;
      }
      for (uint64_t d = det; d != 0; d &= d - 1) {
        const SeqFault& f = faults[__builtin_ctzll(d)];
        const char c = static_cast<char>('0' + f.stuck);
        char& m = ftable[j][f.node];
        if ((m == '0' || m == '1') && m != c)
          m = '&';
        else if (m != '&')
          m = c;
      }
    }
    cur.swap(prev);
  }
  nextList.clear();
  for (uint32_t i = 0; i < count; ++i) {
    forcedMask[faults[i].node] = 0;
    forcedEdge[faults[i].node] = 0;
  }
  return found;
}
