#include "randfill.h"

#include "mudel.h"
#include "random.h"
#include "vector.h"

void FillRandomRow(std::vector<unsigned char>& row) {
  uint32_t words = InpCount / 32 + 1;
  for (uint32_t w = 0; w < words; ++w) {
    uint32_t value = GetRnd();
    uint32_t first = 32 * w;
    uint32_t end = first + 32 < InpCount ? first + 32 : InpCount;
    for (uint32_t i = first; i < end; ++i) row[i] = (value >> (i - first)) & 1u;
  }
}

void FillRandomInputs(uint32_t first, uint32_t last) {
  for (uint32_t r = first; r < last; ++r) FillRandomRow(vects[r]);
}
