#include "random.h"

#include <ctime>

int32_t seed1 = 16777215;
int32_t seed2 = 255;

namespace {

// Schrage's method keeps every product within 32 bits.
int32_t Step(int32_t s, int32_t a, int32_t m, int32_t q, int32_t r) {
  s = (s % q) * a - (s / q) * r;
  if (s < 0) s += m;
  return s;
}

}  // namespace

uint32_t GetRnd() {
  seed1 = Step(seed1, a1, m1, _konstant_q1, _konstant_r1);
  seed2 = Step(seed2, a2, m2, _konstant_q2, _konstant_r2);
  return (static_cast<uint32_t>(seed1 & 0xFFFF) << 16) | static_cast<uint32_t>(seed2 & 0xFFFF);
}

void Randomize() {
  seed1 = static_cast<int32_t>(time(nullptr));
  seed2 = static_cast<int32_t>(time(nullptr));
  seed1 = Step(seed1, a1, m1, _konstant_q1, _konstant_r1);
  seed2 = Step(seed2, a2, m2, _konstant_q2, _konstant_r2);
}
