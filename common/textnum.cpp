#include "textnum.h"

#include <cctype>

long long AtoiAt(const std::string& s, size_t pos) {
  while (pos < s.size() && isspace(static_cast<unsigned char>(s[pos]))) ++pos;
  bool neg = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) neg = s[pos++] == '-';
  long long v = 0;
  while (pos < s.size() && isdigit(static_cast<unsigned char>(s[pos]))) {
    if (v < 10000000000LL) v = v * 10 + (s[pos] - '0');
    ++pos;
  }
  return neg ? -v : v;
}

bool ScanUnsigned(const std::string& s, size_t& pos, unsigned long& value) {
  while (pos < s.size() && isspace(static_cast<unsigned char>(s[pos]))) ++pos;
  if (pos >= s.size() || !isdigit(static_cast<unsigned char>(s[pos]))) return false;
  unsigned long long v = 0;
  while (pos < s.size() && isdigit(static_cast<unsigned char>(s[pos]))) {
    v = v * 10 + static_cast<unsigned>(s[pos] - '0');
    if (v > 0xffffffffULL) return false;
    ++pos;
  }
  value = static_cast<unsigned long>(v);
  return true;
}
