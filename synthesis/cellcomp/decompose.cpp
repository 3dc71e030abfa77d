// Decomposer and library writer of the cell-library compiler: the normalised
// expression becomes fan-out branches, inverters and AND/NAND/OR/NOR gates,
// level by level from the deepest group up, so that every gate reads rows
// written before it.
#include "converter.h"

#include <set>

#include "cellcomp_strings.h"

const char* const nammas[11] = {"from", "not", "and", "nand", "or", "nor",
                                "inpt", "buff", "flipflop", "inpt", "buff"};

namespace {
enum { T_FROM = 0, T_NOT = 1, T_AND = 2, T_OR = 4, T_BUFF = 10 };
}

bool converter::isop(char c) { return c == '!' || c == '(' || c == ')' || c == '*' || c == '+'; }

void converter::decompose() {
  allocinputs();
  scaninputs();
  allocgates();
  prevlevel.clear();
  curlevel.clear();
  if (gatecount()) {
    for (int level = maxdepth(); level >= 1; --level) levelgates(level);
    // Every counted gate must have been made, and the last one is the output.
    if (static_cast<int>(gatetab.size()) != gates) {
      errcode = E_UNKNOWN;
      err();
    }
  }
  prevlevel.clear();
  curlevel.clear();
  writecell();
  freeinputs();
  freegates();
}

void converter::allocinputs() {
  inputtab.clear();
  inputs = 0;
}

void converter::scaninputs() {
  for (size_t i = 0; i < expr.size();) {
    if (isop(expr[i])) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < expr.size() && !isop(expr[i])) ++i;
    std::string name = expr.substr(start, i - start);
    int k = findinput(name);
    if (k >= 0) {
      ++inputtab[k].uses;
      continue;
    }
    if (name.size() > kMaxOutName) {
      errcode = E_NAMELONG;
      err();
    }
    inputtab.push_back({name, 0});
    ++inputs;
  }
}

int converter::findinput(const std::string& name) const {
  for (size_t k = 0; k < inputtab.size(); ++k)
    if (inputtab[k].name == name) return static_cast<int>(k);
  return -1;
}

void converter::allocgates() {
  gatetab.clear();
  gates = 0;
}

int converter::countbranches() const {
  int n = 0;
  for (const CellInputRec& in : inputtab)
    if (in.uses != 0) n += in.uses + 1;
  return n;
}

int converter::countgroups() const {
  int n = 0;
  for (char c : expr)
    if (c == '(') ++n;
  return n;
}

int converter::countnots() const {
  int n = 0;
  for (size_t i = 0; i < expr.size(); ++i)
    if (expr[i] == '!' && (i + 1 == expr.size() || expr[i + 1] != '(')) ++n;
  return n;
}

bool converter::gatecount() {
  nextrow = inputs;
  gates = countbranches() + countgroups() + countnots();
  if (gates == 0) {
    // A single name: the cell passes it on (constant names included).
    gatetab.push_back({T_BUFF, {0}});
    gates = 1;
    return false;
  }
  if (expr[0] == '!' && expr.find_first_of("!()*+", 1) == std::string::npos) {
    // Exactly one negated name: one inverter.
    gatetab.push_back({T_NOT, {0}});
    gates = 1;
    return false;
  }
  if (inputs + gates > kMaxRows) {
    errcode = E_ROWS;
    errname(cellname);
  }
  return true;
}

int converter::maxdepth() const {
  int depth = 0, most = 0;
  for (char c : expr) {
    if (c == '(') most = std::max(most, ++depth);
    else if (c == ')') --depth;
  }
  return most;
}

size_t converter::nextgroup(size_t from, int level) const {
  int depth = 0;
  for (size_t i = 0; i < expr.size(); ++i) {
    if (expr[i] == '(') {
      ++depth;
      if (depth == level && i >= from) return i;
    } else if (expr[i] == ')') {
      --depth;
    }
  }
  return std::string::npos;
}

size_t converter::matchparen(size_t open) {
  int depth = 0;
  for (size_t i = open; i < expr.size(); ++i) {
    if (expr[i] == '(') ++depth;
    else if (expr[i] == ')' && --depth == 0) return i;
  }
  errcode = E_UNKNOWN;
  err();
}

int converter::addgate(int type, std::vector<int> fanin) {
  if (static_cast<int>(gatetab.size()) >= gates) {
    errcode = E_UNKNOWN;
    err();
  }
  gatetab.push_back({type, std::move(fanin)});
  return nextrow++;
}

void converter::levelgates(int level) {
  size_t consumed = 0;
  curlevel.clear();
  for (size_t p = nextgroup(0, level); p != std::string::npos; p = nextgroup(p + 1, level)) {
    std::vector<int> fanin;
    char op = 0;
    size_t j = p + 1;
    while (j < expr.size() && expr[j] != ')') {
      bool negated = false;
      if (expr[j] == '!') {
        negated = true;
        ++j;
      }
      int row;
      if (j < expr.size() && expr[j] == '(') {
        // The group's gate was made one level down; a '!' in front of it is
        // already in that gate's type.
        if (consumed >= prevlevel.size()) {
          errcode = E_UNKNOWN;
          err();
        }
        row = prevlevel[consumed++];
        j = matchparen(j) + 1;
      } else {
        size_t start = j;
        while (j < expr.size() && !isop(expr[j])) ++j;
        int k = findinput(expr.substr(start, j - start));
        if (k < 0) {
          errcode = E_UNKNOWN;
          err();
        }
        row = k;
        if (inputtab[k].uses != 0) row = addgate(T_FROM, {row});
        if (negated) row = addgate(T_NOT, {row});
      }
      if (fanin.size() == kMaxOperands) {
        errcode = E_OPERANDS;
        errname(cellname);
      }
      fanin.push_back(row);
      if (j < expr.size() && (expr[j] == '*' || expr[j] == '+')) {
        if (op == 0) op = expr[j];
        ++j;
      }
    }
    if (op == 0) {  // a group without an operator never gets this far
      errcode = E_UNKNOWN;
      err();
    }
    int type = op == '*' ? T_AND : T_OR;
    if (p > 0 && expr[p - 1] == '!') ++type;  // nand, nor
    curlevel.push_back(addgate(type, std::move(fanin)));
  }
  prevlevel = curlevel;
}

std::string converter::gatename(int type) {
  std::string name = std::string(nammas[type]) + std::to_string(counters[type]++);
  if (name.size() > kMaxName) {
    errcode = E_NAMELONG;
    err();
  }
  return name;
}

// The library reader finds a cell's pins by name ignoring case, so two rows
// whose names differ only in case could never be told apart.
void converter::checknames(const std::vector<std::string>& names) {
  std::set<std::string> seen;
  for (const std::string& n : names) {
    if (!seen.insert(cellcomp::strlwr(n)).second) {
      errcode = E_NAMETWICE;
      errname(n);
    }
  }
}

void converter::writecell() {
  for (int& c : counters) c = 0;
  std::vector<std::string> names;
  for (const CellInputRec& in : inputtab) names.push_back(in.name);
  for (int g = 0; g < gates; ++g)
    names.push_back(g == gates - 1 ? outname : gatename(gatetab[g].type));
  checknames(names);

  fprintf(lib, "\"%s\" %d\n", cellname.c_str(), inputs + gates);
  for (int k = 0; k < inputs; ++k)
    fprintf(lib, "%d\t%s inpt %d 0\n", k, inputtab[k].name.c_str(), inputtab[k].uses + 1);
  for (int g = 0; g < gates; ++g) {
    const CellGateRec& gate = gatetab[g];
    fprintf(lib, "%d\t%s %s %d %d\n", inputs + g, names[inputs + g].c_str(), nammas[gate.type],
            g == gates - 1 ? 0 : 1, static_cast<int>(gate.fanin.size()));
    for (int f : gate.fanin) fprintf(lib, "%d ", f);
    fprintf(lib, "\n");
  }
  fprintf(lib, "\n");
}

void converter::freeinputs() {
  inputtab.clear();
  inputs = 0;
}

void converter::freegates() {
  gatetab.clear();
  gates = 0;
}
