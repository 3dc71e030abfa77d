// The graph tables and the work list shared by the word-parallel simulators
// (analyze's and the one random and genetic run on their packages).  Each
// works on words of patterns: a word type W is uint32_t or a vector of them,
// and every operation here is bit-wise, so a word gives exactly the results
// of its patterns taken one by one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Always inlined, so that a caller compiled for a wider instruction set gets
// its own copy.
#define FASTGRAPH_INLINE inline __attribute__((always_inline))

// A node with its successors as positions in the graph's slots: slot len
// holds all ones (the walk ends with 1), slot len + 1 all zeros.
struct FastNode {
  uint32_t var;
  uint32_t inv;  // all ones for an inverted node
  uint32_t one, zero;
};

// The nodes of the model in memory, and per graph where its slots start and
// which graphs read its variable.
struct FastGraphs {
  std::vector<FastNode> nodes;             // as Nods
  std::vector<uint32_t> slotBase;          // per graph: its first slot in a table of all graphs' slots (g_beg + 2g)
  std::vector<uint32_t> readStart, reads;  // per graph: the graphs whose nodes test its variable
  uint32_t maxLen = 1;                     // the longest graph (at least 1)
  // A node tests the variable of its own or a later graph.
  bool readsLater = false;

  void Build();
  // The size of a table of all graphs' slots.
  size_t SlotCount() const;
};

// Evaluates the graph of the n nodes nd bottom-up on the variable values val
// into its slots D (D[n] all ones, D[n + 1] all zeros); D[0] is the graph's
// value.
template <class W>
FASTGRAPH_INLINE void EvalSlots(const FastNode* nd, uint32_t n, const W* val, W* D) {
  for (uint32_t k = n; k-- > 0;) {
    W v = val[nd[k].var] ^ nd[k].inv;
    W zero = D[nd[k].zero];
    D[k] = zero ^ (v & (D[nd[k].one] ^ zero));
  }
}

// The reach masks L of the graph of the n nodes nd on the variable values
// val: the patterns of `top` whose walk from the root passes each node.
// Slots n and n + 1 gather what leaves the graph, and are of no use.
template <class W>
FASTGRAPH_INLINE void ReachMasks(const FastNode* nd, uint32_t n, const W* val, const W& top, W* L) {
  L[0] = top;
  for (uint32_t i = 1; i < n + 2; ++i) L[i] = W{};
  for (uint32_t i = 0; i < n; ++i) {
    W v = val[nd[i].var] ^ nd[i].inv;
    L[nd[i].one] |= v & L[i];
    L[nd[i].zero] |= ~v & L[i];
  }
}

// The graphs waiting for re-evaluation, taken lowest first: a bit set with a
// second level of its nonzero words.
class PendingGraphs {
 public:
  void Reset(uint32_t graphs);
  uint32_t Count() const { return count_; }

  // Adds every graph that reads graph g's variable.
  FASTGRAPH_INLINE void ScheduleReaders(const FastGraphs& t, uint32_t g) {
    for (uint32_t i = t.readStart[g]; i < t.readStart[g + 1]; ++i) {
      uint32_t r = t.reads[i];
      uint64_t bit = uint64_t(1) << (r % 64);
      uint64_t& w = bits_[r / 64];
      if (w & bit) continue;
      w |= bit;
      words_[r / 4096] |= uint64_t(1) << (r / 64 % 64);
      ++count_;
    }
  }

  // Removes and returns the lowest pending graph (Count() must not be 0);
  // nothing is pending below the group of words of `from`.
  FASTGRAPH_INLINE uint32_t Pop(uint32_t from) {
    for (uint32_t s = from / 4096;; ++s) {
      if (words_[s] == 0) continue;
      uint32_t wi = s * 64 + static_cast<uint32_t>(__builtin_ctzll(words_[s]));
      uint64_t& w = bits_[wi];
      uint32_t r = wi * 64 + static_cast<uint32_t>(__builtin_ctzll(w));
      w &= w - 1;
      if (w == 0) words_[s] &= ~(uint64_t(1) << (wi % 64));
      --count_;
      return r;
    }
  }

  void Clear();

 private:
  std::vector<uint64_t> bits_, words_;  // the graphs, and the nonzero words of bits_
  uint32_t count_ = 0;
};
