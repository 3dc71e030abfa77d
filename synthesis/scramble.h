// Name scrambling of the design-error record: a permutation of the
// character positions and a substitution over '!'..'~', both keyed by a pair
// of numbers derived from the range they work on, so no key is stored.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One flag per number 0 .. PrimCount-1: set for 1, 2 and every prime.
extern std::vector<unsigned char> Primes;
extern unsigned PrimCount;
// The key pair of the range in use; P == 0 asks for a new pair.
extern unsigned P, X;

void Primes_init();
void MarkPrimes();
// Derives P (when it is 0) and X, the inverse of P modulo `range`.
void MakeKeyPair(unsigned range);

// In place; the text keeps its length.  Characters outside '!'..'~' are
// left as they are by the substitution (they are still moved).
std::string& Encrypt(std::string& s);
std::string& Decrypt(std::string& s);
