// Growable containers and string helpers of the synthesis programs.
#pragma once
#include <string>
#include <vector>

// A name/value pair: a library cell and its rename, or a design's library
// and cell.  An empty value stands for the name itself.
struct object {
  std::string name, value;
};

class list {
 public:
  void push(const object& o) { items.push_back(o); }
  // Index of the first entry whose name equals key ignoring case, or -1.
  int find(const std::string& key) const;
  std::vector<object> items;
};

// Whether the list holds {lib, cell}, both compared ignoring case.
int isdesign(const list& l, const std::string& lib, const std::string& cell);

class stringlist {
 public:
  virtual ~stringlist() = default;
  int push(const std::string& s) {
    items.push_back(s);
    return 1;
  }
  int find(const std::string& key) const;   // case-sensitive
  int ifind(const std::string& key) const;  // ignoring case
  std::vector<std::string> items;
};

class intlist {
 public:
  virtual ~intlist() = default;
  int push(int v) {
    items.push_back(v);
    return 1;
  }
  int find(int key) const;
  std::vector<int> items;
};

// Byte-wise comparison of the two strings with 'A'..'Z' lowered.
int stricmp(const std::string& a, const std::string& b);
std::string& strupr(std::string& s);
std::string& strlwr(std::string& s);
std::string itoa(int value);
// True when `s` begins with `prefix` (case-sensitive).
bool starts_with(const std::string& s, const char* prefix);
