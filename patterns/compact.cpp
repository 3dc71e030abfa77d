#include "compact.h"

#include <cstddef>
#include <cstring>
#include <queue>

uint32_t StatusTotal(const std::vector<char>& status) {
  uint32_t n = 0;
  for (char m : status) n += m == '&' ? 2 : (m == '0' || m == '1') ? 1 : 0;
  return n;
}

uint32_t CoverTarget(uint32_t total, uint32_t percent) {
  return static_cast<uint32_t>(static_cast<uint64_t>(total) * percent / 100);
}

namespace {

// Bit mask of the faults a mark detects: 1 stuck-at-0, 2 stuck-at-1.
inline unsigned MarkBits(char m) { return m == '0' ? 1u : m == '1' ? 2u : m == '&' ? 3u : 0u; }

// High bit of each byte of x that equals c.  Exact: the sum of a byte's low
// seven bits and 0x7f cannot carry into the next byte.
inline uint64_t BytesEqual(uint64_t x, unsigned char c) {
  const uint64_t low = 0x7f7f7f7f7f7f7f7fULL;
  uint64_t y = x ^ (0x0101010101010101ULL * c);
  return ~(((y & low) + low) | y) & ~low;
}

// A table row as a bit set: node i's stuck-at-0 fault at bit 2i, its
// stuck-at-1 fault at bit 2i + 1.  `row` must be cleared.
void RowBits(const char* marks, uint32_t nodes, uint64_t* row) {
  uint32_t i = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // 32 marks make one word, eight at a time: each byte becomes its two
  // fault bits, then the bytes' bit pairs are packed side by side.
  for (; i + 32 <= nodes; i += 32) {
    uint64_t word = 0;
    for (unsigned k = 0; k < 4; ++k) {
      uint64_t x;
      memcpy(&x, marks + i + 8 * k, 8);
      uint64_t both = BytesEqual(x, '&');
      uint64_t v = ((BytesEqual(x, '0') | both) >> 7) | ((BytesEqual(x, '1') | both) >> 6);
      v = (v | v >> 6) & 0x000f000f000f000fULL;
      v = (v | v >> 12) & 0x000000ff000000ffULL;
      v = (v | v >> 24) & 0xffffULL;
      word |= v << (16 * k);
    }
    row[i / 32] = word;
  }
#endif
  for (; i < nodes; ++i) {
    size_t f = 2 * static_cast<size_t>(i);
    row[f / 64] |= static_cast<uint64_t>(MarkBits(marks[i])) << (f % 64);  // f is even: both bits share a word
  }
}

// The state shared by both versions: flags and hit counts per fault
// (index 2 x node + polarity).
struct Cover {
  std::vector<uint8_t> flag;
  std::vector<uint32_t> hits;
  CompactResult r;
  uint32_t total = 0, target = 0;
  bool limited = false;

  Cover(size_t patterns, uint32_t nodes, const std::vector<char>& status, const CompactOptions& o)
      : flag(2 * static_cast<size_t>(nodes)), hits(2 * static_cast<size_t>(nodes)) {
    r.state.assign(patterns, 1);
    total = StatusTotal(status);
    limited = o.fault_cover;
    if (limited) target = CoverTarget(total, o.percent);
  }
  bool TargetExceeded() const { return limited && r.covered > target; }
  void Add(size_t f) {
    if (!flag[f]) flag[f] = 1, ++r.covered;
    ++hits[f];
  }
};

// Detectors per fault: how many patterns detect it (only whether that is
// exactly one matters, so counting may stop at two), and the first of them.
struct Detectors {
  std::vector<uint32_t> count, first;
  explicit Detectors(uint32_t nodes) : count(2 * static_cast<size_t>(nodes), 0), first(2 * static_cast<size_t>(nodes), 0) {}
  void Add(size_t f, uint32_t p) {
    if (count[f]++ == 0) first[f] = p;
  }
};

// The essential patterns: one slot per node of which a fault has exactly one
// detector (the stuck-at-0 fault when both have), in node order.
template <class Choose>
void EssentialPhase(const Detectors& d, uint32_t nodes, Cover& c, Choose choose) {
  const std::vector<uint32_t>& count = d.count;
  const std::vector<uint32_t>& first = d.first;
  for (uint32_t i = 0; i < nodes; ++i) {
    if (count[2 * i] != 1 && count[2 * i + 1] != 1) continue;
    unsigned pol = count[2 * i] == 1 ? 0 : 1;
    // The slot's fault has exactly one detector: it is the first candidate
    // carrying the mark, unless an earlier slot chose it already.
    uint32_t p = first[2 * i + pol];
    if (c.r.state[p] == 1) {
      choose(p);
      ++c.r.chosen;
    }
    if (c.TargetExceeded()) break;
  }
}

// Reverse pass: a greedy choice whose every fault has another chosen
// detector is dropped again.
template <class Faults>
void ReversePass(const std::vector<uint32_t>& order, Cover& c, Faults faults_of) {
  std::vector<size_t> fs;
  for (uint32_t p : order) {
    fs.clear();
    faults_of(p, fs);
    bool needed = false;
    for (size_t f : fs)
      if (c.hits[f] == 1) {
        needed = true;
        break;
      }
    if (needed) continue;
    for (size_t f : fs) --c.hits[f];
    c.r.state[p] = 1;
    --c.r.chosen;
  }
}

}  // namespace

CompactResult CompactPlain(const std::vector<std::vector<char>>& table, const std::vector<char>& status,
                           uint32_t nodes, const CompactOptions& options) {
  const uint32_t patterns = static_cast<uint32_t>(table.size());
  Cover c(patterns, nodes, status, options);
  auto faults_of = [&](uint32_t p, std::vector<size_t>& fs) {
    for (uint32_t i = 0; i < nodes; ++i) {
      unsigned b = MarkBits(table[p][i]);
      if (b & 1) fs.push_back(2 * static_cast<size_t>(i));
      if (b & 2) fs.push_back(2 * static_cast<size_t>(i) + 1);
    }
  };
  std::vector<size_t> fs;
  auto choose = [&](uint32_t p) {
    c.r.state[p] = 0;
    fs.clear();
    faults_of(p, fs);
    for (size_t f : fs) c.Add(f);
  };
  auto gain = [&](uint32_t p) {
    uint32_t g = 0;
    for (uint32_t i = 0; i < nodes; ++i) {
      unsigned b = MarkBits(table[p][i]);
      if ((b & 1) && !c.flag[2 * i]) ++g;
      if ((b & 2) && !c.flag[2 * i + 1]) ++g;
    }
    return g;
  };
  if (!options.no_unique_vectors) {
    Detectors d(nodes);
    for (uint32_t p = 0; p < patterns; ++p)
      for (uint32_t i = 0; i < nodes; ++i) {
        unsigned b = MarkBits(table[p][i]);
        if (b & 1) d.Add(2 * static_cast<size_t>(i), p);
        if (b & 2) d.Add(2 * static_cast<size_t>(i) + 1, p);
      }
    EssentialPhase(d, nodes, c, choose);
    for (uint32_t p = 0; p < patterns; ++p)
      if (c.r.state[p] == 1 && gain(p) == 0) c.r.state[p] = -1;
  } else if (patterns > 0) {
    uint32_t best = 0, most = 0;
    for (uint32_t p = 0; p < patterns; ++p) {
      fs.clear();
      faults_of(p, fs);
      if (p == 0 || fs.size() > most) best = p, most = static_cast<uint32_t>(fs.size());
    }
    choose(best);
    c.r.chosen = 1;
  }
  std::vector<uint32_t> order;
  if (c.r.cycles < patterns && c.r.covered < c.total && !c.TargetExceeded()) {
    for (;;) {
      uint32_t best = 0, best_gain = 0;
      for (uint32_t p = 0; p < patterns; ++p) {
        if (c.r.state[p] != 1) continue;
        uint32_t g = gain(p);
        if (g > best_gain) best = p, best_gain = g;
      }
      if (best_gain == 0) break;
      choose(best);
      order.push_back(best);
      ++c.r.chosen;
      if (c.TargetExceeded()) break;
      ++c.r.cycles;
      if (c.r.cycles >= patterns || c.r.covered >= c.total) break;
    }
  }
  ReversePass(order, c, faults_of);
  return c.r;
}

CompactResult Compact(const std::vector<std::vector<char>>& table, const std::vector<char>& status, uint32_t nodes,
                      const CompactOptions& options) {
  const uint32_t patterns = static_cast<uint32_t>(table.size());
  Cover c(patterns, nodes, status, options);
  // Each row as a bit set of its faults, and the covered faults alike, so a
  // gain is a popcount over words.
  const size_t words = (2 * static_cast<size_t>(nodes) + 63) / 64;
  std::vector<uint64_t> rows(words * patterns, 0);
  std::vector<uint32_t> marks(patterns, 0);
  // The detectors as bit sets too: faults detected at least once, and at
  // least twice; the essential patterns only ask for exactly once.
  const bool essentials = !options.no_unique_vectors;
  std::vector<uint64_t> once(essentials ? words : 0, 0), twice(essentials ? words : 0, 0);
  // A model without nodes has rows of no words: no element to refer to.
  for (uint32_t p = 0; p < patterns; ++p) {
    uint64_t* row = rows.data() + words * p;
    RowBits(table[p].data(), nodes, row);
    uint32_t n = 0;
    for (size_t w = 0; w < words; ++w) n += static_cast<uint32_t>(__builtin_popcountll(row[w]));
    marks[p] = n;
    if (!essentials) continue;
    for (size_t w = 0; w < words; ++w) {
      twice[w] |= once[w] & row[w];
      once[w] |= row[w];
    }
  }
  Detectors d(essentials ? nodes : 0);
  if (essentials) {
    // Counts up to 2, and the first detector of each fault detected once.
    std::vector<uint64_t> pending(words);
    for (size_t w = 0; w < words; ++w) {
      pending[w] = once[w] & ~twice[w];
      for (uint64_t bits = once[w]; bits; bits &= bits - 1) {
        size_t f = 64 * w + __builtin_ctzll(bits);
        d.count[f] = twice[w] >> (f % 64) & 1 ? 2 : 1;
      }
    }
    for (uint32_t p = 0; p < patterns; ++p) {
      const uint64_t* row = rows.data() + words * p;
      for (size_t w = 0; w < words; ++w) {
        uint64_t hit = row[w] & pending[w];
        if (!hit) continue;
        pending[w] &= ~hit;
        for (; hit; hit &= hit - 1) d.first[64 * w + __builtin_ctzll(hit)] = p;
      }
    }
  }
  std::vector<uint64_t> covered(words, 0);
  auto faults_of = [&](uint32_t p, std::vector<size_t>& fs) {
    const uint64_t* row = rows.data() + words * p;
    for (size_t w = 0; w < words; ++w)
      for (uint64_t bits = row[w]; bits; bits &= bits - 1) fs.push_back(64 * w + __builtin_ctzll(bits));
  };
  std::vector<size_t> fs;
  auto choose = [&](uint32_t p) {
    c.r.state[p] = 0;
    const uint64_t* row = rows.data() + words * p;
    for (size_t w = 0; w < words; ++w) {
      for (uint64_t bits = row[w]; bits; bits &= bits - 1) c.Add(64 * w + __builtin_ctzll(bits));
      covered[w] |= row[w];
    }
  };
  auto gain = [&](uint32_t p) {
    const uint64_t* row = rows.data() + words * p;
    uint32_t g = 0;
    for (size_t w = 0; w < words; ++w) g += static_cast<uint32_t>(__builtin_popcountll(row[w] & ~covered[w]));
    return g;
  };
  if (!options.no_unique_vectors) {
    EssentialPhase(d, nodes, c, choose);
  } else if (patterns > 0) {
    uint32_t best = 0;
    for (uint32_t p = 1; p < patterns; ++p)
      if (marks[p] > marks[best]) best = p;
    choose(best);
    c.r.chosen = 1;
  }
  // Gains only fall as faults get covered, so a stale gain is an upper bound:
  // the top of the heap whose fresh gain still beats every stale key is the
  // best candidate, lowest index among equals.
  using Key = std::pair<uint32_t, uint32_t>;  // gain, pattern
  auto worse = [](const Key& a, const Key& b) { return a.first != b.first ? a.first < b.first : a.second > b.second; };
  std::priority_queue<Key, std::vector<Key>, decltype(worse)> heap(worse);
  for (uint32_t p = 0; p < patterns; ++p) {
    if (c.r.state[p] != 1) continue;
    uint32_t g = gain(p);
    if (g == 0 && !options.no_unique_vectors)
      c.r.state[p] = -1;
    else if (g > 0)
      heap.push(Key(g, p));
  }
  std::vector<uint32_t> order;
  if (c.r.cycles < patterns && c.r.covered < c.total && !c.TargetExceeded()) {
    for (;;) {
      uint32_t best = 0;
      bool found = false;
      while (!heap.empty()) {
        Key top = heap.top();
        heap.pop();
        uint32_t g = gain(top.second);
        if (g == 0) continue;
        Key fresh(g, top.second);
        if (heap.empty() || !worse(fresh, heap.top())) {
          best = top.second;
          found = true;
          break;
        }
        heap.push(fresh);
      }
      if (!found) break;
      choose(best);
      order.push_back(best);
      ++c.r.chosen;
      if (c.TargetExceeded()) break;
      ++c.r.cycles;
      if (c.r.cycles >= patterns || c.r.covered >= c.total) break;
    }
  }
  ReversePass(order, c, faults_of);
  return c.r;
}
