// The scrambling of the design-error record: round trips, the character set
// kept, and agreement with a literal search of the key pair over a prime
// table wherever that search finds a key.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "scramble.h"

namespace {

// The key search exactly as a table of flags for 1, 2 and the primes below
// `size` allows it: false when no key lies in the table.
bool LiteralPair(unsigned range, unsigned size, unsigned& p, unsigned& x) {
  std::vector<bool> flag(size, false);
  for (unsigned n = 1; n < size; ++n) {
    bool prime = n >= 2;
    for (unsigned d = 2; d * d <= n; ++d)
      if (n % d == 0) prime = false;
    flag[n] = n == 1 || prime;
  }
  p = 0;
  for (unsigned c = range / 2 + 1; c < size; ++c)
    if (flag[c] && c != range) {
      p = c;
      break;
    }
  if (p == 0) return false;
  for (unsigned c = 2; c < size; ++c)
    if (flag[c] && (static_cast<unsigned long long>(c) * p) % range == 1) {
      x = c;
      return true;
    }
  return false;
}

// Encrypt as a first call of a process would do it with the literal search;
// false when the search fails for this length.
bool LiteralEncrypt(std::string& s) {
  unsigned size = static_cast<unsigned>(s.size()) + 200;
  unsigned p, x;
  size_t n = s.size();
  if (n >= 2) {
    if (!LiteralPair(static_cast<unsigned>(n), size, p, x)) return false;
    std::string out(n, ' ');
    for (size_t j = 0; j < n; ++j) out[(j * p) % n] = s[j];
    s = out;
  }
  if (!LiteralPair(94, size, p, x)) return false;
  for (char& c : s) c = static_cast<char>(((c - 33) * p) % 94 + 33);
  return true;
}

std::string RandomText(std::mt19937& rng, size_t n) {
  std::uniform_int_distribution<int> ch('!', '~');
  std::string s(n, ' ');
  for (char& c : s) c = static_cast<char>(ch(rng));
  return s;
}

TEST(Scramble, RoundTripsEveryLengthAndMatchesTheLiteralSearch) {
  std::mt19937 rng(11);
  int literal_failures = 0;
  for (size_t n = 1; n <= 600; ++n) {
    std::string plain = RandomText(rng, n);
    std::string s = plain;
    Encrypt(s);
    ASSERT_EQ(s.size(), n);
    for (char c : s) ASSERT_TRUE(c >= '!' && c <= '~') << n;
    std::string lit = plain;
    if (LiteralEncrypt(lit))
      EXPECT_EQ(s, lit) << "length " << n;
    else
      ++literal_failures;
    Decrypt(s);
    ASSERT_EQ(s, plain) << "length " << n;
  }
  // The literal search fails for some lengths; ours must not depend on it.
  EXPECT_GT(literal_failures, 0);
}

TEST(Scramble, FixedTexts) {
  struct Case {
    const char* plain;
  } cases[] = {{"a"}, {"ab"}, {"%s\\`|%n"}, {"alice_1700000000_|G12_Orig:NAND_Spec:OR"}};
  for (const Case& c : cases) {
    std::string s = c.plain;
    Encrypt(s);
    std::string again = c.plain;
    Encrypt(again);
    EXPECT_EQ(s, again) << "the same text always gives the same word";
    if (s.size() > 1) {
      EXPECT_NE(s, c.plain);
    }
    Decrypt(s);
    EXPECT_EQ(s, c.plain);
  }
  std::string empty;
  EXPECT_EQ(Encrypt(empty), "");
}

TEST(Scramble, CharactersOutsideTheRangeAreOnlyMoved) {
  std::string plain = std::string("a b\tc") + '\x7f' + "d";
  std::string s = plain;
  Encrypt(s);
  EXPECT_EQ(std::count(s.begin(), s.end(), ' '), 1);
  EXPECT_EQ(std::count(s.begin(), s.end(), '\t'), 1);
  EXPECT_EQ(std::count(s.begin(), s.end(), '\x7f'), 1);
  Decrypt(s);
  EXPECT_EQ(s, plain);
}

TEST(Scramble, KeyPairIsInverse) {
  for (unsigned range : {2u, 3u, 4u, 94u, 254u, 255u, 600u, 1000u}) {
    P = 0;
    MakeKeyPair(range);
    EXPECT_GT(P, range / 2);
    EXPECT_NE(P, range);
    EXPECT_EQ((static_cast<unsigned long long>(P) * X) % range, 1u % range) << range;
  }
}

}  // namespace
