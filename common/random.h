// The shared reproducible random source: two multiplicative congruential
// streams whose low 16-bit halves are joined into one 32-bit number.  Without
// Randomize every run draws the same sequence.
#pragma once
#include <cstdint>

extern int32_t seed1;
extern int32_t seed2;

constexpr int32_t m1 = 2147483563, a1 = 40014, _konstant_q1 = 53668, _konstant_r1 = 12211;
constexpr int32_t m2 = 2147483399, a2 = 40692, _konstant_q2 = 52774, _konstant_r2 = 3791;

// Advances both streams one step; (low half of seed1) << 16 | low half of seed2.
uint32_t GetRnd();
// Seeds both streams from the calendar time in seconds, then steps each once.
void Randomize();
