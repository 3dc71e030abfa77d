#include "lists.h"

#include <cstring>

namespace {
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
}  // namespace

int list::find(const std::string& key) const {
  for (size_t i = 0; i < items.size(); ++i)
    if (stricmp(items[i].name, key) == 0) return static_cast<int>(i);
  return -1;
}

int isdesign(const list& l, const std::string& lib, const std::string& cell) {
  for (const object& o : l.items)
    if (stricmp(o.name, lib) == 0 && stricmp(o.value, cell) == 0) return 1;
  return 0;
}

int stringlist::find(const std::string& key) const {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == key) return static_cast<int>(i);
  return -1;
}

int stringlist::ifind(const std::string& key) const {
  for (size_t i = 0; i < items.size(); ++i)
    if (stricmp(items[i], key) == 0) return static_cast<int>(i);
  return -1;
}

int intlist::find(int key) const {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == key) return static_cast<int>(i);
  return -1;
}

int stricmp(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(lower(a[i]));
    unsigned char y = static_cast<unsigned char>(lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string& strupr(std::string& s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

std::string& strlwr(std::string& s) {
  for (char& c : s) c = lower(c);
  return s;
}

std::string itoa(int value) { return std::to_string(value); }

bool starts_with(const std::string& s, const char* prefix) {
  return s.compare(0, strlen(prefix), prefix) == 0;
}
