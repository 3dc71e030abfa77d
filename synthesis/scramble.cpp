#include "scramble.h"

#include "messages.h"

std::vector<unsigned char> Primes;
unsigned PrimCount = 0;
unsigned P = 0, X = 0;

namespace {

constexpr unsigned kFirst = 33;  // '!'
constexpr unsigned kRange = 94;  // '!'..'~'

// The table answers below its size; beyond it trial division decides, so the
// key search never runs out of numbers whatever the length of the text.
bool Flagged(unsigned n) {
  if (n < PrimCount) return Primes[n] != 0;
  if (n == 1 || n == 2) return true;
  if (n < 2 || n % 2 == 0) return false;
  for (unsigned d = 3; d <= n / d; d += 2)
    if (n % d == 0) return false;
  return true;
}

// Inverse of p modulo m (extended Euclid); p and m share no factor.
unsigned Inverse(unsigned p, unsigned m) {
  long long r0 = m, r1 = p % m, t0 = 0, t1 = 1;
  while (r1 != 0) {
    long long q = r0 / r1;
    long long r = r0 - q * r1;
    r0 = r1;
    r1 = r;
    long long t = t0 - q * t1;
    t0 = t1;
    t1 = t;
  }
  long long x = t0 % static_cast<long long>(m);
  if (x < 0) x += m;
  return static_cast<unsigned>(x);
}

void BuildTable(size_t count) {
  if (PrimCount != 0) return;
  PrimCount = static_cast<unsigned>(count);
  Primes_init();
  MarkPrimes();
}

// The character at position j moves to position (j * key) mod n.
void Permute(std::string& s, unsigned key) {
  size_t n = s.size();
  std::string out(n, '\0');
  for (size_t j = 0; j < n; ++j) out[static_cast<size_t>((static_cast<unsigned long long>(j) * key) % n)] = s[j];
  s.swap(out);
}

void Substitute(std::string& s, unsigned key) {
  for (char& ch : s) {
    unsigned c = static_cast<unsigned char>(ch);
    if (c < kFirst || c >= kFirst + kRange) continue;
    ch = static_cast<char>(((c - kFirst) * key) % kRange + kFirst);
  }
}

}  // namespace

void Primes_init() {
  Primes.assign(PrimCount, 0);
  if (PrimCount > 1) Primes[1] = 1;
  if (PrimCount > 2) Primes[2] = 1;
}

void MarkPrimes() {
  for (unsigned n = 3; n < PrimCount; ++n) {
    bool prime = true;
    for (unsigned d = 2; d <= n / d; ++d)
      if (Primes[d] && n % d == 0) {
        prime = false;
        break;
      }
    if (prime) Primes[n] = 1;
  }
}

void MakeKeyPair(unsigned range) {
  if (range == 0) Error("The value range is zero. No encryption can be applied", -1);
  if (PrimCount == 0) BuildTable(2 * static_cast<size_t>(range) + 10);
  if (P == 0) {
    unsigned p = range / 2 + 1;
    while (!Flagged(p) || p == range) ++p;
    P = p;
  }
  // A flagged number above range/2 other than the range itself shares no
  // factor with it, so the inverse always exists.
  X = Inverse(P, range);
}

std::string& Encrypt(std::string& s) {
  BuildTable(s.size() + 200);
  if (s.size() >= 2) {
    P = 0;
    MakeKeyPair(static_cast<unsigned>(s.size()));
    Permute(s, P);
  }
  P = 0;
  MakeKeyPair(kRange);
  Substitute(s, P);
  return s;
}

std::string& Decrypt(std::string& s) {
  BuildTable(s.size() + 200);
  P = 0;
  MakeKeyPair(kRange);
  Substitute(s, X);
  if (s.size() >= 2) {
    P = 0;
    MakeKeyPair(static_cast<unsigned>(s.size()));
    Permute(s, X);
  }
  return s;
}
