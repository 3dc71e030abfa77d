#include "mvsimul.h"

#include <algorithm>

#include "messages.h"
#include "mudel.h"
#include "vector.h"

std::vector<uint32_t> mv_stamps;
std::vector<uint32_t> mv_stack;

void alloc_mv_simul() {
  mv_stamps.assign(NodCount, 0);
  mv_stack.assign(NodCount, 0);
}

void free_mv_simul() {
  std::vector<uint32_t>().swap(mv_stack);
  std::vector<uint32_t>().swap(mv_stamps);
}

namespace {

inline bool Binary(unsigned char v) { return v == 0 || v == 1; }

// A node's letter with its inversion applied; every letter but 'E' and 'H'
// counts as unknown.
char Effective(uint32_t n, const unsigned char* row) {
  unsigned char v = row[Nods[n].n_var];
  bool inv = Nods[n].n_flags & 1;
  if (v == 'E') return inv ? 'H' : 'E';
  if (v == 'H') return inv ? 'E' : 'H';
  return 'x';
}

// Walks from node `from` of the graph at `beg`, taking `edge` at every
// changing literal.  A literal stamped `stop` ends the walk (false); an
// unstamped one is stamped `mark` and pushed through `push`.  `value` is
// the terminal reached.
template <class Push>
bool Walk(uint32_t beg, uint32_t from, uint32_t edge, uint32_t stop, uint32_t mark, const unsigned char* row,
          uint32_t& value, Push push) {
  uint32_t node = from;
  value = edge;
  while (node != 0) {
    uint32_t m = beg + node;
    unsigned char v = row[Nods[m].n_var];
    uint32_t e;
    if (Binary(v)) {
      e = v ^ (Nods[m].n_flags & 1);
    } else {
      if (mv_stamps[m] == stop) return false;  // rejoins the other path
      if (mv_stamps[m] != mark) {
        mv_stamps[m] = mark;
        push(m);
      }
      e = edge;
    }
    value = e;
    node = Nods[m].n_dst[e];
  }
  return true;
}

// The letter of graph g on `row`, earlier graphs holding their letters.
unsigned char GraphLetter(uint32_t g, const unsigned char* row, uint32_t s) {
  const uint32_t beg = Grps[g].g_beg;
  uint32_t* stack = mv_stack.data();
  uint32_t low = 0, high = NodCount;  // low stack [0, low), high stack [high, NodCount)
  // Every changing literal at 1.
  uint32_t node = 0, value = 0;
  for (;;) {
    uint32_t n = beg + node;
    unsigned char v = row[Nods[n].n_var];
    uint32_t e;
    if (Binary(v)) {
      e = v ^ (Nods[n].n_flags & 1);
    } else {
      stack[low++] = n;
      mv_stamps[n] = s;
      e = 1;
    }
    value = e;
    node = Nods[n].n_dst[e];
    if (node == 0) break;
  }
  if (value == 0) return 0;
  if (low == 0) return 1;
  // The switching nodes decide, taken from the low end first; the ends
  // change after a node that switches.
  char letter = 0;
  bool atLow = true;
  while (low > 0 || high < NodCount) {
    if (atLow ? low == 0 : high == NodCount) atLow = !atLow;
    uint32_t n;
    bool switching;
    if (atLow) {
      n = stack[--low];
      uint32_t before = high;
      switching = Walk(beg, Nods[n].n_dst[0], 0, s, s + 1, row, value, [&](uint32_t m) { stack[--high] = m; }) &&
                  value == 0;
      if (!switching) high = before;
    } else {
      n = stack[high++];
      uint32_t before = low;
      switching = Walk(beg, Nods[n].n_dst[1], 1, s + 1, s, row, value, [&](uint32_t m) { stack[low++] = m; }) &&
                  value == 1;
      if (!switching) low = before;
    }
    if (!switching) continue;
    char eff = Effective(n, row);
    if (eff == 'x' || (letter != 0 && letter != eff)) return 'x';
    letter = eff;
    if (atLow ? high < NodCount : low > 0) atLow = !atLow;
  }
  return letter ? static_cast<unsigned char>(letter) : 1;
}

}  // namespace

void mv_simul(int alphabet) {
  if (vcount == 0xFFFFFFFFu) Error("Vector count too big", -1);
  const uint32_t first = InpCount + ConCount;
  uint32_t s = 1;
  for (uint32_t i = vcount > 0 ? vcount - 1 : 0; i >= 1; --i) {
    if (s > 0xFFFFFFF0u) {  // s + 1 must not wrap
      std::fill(mv_stamps.begin(), mv_stamps.end(), 0);
      s = 1;
    }
    unsigned char* row = vects[i].data();
    const unsigned char* before = vects[i - 1].data();
    for (uint32_t k = 0; k < InpCount; ++k)
      if (row[k] != before[k]) row[k] = before[k] ? 'H' : 'E';
    for (uint32_t g = 0; g < GrpCount; ++g) {
      uint32_t var = first + g;
      unsigned char letter = GraphLetter(g, row, s);
      if (letter == 'x' && alphabet == 8) {
        // simul's binary values of both patterns, before the letter replaces them.
        bool was = before[var] != 0, now = row[var] != 0;
        letter = was ? (now ? 'i' : 'h') : (now ? 'e' : 'o');
      }
      row[var] = letter;
    }
    s += 2;
  }
}
