// The flat gate netlist built while the EDIF file is walked, and everything
// derived from it: clean-up, simulation order, SSBDD graphs and writers.
#pragma once
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "lists.h"
#include "outfile.h"

class parser;

// Row type codes.
enum {
  T_FROM = 0, T_NOT = 1, T_AND = 2, T_NAND = 3, T_OR = 4, T_NOR = 5,
  T_INPT = 6, T_BUFF = 7, T_FLIPFLOP = 8, T_INPUT = 9, T_OUTPUT = 10
};
extern const char* const nammas[11];

// A name as the model file and the messages show it: array members "c_0 "
// become "c[0]".
std::string shown(const std::string& name);

// One line of the netlist.
struct rida {
  std::string name;
  unsigned char type = 0;
  int fanout = 0;
  std::vector<int> fanin;  // row numbers (positions once flattened)
  bool constant = false;   // a constant source, not a design input
};

// A port, an instance, a constant source or a flattened macro.
struct node {
  std::string name;
  int rowcount = 0;
  int first = 0;
  std::vector<std::unique_ptr<rida>> rows;  // null once deleted
};

// One SSBDD node while a graph is built.
struct tipp {
  rida* row = nullptr;
  tipp* next1 = nullptr;
  tipp* next0 = nullptr;
  int index = 0;
  int variable = -1;
  unsigned char inverted = 0;
};

class grp {
 public:
  virtual ~grp() = default;
  int base = 0;
  std::vector<tipp*> nodes;
};

struct varentry {
  rida* row;
  grp* graph;
};

class netlist {
 public:
  explicit netlist(parser& p);
  virtual ~netlist() = default;

  // Library and cell instantiation.
  bool gotogate(const std::string& name);
  int getnr();
  void getstring(std::string& buf);
  void waistln();
  void getline(node& n, int count, int& i);
  void pushport();
  void pushinstance();
  void putinfo(const std::string& name);
  bool gotomakro(const std::string& name, const std::string& cell);
  void makepatch(const std::string& name, int n);
  void mkdesign();
  void putflipflop(const std::string& cell);
  int flipflop() const { return isflipflop; }
  bool isripper(int nodeindex) const { return patchnodes.find(nodeindex) >= 0; }

  // Netlist.
  void init();
  void push(node&& n);
  rida* getrida(int number, int* nodeindex = nullptr);
  void connect(int width, const std::string& netname);
  void connect2(int one);

  // Clean-up and order.
  void postproc();
  void findsames();
  void fixnames();
  void mkorder();
  void chkfan(int portnode);
  void putmakro();
  void inports2inputs();
  void outports2outputs();

  // Synthesis and writers.
  void ag_generate();
  // The gate table, and the design-error insertion (-spec).
  void countgates();
  void SpecGen();
  void ChangeGate(const std::string& name, int type);
  void findvars();
  void mkgraphs();
  void gatelevel(rida* row, int v);
  void recu(tipp* root, int v);
  // The chain of lines from the graph's root to a node, recorded with -paths.
  struct chain_elem {
    const rida* row;
    int parent;
  };
  std::vector<chain_elem> chain;
  int stacksave(std::vector<tipp*>& w, int v);
  bool isnode(const rida& r) const;
  void pushnode(tipp* t, int v);
  void write_ag();
  // ISCAS'89 .bench input (import) and output with its "LineNames" map.
  void read_iscas89(const std::string& path);
  void write_iscas89();
  void write();
  void commit();

  std::string cellname;
  std::string outname;
  std::string targetname;

 private:
  struct libentry {
    size_t pos;
    bool ff;
  };
  [[noreturn]] void liberr();
  void open_library();
  void open_output();
  int resolve(int row);
  tipp* newtipp();
  size_t pinlimit() const;
  int refinstance();
  int portnode(const std::string& pin);
  void checkline(const std::string& text, const std::string& name);

  parser& prs;
  std::string libtext;
  size_t libpos = 0;
  std::unordered_map<std::string, libentry> libindex;
  int isflipflop = 0;
  OutFile out;
  OutFile names;  // "LineNames" of the .bench output, put in place with it

  std::vector<node> nodes;
  int rowcount = 0;
  int portcount = 0;
  std::unordered_map<std::string, int> portnames;
  std::unique_ptr<std::unordered_map<std::string, int>> hash;
  std::vector<node> makros;
  std::unordered_map<int, int> redirect;
  std::vector<int> order;                 // row numbers in simulation order
  std::unordered_map<int, int> orderpos;  // row number -> position
  intlist patchnodes;
  int constcount = 0;

  int rootcall = 0;
  std::vector<varentry> vars;
  unsigned varcount = 0, inpcons = 0, outcount = 0, ddnodes = 0;
  int inpcount = 0;
  // The first and last variable of a line (an input with branches is both
  // an input and a stem variable).
  std::unordered_map<const rida*, std::pair<int, int>> rowvars;
  std::deque<tipp> tipps;
  std::vector<std::unique_ptr<grp>> grps;
};
