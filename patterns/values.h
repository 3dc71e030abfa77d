// The values file of `patinsert` and the input buses of a model: one number
// per pattern for each input or bus, laid over the bus's inputs, most
// significant bit first.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct BusEntry {
  std::string name;      // input name cut at its first '['
  uint32_t count = 1;    // inputs of the bus
  bool consecutive = true;  // all members follow each other among the inputs
};

// Buses of the model's inputs, in input order.
std::vector<BusEntry> BuildBusList();

struct ValueList {
  std::string name;
  std::vector<uint32_t> values;  // the 32 bits of each value
};

// One value word: decimal (optionally negative), "0", "0b" binary or "0x"
// lower-case hexadecimal; false for any other word or a value that does not
// fit in 32 bits.
bool ParseValue(const std::string& word, uint32_t& value);

// Reads the name lines of a values file; errors end the run.
std::vector<ValueList> ReadValues(const std::string& path);

// The list of a bus: the name equal to its base name, else the first name
// that begins with it; null when none does.
const ValueList* FindValues(const std::vector<ValueList>& lists, const std::string& base);

// Pattern count (the most values of any name); a name with fewer ends the run.
uint32_t PatternCount(const std::vector<ValueList>& lists, const std::string& path);

// Fills the input columns of every row of vects from the lists.
void LayValues(const std::vector<BusEntry>& buses, const std::vector<ValueList>& lists);
