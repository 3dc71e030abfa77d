// The EDIF 2.0.0 reader and the driver of the synthesis programs: options,
// the walk over designs, libraries, cells and views, and the output step.
#pragma once
#include <memory>
#include <set>
#include <string>

#include "lists.h"

class netlist;

class parser {
 public:
  // `importer` selects the differences of the `import` program.
  parser(int argc, char** argv, bool importer);
  virtual ~parser();
  [[noreturn]] void run();

  // Reporting through the numbered tables; errors end the run (status 14).
  [[noreturn]] void err();
  [[noreturn]] void err(const std::string& text);
  [[noreturn]] void fail(int code, const std::string& text);
  [[noreturn]] void memerr();
  // A fatal error with a text of our own, carrying the current line.
  [[noreturn]] void fatal(const std::string& text1, const std::string& text2);
  void warn();
  void warn(const std::string& text);

  // Lexer: each operation skips white space first.
  bool getkw(std::string& kw);  // false at ')' (consumed)
  void searchkw(const char* name);
  void endconstruct();
  void searchend();
  void skipnmdef();
  void getident(std::string& buf);
  bool namedform(std::string& name, std::string& kw);
  void getnmref(std::string& buf);
  long getint();
  void getstring(std::string& buf);
  void getnmdef(std::string& name, std::string& rename);
  int _getnmdef(std::string& name);
  void _getnmref(std::string& name);
  void chkversion();
  void chklevel();
  void skipws();
  int peek();
  int getch();
  void ungetch();
  size_t tell() const { return pos; }
  void seek(size_t p) { pos = p; }

  void finddesigns();
  void handlelib();
  void handlecell(const std::string& library);
  void handleview();
  bool is_clock(const std::string& name) const;
  // A port or net name of the design: -clock, -gnd and -vdd values that no
  // such name matches are warned about once the design is read.
  void note_name(const std::string& name);
  void warn_unmatched_names() const;

  int line = 0;
  std::string edif_path, lib_path;
  int errcode = 0, warncode = 0;
  std::string token, token2;
  list libcells, designs;
  int top_count = 0;
  int iscas85 = 0, gate_level = 0, lib_cell = 0, general = 0;
  unsigned char paths = 0, spec = 0;
  std::unique_ptr<netlist> nl;
  unsigned tool = 0;
  std::string gnd, vdd;
  stringlist clocks;
  std::string cad_basic, cad_patch, cad_symbol, cad_src, cad_dst;
  bool importer = false;
  int iscas89 = 0, read_iscas89 = 0;
  bool top_done = false;      // the named design has been read
  bool view_netlist = false;   // the cell in hand has a netlist view
  bool view_contents = false;  // the view in hand had a "contents"

  static const char* const errmsg[20];
  static const char* const warnmsg[5];

 private:
  void options(int argc, char** argv);
  void check_options();
  std::string text;  // the whole EDIF file
  std::set<std::string> matched_names;  // option values met, lower case
  size_t pos = 0;
};

// The design name: the input path cut at the first '.' of its last component.
extern std::string desname;
