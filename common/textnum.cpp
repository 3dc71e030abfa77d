#include "textnum.h"

#include <cctype>
#include <climits>

#include "messages.h"

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

bool WholeNumber(const char* text, long long lo, long long hi, long long& value) {
  if (text == nullptr) return false;
  const char* p = text;
  bool neg = *p == '-';
  if (neg && lo >= 0) return false;  // "-0" is no count either
  if (neg) ++p;
  if (!isdigit(static_cast<unsigned char>(*p))) return false;
  // Accumulate as a magnitude with a ceiling, so no length of digits overflows.
  const unsigned long long ceiling = 1ULL << 63;
  unsigned long long mag = 0;
  for (; *p; ++p) {
    if (!isdigit(static_cast<unsigned char>(*p))) return false;
    if (mag <= ceiling) mag = mag * 10 + static_cast<unsigned>(*p - '0');
  }
  if (neg) {
    if (mag > ceiling) return false;
    long long v = mag == ceiling ? LLONG_MIN : -static_cast<long long>(mag);
    if (v < lo || v > hi) return false;
    value = v;
  } else {
    if (mag >= ceiling || static_cast<long long>(mag) < lo || static_cast<long long>(mag) > hi) return false;
    value = static_cast<long long>(mag);
  }
  return true;
}

long long NumberOption(const char* text, long long lo, long long hi, const char* message) {
  long long v = 0;
  if (!WholeNumber(text, lo, hi, v)) Errors(message, text ? text : "", -1);
  return v;
}
