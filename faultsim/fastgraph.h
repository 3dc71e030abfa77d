// The graph tables and the work list shared by the word-parallel simulators
// (analyze's and the one random and genetic run on their packages).  Each
// works on words of patterns: a word type W is uint32_t or a vector of them,
// and every operation here is bit-wise, so a word gives exactly the results
// of its patterns taken one by one.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// Always inlined, so that a caller compiled for a wider instruction set gets
// its own copy.
#define FASTGRAPH_INLINE inline __attribute__((always_inline))

// The block word of the simulators' block loops: kLanes 32-bit words side by
// side, every operation lane-wise.
constexpr uint32_t kLanes = 16;
typedef uint32_t Block __attribute__((vector_size(4 * kLanes)));

// A block loop is compiled once per instruction set (the base one, AVX2,
// AVX-512) and chosen at run time; every copy computes the same bits.
#if defined(__x86_64__) && defined(__GNUC__)
#define FASTGRAPH_DISPATCH 1
#else
#define FASTGRAPH_DISPATCH 0
#endif

FASTGRAPH_INLINE bool Any(const Block& b) {
  uint64_t w[kLanes / 2];
  memcpy(w, &b, sizeof w);
  uint64_t r = 0;
  for (uint64_t x : w) r |= x;
  return r != 0;
}

// Zeroed blocks on 64-byte boundaries, as the widest instruction set loads
// them (std::vector guarantees only the alignment of the base one).
class Blocks {
 public:
  void assign(size_t n) {
    const size_t count = std::max<size_t>(n, 1);
    p_.reset(static_cast<Block*>(::operator new(count * sizeof(Block), std::align_val_t(64))));
    memset(static_cast<void*>(p_.get()), 0, count * sizeof(Block));
  }
  void clear() { p_.reset(); }
  Block* data() { return p_.get(); }
  Block& operator[](size_t i) { return p_.get()[i]; }

 private:
  struct Free {
    void operator()(Block* p) const { ::operator delete(p, std::align_val_t(64)); }
  };
  std::unique_ptr<Block, Free> p_;
};

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
