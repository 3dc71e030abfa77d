#include "register.h"

#include <cstdio>

#include "messages.h"
#include "mudel.h"
#include "vector.h"

int gener_c_LFSR_type = 0;
int FaultyNode = -1;
int Fault = 0;

void setLFSRType(int type) { gener_c_LFSR_type = type; }

namespace {

// The output (0 or 1) that stage i receives, or -1: the first min(L, P)
// stages with `end` 0, the last P stages with `end` 1.
inline int Injected(const std::vector<unsigned char>& row, int i, int len, int end) {
  int P = static_cast<int>(OutCount);
  int k = end == 0 ? i : i - (len - P);
  if (k < 0 || k >= P || (end == 0 && i >= len)) return -1;
  return row[VarCount - OutCount + k] & 1;
}

}  // namespace

void standardLFSR(std::string* state, const std::string& feedback, int len, int vekt_nr, int end,
                  const PatternRows* vects) {
  const std::string& s = state[vekt_nr];
  std::string& n = state[vekt_nr + 1];
  n.resize(len);
  char f = '0';
  for (int i = 0; i < len; ++i)
    if (feedback[i] == '1') f = xorbinary(f, s[i]);
  for (int i = len - 1; i >= 1; --i) n[i] = s[i - 1];
  if (len > 0) n[0] = f;
  if (vects != nullptr) {
    const std::vector<unsigned char>& row = (*vects)[vekt_nr];
    for (int i = 0; i < len; ++i) {
      int o = Injected(row, i, len, end);
      if (o > 0) n[i] = xorbinary(n[i], '1');
    }
  }
}

void modularLFSR(std::string* state, const std::string& feedback, int len, int vekt_nr, int end,
                 const PatternRows* vects) {
  const std::string& s = state[vekt_nr];
  std::string& n = state[vekt_nr + 1];
  n.resize(len);
  if (len == 0) return;
  char b = s[0];
  const std::vector<unsigned char>* row = vects ? &(*vects)[vekt_nr] : nullptr;
  for (int i = len - 1; i >= 0; --i) {
    char c = i == len - 1 ? '0' : s[i + 1];
    if (row != nullptr && Injected(*row, i, len, end) > 0) c = xorbinary(c, '1');
    if (b == '1' && feedback[i] == '1') c = xorbinary(c, '1');
    n[i] = c;
  }
}

void LFSR(std::string* state, const std::string& feedback, int len, int vekt_nr, int end, const PatternRows* vects) {
  if (gener_c_LFSR_type == 1)
    modularLFSR(state, feedback, len, vekt_nr, end, vects);
  else
    standardLFSR(state, feedback, len, vekt_nr, end, vects);
}

void insert_vect(const std::string& state, int len, int end, std::vector<unsigned char>& row) {
  if (len < 0 || (end != 0 && end != 1)) {
    fputs("insert_vect : bad arguments!\n", stderr);
    return;
  }
  // Both sides copy the first stages: the inputs always take the register's
  // leading positions.
  uint32_t n = static_cast<uint32_t>(len);
  if (n > InpCount) n = InpCount;
  if (n > state.size()) n = static_cast<uint32_t>(state.size());
  for (uint32_t i = 0; i < n; ++i) row[i] = static_cast<unsigned char>(state[i] - '0');
}

void spec_simul(int vektor_nr, int faultyNode, int fault) {
  std::vector<unsigned char>& row = vects[vektor_nr];
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t beg = Grps[g].g_beg;
    uint32_t k = 0;
    unsigned e = 0;
    for (;;) {
      const NodRec& nd = Nods[beg + k];
      unsigned x = static_cast<int>(beg + k) == faultyNode ? static_cast<unsigned>(fault) : row[nd.n_var];
      // A value not yet set ('x', a later graph's column) counts as 0.
      e = ((nd.n_flags & 1) ^ x) & 1;
      uint32_t next = nd.n_dst[e];
      if (next == 0) break;
      k = next;
    }
    row[GraphVar(g)] = static_cast<unsigned char>(e);
  }
}

char xorbinary(char a, char b) { return a == b ? '0' : '1'; }

char convert_num(int value) { return static_cast<char>('0' + value); }

void check(const std::string& text, int width, const std::string& name) {
  for (int i = 0; i < width; ++i) {
    char c = i < static_cast<int>(text.size()) ? text[i] : '\0';
    if (c != '0' && c != '1') Error("Bad " + name.substr(0, 50), -1);
  }
}
