// Random input values for the random and genetic test generators: each row
// takes one GetRnd value per 32 inputs, least significant bit first.
#pragma once
#include <cstdint>
#include <vector>

// Fills the input columns of one pattern row with 0 and 1.  The last value
// drawn supplies the remaining InpCount mod 32 inputs, so a row always
// draws InpCount / 32 + 1 values (one unused when the count is a multiple of 32).
void FillRandomRow(std::vector<unsigned char>& row);

// The same for the rows first .. last-1 of vects, in order.
void FillRandomInputs(uint32_t first, uint32_t last);
