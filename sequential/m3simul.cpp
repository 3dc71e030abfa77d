#include "m3simul.h"

#include "messages.h"
#include "mudel.h"
#include "seqword.h"
#include "vector.h"

std::vector<uint32_t> reached_mas;
uint32_t reached_code = 0;
std::vector<uint32_t> tstack;

void alloc_m3simul() {
  reached_mas.assign(NodCount, 0);
  tstack.assign(NodCount, 0);
  reached_code = 0;
}

void free_m3simul() {
  ReleaseWordSimulation();
  std::vector<uint32_t>().swap(tstack);
  std::vector<uint32_t>().swap(reached_mas);
}

void init_m3simul() {
  ReleaseWordSimulation();  // a new sequence: the rails of the last one are stale
  for (uint32_t j = 0; j < vcount; ++j) {
    unsigned char fill = j == 0 ? 'x' : kUncomputed;
    for (uint32_t i = InpCount + ConCount; i < VarCount; ++i) vects[j][i] = fill;
  }
}

void NextReachedCode() {
  if (++reached_code > 0xFFFFFFF0u) {
    std::fill(reached_mas.begin(), reached_mas.end(), 0);
    reached_code = 1;
  }
}

namespace {

// The byte a node reads, checked.
inline unsigned char NodeValue(uint32_t n, const unsigned char* prev, const unsigned char* cur) {
  uint32_t v = Nods[n].n_var;
  unsigned char b = (Vars[v].v_flags & VF_DELAYED) ? prev[v] : cur[v];
  if (b != 0 && b != 1 && b != 'x') Errors(NodNames[n], "Uninitialized node", -1);
  return b;
}

}  // namespace

unsigned char m3eval(uint32_t k, const unsigned char* prev, const unsigned char* cur, uint32_t fault_node,
                     uint32_t forced_edge) {
  const uint32_t beg = Grps[k].g_beg;
  uint32_t low = 0;               // entries of the low stack
  uint32_t high = NodCount;       // the high stack occupies [high, NodCount)
  // First walk: every unknown literal at 1.
  uint32_t node = 0, value = 0;
  for (;;) {
    uint32_t n = beg + node;
    uint32_t e;
    if (n == fault_node) {
      e = forced_edge;
    } else {
      unsigned char b = NodeValue(n, prev, cur);
      if (b == 'x') {
        tstack[low++] = n;
        reached_mas[n] = reached_code;
        e = 1;
      } else {
        e = b ^ (Nods[n].n_flags & 1);
      }
    }
    value = e;
    node = Nods[n].n_dst[e];
    if (node == 0) break;
  }
  if (value == 0) return 0;
  if (low == 0) return 1;
  // Alternative walks: one unknown literal of the first path at 0, every
  // later unknown literal at 0 as well.
  while (low > 0) {
    uint32_t start = tstack[--low];
    node = Nods[start].n_dst[0];
    value = 0;
    while (node != 0) {
      uint32_t n = beg + node;
      uint32_t e;
      if (n == fault_node) {
        e = forced_edge;
      } else {
        unsigned char b = NodeValue(n, prev, cur);
        if (b == 'x') {
          // Each node is stamped once a frame, so the two stacks never meet.
          if (reached_mas[n] != reached_code && high > low) {
            reached_mas[n] = reached_code;
            tstack[--high] = n;
          }
          e = 0;
        } else {
          e = b ^ (Nods[n].n_flags & 1);
        }
      }
      value = e;
      node = Nods[n].n_dst[e];
    }
    if (value == 0) return 'x';
    high = NodCount;
  }
  return 1;
}

void m3simul() {
  if (vcount == 0xFFFFFFFFu) Error("Vector count too big", -1);
  if (vcount < 2) return;
  if (word_m3simul()) return;
  const uint32_t first = InpCount + ConCount;
  for (uint32_t j = 1; j < vcount; ++j) {
    NextReachedCode();
    const unsigned char* prev = vects[j - 1].data();
    unsigned char* cur = vects[j].data();
    for (uint32_t k = 0; k < GrpCount; ++k) cur[first + k] = m3eval(k, prev, cur);
  }
}
