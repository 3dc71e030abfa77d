#include "marks.h"

#include <cstdlib>
#include <new>

#include "messages.h"
#include "mudel.h"

char CheckFault(char x, char y) {
  if (y == 'X') return x;
  if (x == 'X') return y;
  if (x == '0') return (y == '1' || y == '&') ? '&' : '0';
  if (x == '1') return (y == '0' || y == '&') ? '&' : '1';
  return x;
}

namespace {

// A mark as a set of stuck values: bit 0 stuck-at-0, bit 1 stuck-at-1.
unsigned SetOf(char m, unsigned other) {
  switch (m) {
    case 'X': return 0;
    case '0': return 1;
    case '1': return 2;
    case '&': return 3;
    default: return other;
  }
}

char MarkOf(unsigned set) { return "X01&"[set & 3]; }

}  // namespace

char SubtractOneFault(char a, char b) { return MarkOf(SetOf(a, 3) & ~SetOf(b, 0)); }

unsigned coverage_one(char fault) { return fault == '&' ? 2 : (fault == '0' || fault == '1') ? 1 : 0; }

unsigned coverage_i(const char* faults, unsigned NodCount) {
  unsigned w = 0;
  for (unsigned i = 0; i < NodCount; ++i) w += coverage_one(faults[i]);
  return w;
}

float coverage_f(const char* faults, unsigned NodCount) {
  if (NodCount == 0) return 0.0f;
  float w = static_cast<float>(coverage_i(faults, NodCount));
  float n = static_cast<float>(NodCount);
  return static_cast<float>(static_cast<double>(w) * 100.0 / (2.0 * static_cast<double>(n)));
}

unsigned optimize_length(const MarkTable& ftable, char* faults, unsigned vcount) {
  if (NodCount == 0) return 1;
  unsigned last = 0;
  for (unsigned n = 0; n < NodCount; ++n) {
    char m = faults[n];
    for (unsigned v = 0; v < vcount && m != '&'; ++v) {
      char c = CheckFault(m, ftable[v][n]);
      if (c != m) {
        faults[n] = c;
        if (v > last) last = v;
      }
      m = c;
    }
  }
  return last + 1;
}

unsigned optimize_length_adv(const MarkTable& ftable, char* summary, unsigned NCount, unsigned start,
                             unsigned finish) {
  unsigned len = start < finish ? finish - start : start - finish;
  if (NCount == 0) return 0;
  bool added = false;
  unsigned largest = 0;
  for (unsigned n = 0; n < NCount; ++n) {
    char m = summary ? summary[n] : 'X';
    if (m == '&' || len == 0) continue;
    for (unsigned k = 0; k < len && m != '&'; ++k) {
      unsigned row = start < finish ? start + k : start - 1 - k;
      char c = CheckFault(m, ftable[row][n]);
      if (c != m) {
        added = true;
        if (k > largest) largest = k;
      }
      m = c;
    }
    if (summary) summary[n] = m;
  }
  return added ? largest + 1 : 0;
}

std::vector<std::string> AllocCharTable(int x, int y, char fill) {
  try {
    return std::vector<std::string>(static_cast<size_t>(x) + 1, std::string(static_cast<size_t>(y), fill));
  } catch (const std::bad_alloc&) {
    fflush(stdout);
    fputs("AllocCharTable: malloc failed.\n", stderr);
    exit(255);
  }
}

void FreeCharTable(std::vector<std::string>& t) { std::vector<std::string>().swap(t); }

void print_faults(FILE* fp, const char* faults, int NodCount) {
  if (NodCount > 0) fwrite(faults, 1, static_cast<size_t>(NodCount), fp);
  fputc('\n', fp);
}

unsigned diff_coverage(const char* f1, const char* f2, unsigned NodCount) {
  return diff_coverage_N(f1, f2, 0, NodCount);
}

unsigned diff_coverage_N(const char* f1, const char* f2, unsigned start, unsigned finish) {
  unsigned w = 0;
  for (unsigned i = start; i < finish; ++i) w += coverage_one(SubtractOneFault(f2[i], f1[i]));
  return w;
}

void AddVect(char* dst, const char* src, unsigned n) {
  for (unsigned i = 0; i < n; ++i) dst[i] = CheckFault(dst[i], src[i]);
}

void SubtractVect(char* dst, const char* src, unsigned n) {
  for (unsigned i = 0; i < n; ++i) dst[i] = SubtractOneFault(dst[i], src[i]);
}

MarkRow compute_flts(const MarkTable& ftable, unsigned NodCount, unsigned first, unsigned last) {
  MarkRow row(NodCount, 'X');
  for (unsigned v = first; v < last; ++v) AddVect(row.data(), ftable[v].data(), NodCount);
  return row;
}

namespace {

std::vector<unsigned> Progress(const MarkTable& ftable, unsigned NodCount, unsigned vcount, bool backward) {
  std::vector<unsigned> gains(vcount, 0);
  MarkRow merged(NodCount, 'X');
  for (unsigned k = 0; k < vcount; ++k) {
    unsigned v = backward ? vcount - 1 - k : k;
    for (unsigned n = 0; n < NodCount; ++n) {
      char c = CheckFault(merged[n], ftable[v][n]);
      if (coverage_one(c) > coverage_one(merged[n])) ++gains[v];
      merged[n] = c;
    }
  }
  return gains;
}

}  // namespace

std::vector<unsigned> progress_vector(const MarkTable& ftable, unsigned NodCount, unsigned vcount) {
  return Progress(ftable, NodCount, vcount, false);
}

std::vector<unsigned> reverse_progress_vector(const MarkTable& ftable, unsigned NodCount, unsigned vcount) {
  return Progress(ftable, NodCount, vcount, true);
}

optimizer_data optimize_vects(const MarkTable& ftable, unsigned NodCount, unsigned vcount) {
  optimizer_data d;
  MarkRow merged(NodCount, 'X');
  std::vector<bool> used(vcount, false);
  for (;;) {
    unsigned best = 0, bestGain = 0;
    for (unsigned v = 0; v < vcount; ++v) {
      if (used[v]) continue;
      unsigned gain = diff_coverage(merged.data(), ftable[v].data(), NodCount);
      if (gain > bestGain) {
        bestGain = gain;
        best = v;
      }
    }
    if (bestGain == 0) break;
    used[best] = true;
    AddVect(merged.data(), ftable[best].data(), NodCount);
    d.order.push_back(best);
    d.weights.push_back(bestGain);
    ++d.vect_cnt;
  }
  return d;
}

std::string print_vects(const std::vector<unsigned char>& row) {
  std::string s;
  for (uint32_t i = 0; i < VarCount && i < row.size(); ++i) {
    const char* digits = i < InpCount + ConCount ? "01" : i < VarCount - OutCount ? "lh" : "LH";
    s.push_back(row[i] == 0 ? digits[0] : row[i] == 1 ? digits[1] : static_cast<char>(row[i]));
  }
  return s;
}

namespace emu {

float coverage_f(const char* faults, unsigned NodCount) {
  if (NodCount == 0) return 0.0f;
  long double w = coverage_i(faults, NodCount);
  return static_cast<float>(w * 100.0L / (2.0L * NodCount));
}

unsigned optimize_length(const MarkTable& ftable, const char* target, unsigned count) {
  unsigned goal = coverage_i(target, NodCount);
  MarkRow work(NodCount, 'X');
  unsigned weight = 0;
  for (unsigned i = 0; i < count; ++i) {
    const MarkRow& row = ftable[i];
    for (unsigned n = 0; n < NodCount; ++n) {
      char& w = work[n];
      char r = row[n];
      char before = w;
      if (w == 'X' || w == 'x')
        w = r;
      else if (w == '0' && r == '1')
        w = '&';
      else if (w == '1' && r == '0')
        w = '&';
      weight += coverage_one(w) - coverage_one(before);
    }
    if (weight >= goal) return i + 1;
  }
  return count;
}

}  // namespace emu
