// Random pattern sequences of the pattern editor: each pattern differs from
// the previous one in a given number of inputs, or is drawn wholly at random.
#pragma once
#include <cstdint>

// Fills the input columns of every row of vects (rows already allocated)
// from the shared random source as it stands, so a test can seed it first.
// `changes` is used unless `all_random`; it must not exceed InpCount.
void FillRandomSequence(bool all_random, uint32_t changes);

// The dialogue: asks for the count and the changes, replaces all patterns by
// a new sequence (seeded from the calendar time).
void Generand();
