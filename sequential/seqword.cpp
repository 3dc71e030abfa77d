#include "seqword.h"

#include <algorithm>
#include <vector>

#include "mudel.h"
#include "sqsim.h"
#include "vector.h"

namespace {

constexpr uint64_t kAll = ~uint64_t(0);

// Value slots: one per variable, then one per delayed input or constant (its
// value in the pattern before).  Block b holds frames 64b .. 64b+63.
uint32_t slots = 0;
uint32_t blocks = 0;
std::vector<uint64_t> goodV, goodX;  // [b * slots + slot]
std::vector<uint64_t> valid;         // per block: frames 1 .. vcount-1
std::vector<unsigned char> blockHasX;

// Per node: the slot it reads, its inverted bit as a mask, its successors.
struct WordNode {
  uint32_t slot;
  uint32_t d0, d1;
  uint64_t inv;
};
std::vector<WordNode> wnodes;

// The faulty machine of the block under simulation: a slot's own value when
// its stamp is the current one, else the good value.
std::vector<uint64_t> faultV, faultX, stamp;
uint64_t curStamp = 0;

// Per graph node during an evaluation, for the walk from that node: its
// value with every unknown literal at 1, its value with every one at 0, and
// whether the walk at 1 meets an unknown literal whose 0-edge, with all
// later unknown literals at 0, ends in 0 (the graph's value is then 'x').
std::vector<uint64_t> p1, p0, alt;

std::vector<uint64_t> due;
uint32_t maxLen = 0;

struct DelayedInput {
  uint32_t var, slot;
};
std::vector<DelayedInput> delayedInputs;

constexpr uint32_t kNoNode = UINT32_MAX;

inline void Read(uint32_t s, size_t base, uint64_t& v, uint64_t& x) {
  if (stamp[s] == curStamp) {
    v = faultV[s];
    x = faultX[s];
  } else {
    v = goodV[base + s];
    x = goodX[base + s];
  }
}

// Graph k for every frame of the block, no unknown literal among them.
uint64_t EvalBinary(uint32_t k, size_t base, uint32_t fault_node, uint64_t forced) {
  const uint32_t beg = Grps[k].g_beg;
  for (uint32_t i = Grps[k].g_len; i-- > 0;) {
    const uint32_t n = beg + i;
    const WordNode& w = wnodes[n];
    uint64_t e;
    if (n == fault_node) {
      e = forced;
    } else {
      uint64_t v, x;
      Read(w.slot, base, v, x);
      e = v ^ w.inv;
    }
    uint64_t t1 = w.d1 ? p1[w.d1] : kAll;
    uint64_t t0 = w.d0 ? p1[w.d0] : 0;
    p1[i] = (e & t1) | (~e & t0);
  }
  return p1[0];
}

// Graph k for every frame of the block in three values; x comes back as
// rail x set, rail v clear.
void EvalThree(uint32_t k, size_t base, uint32_t fault_node, uint64_t forced, uint64_t& rv, uint64_t& rx) {
  const uint32_t beg = Grps[k].g_beg;
  for (uint32_t i = Grps[k].g_len; i-- > 0;) {
    const uint32_t n = beg + i;
    const WordNode& w = wnodes[n];
    uint64_t e, x;
    if (n == fault_node) {
      e = forced;
      x = 0;
    } else {
      uint64_t v;
      Read(w.slot, base, v, x);
      e = v ^ w.inv;
    }
    const uint64_t up = e | x;     // edge taken with unknown literals at 1
    const uint64_t down = e & ~x;  // edge taken with them at 0
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

// The vects rows the rails were computed for (valid until the next m3simul
// or seq_simul), so the fault simulation need not convert them again.
const void* railRows = nullptr;
uint32_t railCount = 0;

void Release() {
  std::vector<uint64_t>().swap(goodV);
  std::vector<uint64_t>().swap(goodX);
  std::vector<uint64_t>().swap(valid);
  std::vector<unsigned char>().swap(blockHasX);
  std::vector<WordNode>().swap(wnodes);
  std::vector<uint64_t>().swap(faultV);
  std::vector<uint64_t>().swap(faultX);
  std::vector<uint64_t>().swap(stamp);
  std::vector<uint64_t>().swap(p1);
  std::vector<uint64_t>().swap(p0);
  std::vector<uint64_t>().swap(alt);
  std::vector<uint64_t>().swap(due);
  railRows = nullptr;
  railCount = 0;
}

// Checks the model and sets up slots and wnodes; false when some node reads
// a delayed graph variable (or the model breaks the reader's own rules).
bool PrepareModel() {
  const uint32_t first = InpCount + ConCount;
  // Every graph variable read undelayed and from an earlier graph, every
  // successor further on: then a graph's frames need nothing of other frames
  // of the faulty machine, and one pass in index order settles a frame.
  std::vector<uint32_t> delayedSlot(first, 0);
  slots = VarCount;
  maxLen = 1;
  for (uint32_t g = 0; g < GrpCount; ++g) {
    const GrpRec& gr = Grps[g];
    maxLen = std::max(maxLen, gr.g_len);
    for (uint32_t i = 0; i < gr.g_len; ++i) {
      const NodRec& nd = Nods[gr.g_beg + i];
      for (uint32_t d : nd.n_dst)
        if (d != 0 && (d <= i || d >= gr.g_len)) return false;
      uint32_t v = nd.n_var;
      if (v >= VarCount) return false;
      bool delayed = Vars[v].v_flags & VF_DELAYED;
      if (v >= first) {
        if (delayed || v - first >= g || IsOutputGraph(v - first)) return false;
      } else if (delayed && delayedSlot[v] == 0) {
        delayedSlot[v] = slots++;
      }
    }
  }
  wnodes.resize(NodCount);
  for (uint32_t n = 0; n < NodCount; ++n) {
    const NodRec& nd = Nods[n];
    uint32_t v = nd.n_var;
    uint32_t s = v < first && (Vars[v].v_flags & VF_DELAYED) ? delayedSlot[v] : v;
    wnodes[n] = {s, nd.n_dst[0], nd.n_dst[1], (nd.n_flags & 1) ? kAll : 0};
  }
  delayedInputs.clear();
  for (uint32_t i = 0; i < first; ++i)
    if (delayedSlot[i] != 0) delayedInputs.push_back({i, delayedSlot[i]});
  p1.assign(maxLen, 0);
  p0.assign(maxLen, 0);
  alt.assign(maxLen, 0);
  return true;
}

// Rails of the columns below `last` (inputs and constants, or every column)
// and of the delayed inputs; false when some byte there is not 0, 1 or 'x'
// (left to the frame-by-frame method, so that it names the node as always).
// Graph columns of row 0 are not checked: they are 'x', never read.
bool BuildRails(uint32_t last) {
  const uint32_t first = InpCount + ConCount;
  for (uint32_t j = 0; j < vcount; ++j) {
    const unsigned char* row = vects[j].data();
    for (uint32_t i = 0; i < (j == 0 ? first : last); ++i)
      if (row[i] > 1 && row[i] != 'x') return false;
  }
  blocks = (vcount + 63) / 64;
  goodV.assign(size_t(blocks) * slots, 0);
  goodX.assign(size_t(blocks) * slots, 0);
  valid.assign(blocks, 0);
  blockHasX.assign(blocks, 0);
  for (uint32_t j = 1; j < vcount; ++j) valid[j >> 6] |= uint64_t(1) << (j & 63);
  for (uint32_t j = 0; j < vcount; ++j) {
    const uint32_t shift = j & 63;
    uint64_t* gv = &goodV[size_t(j >> 6) * slots];
    uint64_t* gx = &goodX[size_t(j >> 6) * slots];
    const unsigned char* row = vects[j].data();
    uint64_t anyX = 0;
    for (uint32_t i = 0; i < last; ++i) {
      uint64_t one = row[i] == 1, x = row[i] == 'x';
      gv[i] |= one << shift;
      gx[i] |= x << shift;
      if (i < first) anyX |= x;
    }
    if (j > 0) {
      const unsigned char* prev = vects[j - 1].data();
      for (const DelayedInput& d : delayedInputs) {
        uint64_t one = prev[d.var] == 1, x = prev[d.var] == 'x';
        gv[d.slot] |= one << shift;
        gx[d.slot] |= x << shift;
        anyX |= x;
      }
      if (anyX) blockHasX[j >> 6] = 1;
    }
  }
  return true;
}

void RememberRails() {
  railRows = vects.data();
  railCount = vcount;
}

}  // namespace

int seq_plain = 0;

bool word_m3simul() {
  Release();
  if (seq_plain || vcount < 2 || !PrepareModel() || !BuildRails(InpCount + ConCount)) {
    Release();
    return false;
  }
  const uint32_t first = InpCount + ConCount;
  ++curStamp;  // nothing is stamped: every read is a good value
  stamp.assign(slots, 0);
  for (uint32_t b = 0; b < blocks; ++b) {
    const size_t base = size_t(b) * slots;
    const uint64_t mask = valid[b];
    for (uint32_t k = 0; k < GrpCount; ++k) {
      uint64_t rv, rx = 0;
      if (blockHasX[b])
        EvalThree(k, base, kNoNode, 0, rv, rx);
      else
        rv = EvalBinary(k, base, kNoNode, 0);
      // Row 0 is never computed: its graph values stay 'x'.
      goodV[base + first + k] = rv & mask;
      goodX[base + first + k] = (rx & mask) | (b == 0 ? 1 : 0);
    }
  }
  for (uint32_t j = 1; j < vcount; ++j) {
    const size_t base = size_t(j >> 6) * slots;
    const uint32_t shift = j & 63;
    unsigned char* row = vects[j].data();
    for (uint32_t c = first; c < VarCount; ++c) {
      if ((goodX[base + c] >> shift) & 1)
        row[c] = 'x';
      else
        row[c] = static_cast<unsigned char>((goodV[base + c] >> shift) & 1);
    }
  }
  RememberRails();
  return true;
}

bool PrepareWordSimulation() {
  if (seq_plain || vcount < 2) {
    Release();
    return false;
  }
  if (railRows != vects.data() || railCount != vcount) {
    Release();
    if (!PrepareModel() || !BuildRails(VarCount)) {
      Release();
      return false;
    }
  }
  faultV.assign(slots, 0);
  faultX.assign(slots, 0);
  stamp.assign(slots, 0);
  curStamp = 0;
  due.assign((GrpCount >> 6) + 1, 0);
  return true;
}

void ReleaseWordSimulation() { Release(); }

int word_sim_pat(uint32_t node, uint32_t forced_edge, uint32_t stuck, uint32_t graph) {
  const uint32_t first = InpCount + ConCount;
  const uint32_t internal = GrpCount - OutCount;
  const uint64_t forced = forced_edge ? kAll : 0;
  bool found = false;
  for (uint32_t b = 0; b < blocks; ++b) {
    ++curStamp;
    const size_t base = size_t(b) * slots;
    const bool three = blockHasX[b];
    const uint64_t mask = valid[b];
    uint64_t det = 0;
    // Graphs due in this block, taken in index order; readers always come
    // later, so the cursor only moves forward.
    due[graph >> 6] |= uint64_t(1) << (graph & 63);
    uint32_t pending = 1;
    uint32_t word = graph >> 6;
    while (pending > 0) {
      while (due[word] == 0) ++word;
      uint64_t& dw = due[word];
      const uint32_t k = (word << 6) + static_cast<uint32_t>(__builtin_ctzll(dw));
      dw &= dw - 1;
      --pending;
      const uint32_t col = first + k;
      const uint64_t gv = goodV[base + col], gx = goodX[base + col];
      uint64_t rv, rx = 0, diff;
      if (three) {
        EvalThree(k, base, node, forced, rv, rx);
        diff = ((rv ^ gv) | (rx ^ gx)) & mask;
      } else {
        rv = EvalBinary(k, base, node, forced);
        diff = (rv ^ gv) & mask;
      }
      if (diff == 0) continue;
      if (k < internal) {
        // Frames outside the sequence keep the good value.
        faultV[col] = (rv & diff) | (gv & ~diff);
        faultX[col] = (rx & diff) | (gx & ~diff);
        stamp[col] = curStamp;
        for (uint32_t r : nextgrps[k]) {
          uint64_t bit = uint64_t(1) << (r & 63);
          if (!(due[r >> 6] & bit)) {
            due[r >> 6] |= bit;
            ++pending;
          }
        }
      } else {
        det |= diff & ~rx & ~gx;
      }
    }
    if (det == 0) continue;
    const uint32_t low = b * 64 + static_cast<uint32_t>(__builtin_ctzll(det));
    if (!NoDrop) {
      last_vector = std::max(last_vector, low);
      return 1;
    }
    found = true;
    const char c = static_cast<char>('0' + stuck);
    for (uint64_t d = det; d != 0; d &= d - 1) {
      const uint32_t j = b * 64 + static_cast<uint32_t>(__builtin_ctzll(d));
      char& m = ftable[j][node];
      if ((m == '0' || m == '1') && m != c)
        m = '&';
      else if (m != '&')
        m = c;
      last_vector = std::max(last_vector, j);
    }
  }
  return found ? 1 : 0;
}
