// The cell-library compiler.  One `converter` per run reads the cell records
// of a library source one by one, brings each Boolean expression into a fully
// bracketed form, breaks it into a small network of gates and writes it as one
// cell of the QZ library file that the synthesis programs read.
#pragma once
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "outfile.h"

// One input of the cell in hand; `uses` counts the uses beyond the first.
struct CellInputRec {
  std::string name;
  int uses = 0;
};

// One gate of the cell in hand: its type code and the rows it reads.
struct CellGateRec {
  int type = 0;
  std::vector<int> fanin;
};

class converter {
 public:
  // Limits of one cell.  Row numbers and fan-in counts must fit the signed
  // bytes of the library reader; a larger cell is refused, never truncated.
  static constexpr size_t kMaxName = 255;     // cell name, generated names
  static constexpr size_t kMaxOutName = 31;   // output and input names
  static constexpr size_t kMaxExpr = 255;     // expression, also while bracketing
  static constexpr int kMaxRows = 128;        // inputs plus gates of one cell
  static constexpr size_t kMaxOperands = 64;  // operands of one group

  // Index into the message table (every entry is fatal).
  enum {
    E_SWITCH, E_SOURCE, E_CREATE, E_MEMORY, E_GATENAME, E_EXPRLONG, E_NUMBER,
    E_NAMELONG, E_EXPR, E_UNKNOWN, E_NOEXPR, E_NOOUTNAME, E_NOEQUALS, E_ROWS,
    E_OPERANDS, E_CELLTWICE, E_NAMETWICE, E_SAMEFILE, E_CONTROL, E_CONSTANT
  };
  static const char* const errmsg[];

  // Prints the banner, checks the command line, opens both files.
  converter(int argc, char** argv);
  // An object without files, for working on single expressions.
  converter() = default;

  void options(int count, char** words);
  void run();

  [[noreturn]] void err();
  // The same report naming the offending name first.
  [[noreturn]] void errname(const std::string& name);

  // Source reading.
  int getch();
  void ungetch(int c);
  static bool isblankch(int c);
  // A control character other than a blank: it would cut or merge names
  // in the library, so it is refused in names and expressions.
  static bool iscontrolch(int c);
  void skipline();
  bool getkw();
  void gethead();
  void getname();
  void getnr();
  void getexpr();

  // Normaliser.
  void normalize();
  void checkexpr();
  void unnegate();
  bool hastopop() const;
  size_t closedside(size_t star, int step);
  size_t leftclosed(size_t star);
  size_t rightclosed(size_t star);
  void bracket(size_t left, size_t right);
  void insertch(size_t at, char c);

  // Decomposer and writer.
  void decompose();
  static bool isop(char c);
  void allocinputs();
  void scaninputs();
  int findinput(const std::string& name) const;
  void allocgates();
  bool gatecount();
  int countbranches() const;
  int countgroups() const;
  int countnots() const;
  int maxdepth() const;
  void levelgates(int level);
  size_t nextgroup(size_t from, int level) const;
  size_t matchparen(size_t open);
  int addgate(int type, std::vector<int> fanin);
  std::string gatename(int type);
  void checknames(const std::vector<std::string>& names);
  void writecell();
  void freeinputs();
  void freegates();

  // Files.
  std::string srcpath, libpath;
  std::string text;  // the whole source
  size_t pos = 0;    // reading position in `text`
  OutFile libfile;
  FILE* lib = nullptr;

  int line = 0;  // 0 until reading starts: messages then carry no line
  bool asyl = false;
  bool octtools = false;
  int errcode = 0;

  std::string cellname;
  std::string outname;
  std::string expr;
  std::set<std::string> cellnames;  // lower-case names of the cells so far

  // Decomposition state of the cell in hand.
  std::vector<CellInputRec> inputtab;
  int inputs = 0;
  std::vector<CellGateRec> gatetab;
  int gates = 0;
  int nextrow = 0;
  std::vector<int> prevlevel, curlevel;
  int counters[32] = {};
};

// Type words of the library file, index = type code.
extern const char* const nammas[11];
