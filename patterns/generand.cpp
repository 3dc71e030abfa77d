#include "generand.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "dialogue.h"
#include "messages.h"
#include "mudel.h"
#include "random.h"
#include "vector.h"

namespace {

unsigned char RandomBit() { return GetRnd() < 0x7FFFFFFFu ? 0 : 1; }

uint32_t RandomPosition() {
  uint32_t p = GetRnd() / (0xFFFFFFFFu / InpCount);
  return std::min(p, InpCount - 1);
}

// Complements `n` distinct inputs of the row.
void FlipDistinct(std::vector<unsigned char>& row, uint32_t n, std::vector<uint32_t>& taken) {
  taken.clear();
  for (uint32_t k = 0; k < n; ++k) {
    uint32_t p;
    do p = RandomPosition();
    while (std::find(taken.begin(), taken.end(), p) != taken.end());
    taken.push_back(p);
    row[p] ^= 1;
  }
}

// A whole number of at most nine digits, or 0 when the word is none.
uint32_t CountAnswer(const std::string& w) {
  if (w.empty() || w.size() > 9) return 0;
  for (char c : w)
    if (!isdigit(static_cast<unsigned char>(c))) return 0;
  return static_cast<uint32_t>(std::stoul(w));
}

}  // namespace

void FillRandomSequence(bool all_random, uint32_t changes) {
  std::vector<uint32_t> taken;
  taken.reserve(InpCount / 2 + 1);
  for (uint32_t r = 0; r < vcount; ++r) {
    std::vector<unsigned char>& row = vects[r];
    if (r == 0 || all_random) {
      for (uint32_t i = 0; i < InpCount; ++i) row[i] = RandomBit();
      continue;
    }
    const std::vector<unsigned char>& prev = vects[r - 1];
    if (changes <= InpCount / 2) {
      std::copy(prev.begin(), prev.begin() + InpCount, row.begin());
      FlipDistinct(row, changes, taken);
    } else {
      // Complement all, then change back the inputs that stay: at most
      // half of the inputs are ever drawn.
      for (uint32_t i = 0; i < InpCount; ++i) row[i] = prev[i] ^ 1;
      FlipDistinct(row, InpCount - changes, taken);
    }
  }
}

void Generand() {
  TextOut("\n\tRandom sequence generation mode\n");
  TextOut("\nPlease, give me a number of vectors to generate: ");
  uint32_t count;
  while ((count = CountAnswer(ReadAnswerWord())) == 0) TextOut("Please, give me a number of vectors as a number: ");
  TextOut("\nPlease, give me a number of bits to change:");
  TextOut(Format(" 0 to %u", InpCount));
  TextOut("\n(or 'R'- for random, 'A' - for all)\n");
  bool all_random = false;
  uint32_t changes = 0;
  for (;;) {
    std::string w = ReadAnswerWord();
    // A word longer than the answer buffer is no answer, digits or not.
    if (w.size() > kAnswerMax) {
      TextOut("Oops! Try once more: ");
      continue;
    }
    if (!w.empty() && isdigit(static_cast<unsigned char>(w[0]))) {
      uint64_t n = 0;
      for (char c : w) {
        if (isdigit(static_cast<unsigned char>(c)))
          n = std::min<uint64_t>(n * 10 + static_cast<uint64_t>(c - '0'), 0xFFFFFFFFFULL);
        else
          TextOut("Please, give me a number of bits as a number");
      }
      if (n > InpCount) {
        TextOut("\nWarning: The number of bits to change is too big\n");
        TextOut(Format("         Using the number of inputs instead: %u\n", InpCount));
        n = InpCount;
      }
      changes = static_cast<uint32_t>(n);
      break;
    }
    if (w == "r" || w == "R") {
      all_random = true;
      break;
    }
    if (w == "a" || w == "A") {
      changes = InpCount;
      break;
    }
    TextOut("Oops! Try once more: ");
  }
  vcount = count;
  functionals = 0;
  changes_were_made = 1;
  vects.clear();
  for (uint32_t r = 0; r < count; ++r) AppendRow();
  vcount = count;
  BeginProcessing("Generating vectors");
  Randomize();
  FillRandomSequence(all_random, changes);
  EndProcessing();
}
