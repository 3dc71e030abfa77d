// Command line, source reading and the normaliser of the cell-library
// compiler.
#include "converter.h"

#include <sys/stat.h>

#include <cctype>

#include "cellcomp_strings.h"
#include "messages.h"

const char* const converter::errmsg[] = {
    "Illegal switch",
    "Can't open library source file",
    "Can't create file",
    "Out of memory",
    "Gate name expected",
    "Boolean expression too long",
    "Number expected",
    "Name too long",
    "Error in Boolean expression",
    "Unknown data error",
    "Boolean expression expected",
    "Output name expected",
    "'=' expected after the output name",
    "Too many rows in gate",
    "Too many operands in one group",
    "Gate defined twice",
    "Name used twice in gate",
    "Library file and library source are the same file",
    "Control character in name or expression",
    "Constant in Boolean expression",
};

namespace {

const char kUsage[] = "USAGE: cellcomp  <library source> <QZ library file>\n\n";

// Reads a whole file; false on any open or read failure (a folder included).
bool ReadAll(const std::string& path, std::string& out) {
  FILE* f = fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  bool ok = ferror(f) == 0;
  fclose(f);
  return ok;
}

// Writing the library over its own source would destroy the source.
bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

converter::converter(int argc, char** argv) {
  TextOut("\n");
  TextOut("Library Converter for EDIF Netlist Parser, 1996, 1997, 1998\n\n");
  if (argc < 2) Error(kUsage, -1);
  if (argc == 2) Error("Incorrect command-line", -1);
  options(argc - 3, argv + 1);
  srcpath = argv[argc - 2];
  libpath = argv[argc - 1];

  BeginProcessing("Loading library source");
  if (!ReadAll(srcpath, text)) {
    errcode = E_SOURCE;
    err();
  }
  EndProcessing();
  BeginProcessing("Creating library file");
  if (SameFile(srcpath, libpath)) {
    errcode = E_SAMEFILE;
    err();
  }
  if (!libfile.Open(libpath)) {
    errcode = E_CREATE;
    err();
  }
  lib = libfile.fp();
  EndProcessing();
}

void converter::options(int count, char** words) {
  for (int i = count - 1; i >= 0; --i) {
    std::string w = words[i];
    if (w == "-quorbix") {
    } else if (w == "-asyl") {
      asyl = true;
    } else if (w == "-octtools") {
      octtools = true;
    } else {
      errcode = E_SWITCH;
      err();
    }
  }
}

void converter::err() { Error(errmsg[errcode], line == 0 ? -1 : line); }

void converter::errname(const std::string& name) {
  Errors(name, errmsg[errcode], line == 0 ? -1 : line);
}

void converter::run() {
  line = 1;
  BeginProcessing("Reading combinational cells from library");
  for (;;) {
    int c = getch();
    if (c == EOF) break;
    if (c == '#') {
      skipline();
      continue;
    }
    ungetch(c);
    if (!getkw()) continue;
    gethead();
    if (!cellnames.insert(cellcomp::strlwr(cellname)).second) {
      errcode = E_CELLTWICE;
      errname(cellname);
    }
    normalize();
    decompose();
  }
  // A library that could not be written completely must not look like one;
  // a write that fails after the file was created is reported like every
  // other program's result file.
  if (!libfile.Commit()) {
    lib = nullptr;
    Error("Can't create output file", -1);
  }
  lib = nullptr;
  EndProcessing();
  TextOut("\n\nSuccess!\n\n");
}

// ---- source reading ----

int converter::getch() {
  if (pos >= text.size()) return EOF;
  char c = text[pos++];
  if (c == '\n') ++line;
  return static_cast<unsigned char>(c);
}

void converter::ungetch(int c) {
  if (c == EOF || pos == 0) return;
  --pos;
  if (text[pos] == '\n') --line;
}

// A carriage return counts as a blank, so sources with DOS line ends read
// like any other.
bool converter::isblankch(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool converter::iscontrolch(int c) { return !isblankch(c) && ((c >= 0 && c < 0x20) || c == 0x7f); }

void converter::skipline() {
  int c;
  do c = getch();
  while (c != EOF && c != '\n');
}

bool converter::getkw() {
  int c;
  do c = getch();
  while (c != EOF && isblankch(c));
  std::string word;
  while (c != EOF && isalpha(c) && word.size() < 5) {
    word += static_cast<char>(c);
    c = getch();
  }
  if (word.size() == 4 && c != EOF && isblankch(c) && cellcomp::strupr(word) == "GATE") return true;
  ungetch(c);
  skipline();
  return false;
}

void converter::gethead() {
  if (asyl) {
    getnr();
    getnr();
  }
  getname();
  if (octtools) {
    getnr();
    int c;
    do c = getch();
    while (c != EOF && isblankch(c));
    ungetch(c);
    if (c != EOF && isdigit(c)) getnr();
  }
  getexpr();
  fprintf(lib, "\n:%s\n", expr.c_str());
}

void converter::getname() {
  errcode = E_GATENAME;
  int c;
  do c = getch();
  while (c != EOF && isblankch(c));
  if (c == EOF) err();
  bool quoted = c == '"';
  if (quoted) c = getch();
  cellname.clear();
  while (c != EOF && !isblankch(c)) {
    if (iscontrolch(c)) {
      errcode = E_CONTROL;
      err();
    }
    if (cellname.size() == kMaxName + (quoted ? 1 : 0)) err();
    cellname += static_cast<char>(c);
    c = getch();
  }
  if (c == EOF) err();
  if (quoted) {
    if (cellname.empty() || cellname.back() != '"') err();
    cellname.pop_back();
  }
  // A quote would cut the name line of the library; '=' or ';' means the
  // record has no name and the output assignment was taken for one.
  if (cellname.empty() || cellname.find_first_of("\"=;") != std::string::npos) err();
}

void converter::getnr() {
  errcode = E_NUMBER;
  int c;
  do c = getch();
  while (c != EOF && isblankch(c));
  int digits = 0, dots = 0;
  while (c != EOF && !isblankch(c)) {
    if (isdigit(c))
      ++digits;
    else if (c == '.' && dots == 0)
      ++dots;
    else
      err();
    c = getch();
  }
  if (c == EOF || digits == 0) err();
}

void converter::getexpr() {
  outname.clear();
  expr.clear();
  int c;
  bool equals = false;
  while ((c = getch()) != EOF) {
    if (c == '=') {
      equals = true;
      break;
    }
    if (c == ';') {
      errcode = E_NOEQUALS;
      err();
    }
    if (isblankch(c)) continue;
    if (iscontrolch(c)) {
      errcode = E_CONTROL;
      err();
    }
    if (outname.size() == kMaxOutName) {
      errcode = E_NAMELONG;
      err();
    }
    outname += static_cast<char>(c);
  }
  if (equals) {
    while ((c = getch()) != EOF && c != ';') {
      if (isblankch(c)) continue;
      if (iscontrolch(c)) {
        errcode = E_CONTROL;
        err();
      }
      if (expr.size() == kMaxExpr) {
        errcode = E_EXPRLONG;
        err();
      }
      expr += static_cast<char>(c);
    }
  }
  if (outname.empty()) {
    errcode = E_NOOUTNAME;
    err();
  }
  if (expr.empty()) {
    errcode = E_NOEXPR;
    errname(cellname);
  }
}

// ---- normaliser ----

void converter::normalize() {
  checkexpr();
  unnegate();
  if (expr.find_first_of("*+") != std::string::npos) {
    if (hastopop()) {
      insertch(expr.size(), ')');
      insertch(0, '(');
    }
    for (size_t i = 0; i < expr.size(); ++i) {
      if (expr[i] != '*') continue;
      size_t left = leftclosed(i);
      size_t right = rightclosed(i);
      if (expr[left] == '+' || expr[right] == '+') {
        bracket(left, right);
        ++i;  // the '*' moved one place to the right
      }
    }
  }
  if (expr.size() > kMaxExpr) {
    errcode = E_EXPRLONG;
    err();
  }
}

// The expression must be operands joined by '*' and '+', each operand a name
// or a parenthesised expression behind any number of '!'.  Anything else
// (unbalanced parentheses, empty operands, a stray '=') is refused here, so
// the later steps only ever see well-formed text.
void converter::checkexpr() {
  const std::string& s = expr;
  const size_t n = s.size();
  size_t i = 0;
  int depth = 0;
  errcode = E_EXPR;
  for (;;) {
    while (i < n && s[i] == '!') ++i;
    if (i < n && s[i] == '(') {
      ++depth;
      ++i;
      continue;  // an operand starts again inside the group
    }
    size_t start = i;
    while (i < n && !isop(s[i])) {
      if (s[i] == '=') err();
      ++i;
    }
    if (i == start) err();  // empty operand
    // A constant would become an input pin named "0" or "1" that no net of
    // a design can drive: constant nets are tied by the synthesis programs.
    if (i - start == 1 && (s[start] == '0' || s[start] == '1')) {
      errcode = E_CONSTANT;
      errname(cellname);
    }
    // Close the groups that end behind this operand.
    while (i < n && s[i] == ')') {
      if (depth == 0) err();
      --depth;
      ++i;
    }
    if (i == n) break;
    if (s[i] != '*' && s[i] != '+') err();
    ++i;
  }
  if (depth != 0) err();
}

// Drops parentheses that hold a single operand (such as (A), (!A) or
// ((A+B))), then cancels every pair of '!': a negated operand keeps at most
// one '!' and every group left holds an operator at its own depth.
void converter::unnegate() {
  std::vector<bool> drop(expr.size(), false);
  std::vector<size_t> open;
  std::vector<bool> hasop;
  for (size_t i = 0; i < expr.size(); ++i) {
    char c = expr[i];
    if (c == '(') {
      open.push_back(i);
      hasop.push_back(false);
    } else if (c == ')') {
      if (!hasop.back()) drop[open.back()] = drop[i] = true;
      open.pop_back();
      hasop.pop_back();
    } else if ((c == '*' || c == '+') && !hasop.empty()) {
      hasop.back() = true;
    }
  }
  std::string kept;
  for (size_t i = 0; i < expr.size(); ++i)
    if (!drop[i]) kept += expr[i];
  std::string out;
  for (size_t i = 0; i < kept.size();) {
    if (kept[i] != '!') {
      out += kept[i++];
      continue;
    }
    size_t run = 0;
    while (i < kept.size() && kept[i] == '!') ++run, ++i;
    if (run % 2 == 1) out += '!';
  }
  expr = out;
}

bool converter::hastopop() const {
  int depth = 0;
  for (char c : expr) {
    if (c == '(') ++depth;
    else if (c == ')') --depth;
    else if ((c == '*' || c == '+') && depth == 0) return true;
  }
  return false;
}

// The bound of the product around the '*' at `star` on one side (step -1:
// left, +1: right): the first bracket that opens the product's group, or the
// first '+' at the product's own depth.
size_t converter::closedside(size_t star, int step) {
  const char inner = step < 0 ? ')' : '(';  // opens a nested group on the way
  int depth = 0;
  for (long j = static_cast<long>(star) + step; j >= 0 && j < static_cast<long>(expr.size()); j += step) {
    char c = expr[static_cast<size_t>(j)];
    if (c == inner) {
      ++depth;
    } else if (c == '(' || c == ')') {
      if (depth == 0) return static_cast<size_t>(j);
      --depth;
    } else if (c == '+' && depth == 0) {
      return static_cast<size_t>(j);
    }
  }
  errcode = E_EXPR;
  err();
}

size_t converter::leftclosed(size_t star) { return closedside(star, -1); }
size_t converter::rightclosed(size_t star) { return closedside(star, 1); }

void converter::bracket(size_t left, size_t right) {
  insertch(right, ')');
  insertch(left + 1, '(');
}

// Every insertion is checked first: the bracketed form must stay within the
// expression limit.
void converter::insertch(size_t at, char c) {
  if (expr.size() + 1 > kMaxExpr) {
    errcode = E_EXPRLONG;
    err();
  }
  expr.insert(at, 1, c);
}
