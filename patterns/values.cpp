#include "values.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "messages.h"
#include "mudel.h"
#include "vector.h"

std::vector<BusEntry> BuildBusList() {
  std::vector<BusEntry> buses;
  for (uint32_t i = 0; i < InpCount; ++i) {
    const std::string& full = VarNames[i];
    size_t bracket = full.find('[');
    std::string base = full.substr(0, bracket);
    bool grown = false;
    if (bracket != std::string::npos) {
      for (size_t b = 0; b < buses.size() && !grown; ++b) {
        if (buses[b].name != base) continue;
        ++buses[b].count;
        if (b + 1 != buses.size()) buses[b].consecutive = false;
        grown = true;
      }
    }
    if (!grown) buses.push_back(BusEntry{base, 1, true});
  }
  return buses;
}

bool ParseValue(const std::string& w, uint32_t& value) {
  uint64_t v = 0;
  auto digits = [&](size_t from, unsigned base) {
    if (from >= w.size()) return false;
    for (size_t i = from; i < w.size(); ++i) {
      char c = w[i];
      unsigned d;
      if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
      else if (base == 16 && c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
      else return false;
      if (d >= base) return false;
      v = v * base + d;
      if (v > 0xffffffffULL + 1) return false;  // room for -2^31 .. 2^32-1 only
    }
    return true;
  };
  if (w == "0") {
    value = 0;
    return true;
  }
  if (w.size() >= 2 && w[0] == '0') {
    bool ok = (w[1] == 'b' && digits(2, 2)) || (w[1] == 'x' && digits(2, 16));
    if (!ok || v > 0xffffffffULL) return false;
    value = static_cast<uint32_t>(v);
    return true;
  }
  if (!w.empty() && w[0] == '-') {
    if (!digits(1, 10) || v > 0x80000000ULL) return false;
    value = static_cast<uint32_t>(-static_cast<int64_t>(v));
    return true;
  }
  if (!digits(0, 10) || v > 0xffffffffULL) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

std::vector<ValueList> ReadValues(const std::string& path) {
  std::ifstream in(path);
  if (!in) Error(Format("Could not open file %s", path.c_str()), -1);
  std::vector<ValueList> lists;
  std::string line, word;
  while (std::getline(in, line)) {
    std::istringstream words(line);  // blanks and tabs alike separate words
    if (!(words >> word) || word.back() != ':') continue;
    ValueList list;
    list.name = word.substr(0, word.size() - 1);
    bool repeated = false;
    for (const ValueList& l : lists) repeated = repeated || l.name == list.name;
    if (repeated) {
      TextOut(Format("Input %s has been already defined in file %s, ignoring.\n", list.name.c_str(), path.c_str()));
      continue;
    }
    while (words >> word) {
      uint32_t v;
      if (!ParseValue(word, v))
        Error(Format("Error in file %s at vector %s, check vector values", path.c_str(), list.name.c_str()), -1);
      list.values.push_back(v);
    }
    lists.push_back(list);
  }
  // A directory opens but cannot be read; no test is made from half a file.
  if (in.bad()) Error(Format("Could not open file %s", path.c_str()), -1);
  return lists;
}

const ValueList* FindValues(const std::vector<ValueList>& lists, const std::string& base) {
  for (const ValueList& l : lists)
    if (l.name == base) return &l;
  for (const ValueList& l : lists)
    if (l.name.compare(0, base.size(), base) == 0) return &l;
  return nullptr;
}

uint32_t PatternCount(const std::vector<ValueList>& lists, const std::string& path) {
  size_t count = 0;
  for (const ValueList& l : lists) count = std::max(count, l.values.size());
  for (const ValueList& l : lists)
    if (l.values.size() < count)
      Error(Format("Error in file %s at vector %s, too few vector values", path.c_str(), l.name.c_str()), -1);
  return static_cast<uint32_t>(count);
}

void LayValues(const std::vector<BusEntry>& buses, const std::vector<ValueList>& lists) {
  std::vector<const ValueList*> found;
  for (const BusEntry& b : buses) {
    // A bus's bits go to consecutive columns, so its members must be
    // consecutive inputs and its width within a value's 32 bits.
    if (!b.consecutive) Error(Format("Inputs of bus %s are not consecutive", b.name.c_str()), -1);
    if (b.count > 32) Error(Format("Bus %s is wider than 32 bits", b.name.c_str()), -1);
    const ValueList* l = FindValues(lists, b.name);
    if (l == nullptr)
      Error(Format("Did not find values for input %s%s", b.count > 1 ? "bus " : "", b.name.c_str()), -1);
    found.push_back(l);
  }
  for (uint32_t i = 0; i < vcount; ++i) {
    uint32_t j = 0;
    for (size_t b = 0; b < buses.size(); ++b) {
      uint32_t v = found[b]->values[i];
      for (uint32_t l = 0; l < buses[b].count; ++l) vects[i][j++] = (v >> (buses[b].count - l - 1)) & 1;
    }
  }
}
