#include "parser.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "messages.h"
#include "netlist.h"

std::string desname;

const char* const parser::errmsg[20] = {
    "expected", "Can't open EDIF file", "Version not supported", "Only level 0 supported",
    "Out of memory", "Identifier too long", "The direction of the port not determined",
    "Can't open QZ library file", "Can't create output file", "Reference to an undefined gate",
    "Gate not in library", "Error in QZ library file", "not supported",
    "has not been previously defined", "Illegal connection", "Unknown conversion error",
    "Floating input", "Too many pins connected", "Error while ordering lines",
    "Design name not specified"};

const char* const parser::warnmsg[5] = {
    "EXTERNALs not considered", "Only celltype GENERIC considered",
    "Only celltypes GENERIC and RIPPER considered", "Gate not in library",
    "Port of an instance not described in library"};

namespace {

const char* const edifsyn_written =
    "\n\nSSBDD Synthesis from EDIF 2.0.0 Netlist, Extended Version 1.1\n(it is able to insert a "
    "design error and\nto save information about gate-level signal paths)\n\n";
const char* const edifsyn_help =
    "USAGE: edifsyn [options]  <EDIF_file>  <library_file>\n\nOPTIONS:  -gate_level         "
    "Generate gate-level model (Default: macro-level)\n          -tool <Application> Options "
    "for 'Application' are orcad,cadence\n          -gnd <Ground>       Specify the ground net "
    "name\n          -vdd <Voltage>      Specify the VDD net name\n          -clock <pinName>    "
    "Specify the clock net name\n          -lib_cell           Create library component\n       "
    "   -iscas85            Generate ISCAS'85 output\n          -general            Generate "
    "general (high-level) DD-model\n          -paths              Preserve information about "
    "gate-level signal paths\n          -spec               Create a specification (insert a "
    "design error)\n";
const char* const import_written = "\n\nSSBDD Synthesis from EDIF 2.0.0 Netlist, v4.1, 1999-2004\n\n";
const char* const import_help =
    "USAGE: import [options]  <EDIF_file>  <library_file>\n\nOPTIONS:  -gate_level         "
    "Generate gate-level model (Default: macro-level)\n          -tool <Application> Options "
    "for 'Application' are orcad,cadence\n          -read_iscas89       Read ISCAS'89 format.\n "
    "                             (No library file required!)\n          -gnd <Ground>       "
    "Specify the ground net name\n          -vdd <Voltage>      Specify the VDD net name\n      "
    "    -clock <pinName>    Specify the clock net name\n          -lib_cell           Generate "
    "QZ library format output\n                              (Do not use with -read_iscas89 "
    "option!)\n          -iscas89            Generate ISCAS'89 output\n                        "
    "      (Do not use with -read_iscas89 option!)\n          -iscas85            Generate "
    "ISCAS'85 output\n                              (Do not use with -read_iscas89 option!)\n";

bool is_ident_char(int c) { return c >= 0 && (isalnum(c) || c == '_'); }

// The design name: cut at the first '.' of the last path component, unless
// that '.' begins the component (a hidden file keeps its leading dot).
std::string design_name(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.find('.', start + 1);
  if (start >= path.size() || dot == std::string::npos) return path;
  return path.substr(0, dot);
}

}  // namespace

parser::parser(int argc, char** argv, bool importer_) : importer(importer_) {
  TextOut(importer ? import_written : edifsyn_written);
  if (argc < 3) {
    TextOut(importer ? import_help : edifsyn_help);
    exit(1);
  }
  if (argc > 3 || importer) options(argc, argv);
  check_options();
  if (tool & 2) {
    cad_basic = "basic";
    cad_patch = "patch";
    cad_symbol = "symbol";
    cad_src = "src";
    cad_dst = "dst";
  }
  if (read_iscas89) {
    // One netlist file and no library.
    edif_path = argv[argc - 1];
    TextOut("PLEASE WAIT! THE ISCAS89 PARSING CAN TAKE TIME!\n\n");
    BeginProcessing("Loading ISCAS89");
    std::ifstream in(edif_path, std::ios::binary);
    struct stat st{};
    if (!in || stat(edif_path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) Errors(edif_path, "Can't open ISCAS89 file", -1);
    EndProcessing();
    desname = design_name(edif_path);
    nl = std::make_unique<netlist>(*this);
    return;
  }
  edif_path = argv[argc - 2];
  lib_path = argv[argc - 1];
  BeginProcessing("Loading EDIF");
  {
    std::ifstream in(edif_path, std::ios::binary);
    struct stat st{};
    if (!in || stat(edif_path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) fail(1, "");
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
  }
  EndProcessing();
  desname = design_name(edif_path);
  nl = std::make_unique<netlist>(*this);
}

parser::~parser() = default;

void parser::options(int argc, char** argv) {
  int last = argc - 3;  // words 1..argc-3 are options
  // With the ISCAS'89 input there is one file argument: every word before it is an option.
  if (importer)
    for (int i = 1; i <= argc - 2; ++i)
      if (strcmp(argv[i], "-read_iscas89") == 0) last = argc - 2;
  for (int i = 1; i <= last; ++i) {
    std::string w = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 > last) Errors("Missing value of switch", w, -1);
      return argv[++i];
    };
    if (w.empty() || w[0] != '-') Errors("Illegal switch", w, -1);
    if (w == "-tool") {
      std::string v = value();
      if (v == "orcad")
        tool |= 1;
      else if (v == "cadence")
        tool |= 2;
      else
        Errors("Illegal switch", v, -1);
    } else if (w == "-gnd") {
      gnd = value();
    } else if (w == "-vdd") {
      vdd = value();
    } else if (w == "-clock") {
      clocks.push(value());
    } else if (w == "-gate_level") {
      ++gate_level;
    } else if (w == "-lib_cell") {
      ++iscas85;
      ++lib_cell;
    } else if (w == "-iscas85") {
      ++iscas85;
    } else if (w == "-general") {
      ++general;
    } else if (!importer && w == "-paths") {
      if (spec)
        Errors("Can't generate the specification and save gate-level signal paths at the same time",
               "", -1);
      ++paths;
    } else if (!importer && w == "-spec") {
      if (paths)
        Errors("Can't generate the specification and save gate-level signal paths at the same time",
               "", -1);
      ++spec;
      ++gate_level;
    } else if (importer && w == "-iscas89") {
      ++iscas89;
    } else if (importer && w == "-read_iscas89") {
      ++read_iscas89;
    } else {
      Errors("Illegal switch", w, -1);
    }
  }
}

// Combinations that would write the wrong kind of file.
void parser::check_options() {
  if (spec && iscas85) Errors("Illegal switch", lib_cell ? "-lib_cell" : "-iscas85", -1);
  if (paths && gate_level) Errors("Illegal switch", "-gate_level", -1);
  if (paths && iscas85) Errors("Illegal switch", lib_cell ? "-lib_cell" : "-iscas85", -1);
  if (iscas89 && iscas85) Errors("Illegal switch", "-iscas89", -1);
  if (general && (iscas85 || iscas89)) Errors("Illegal switch", "-general", -1);
  // The ISCAS'89 input makes a model only; its usage says which switches to leave out.
  if (read_iscas89 && lib_cell) Errors("Illegal switch", "-lib_cell", -1);
  if (read_iscas89 && iscas85) Errors("Illegal switch", "-iscas85", -1);
  if (read_iscas89 && iscas89) Errors("Illegal switch", "-iscas89", -1);
}

void parser::err() { Error(errmsg[errcode], line ? line : -1); }
void parser::err(const std::string& t) { Errors(t, errmsg[errcode], line ? line : -1); }
void parser::fail(int code, const std::string& t) {
  errcode = code;
  if (t.empty()) err();
  err(t);
}
void parser::memerr() {
  errcode = 4;
  line = 0;
  err();
}
void parser::fatal(const std::string& t1, const std::string& t2) { Errors(shown(t1), t2, line ? line : -1); }
void parser::warn() { Warning(warnmsg[warncode], line ? line : -1); }
void parser::warn(const std::string& t) { Warnings(t, warnmsg[warncode], line ? line : -1); }

bool parser::is_clock(const std::string& name) const { return clocks.ifind(name) >= 0; }

void parser::note_name(const std::string& name) {
  if (is_clock(name) || (!gnd.empty() && stricmp(name, gnd) == 0) || (!vdd.empty() && stricmp(name, vdd) == 0)) {
    std::string low = name;
    matched_names.insert(strlwr(low));
  }
}

// A misspelt name, or a cell's pin name where the design's port is meant,
// would otherwise give another model without a word (an input that nothing
// reads, a net left floating).
void parser::warn_unmatched_names() const {
  auto check = [&](const char* option, const std::string& value) {
    std::string low = value;
    if (!value.empty() && matched_names.count(strlwr(low)) == 0)
      fprintf(stderr, "\nWarning: %s %s: no net or port of that name!\n", option, value.c_str());
  };
  std::set<std::string> told;
  for (const std::string& c : clocks.items) {
    std::string low = c;
    if (told.insert(strlwr(low)).second) check("-clock", c);
  }
  check("-gnd", gnd);
  check("-vdd", vdd);
  fflush(stderr);
}

// ---------------------------------------------------------------- lexer

int parser::getch() {
  if (pos >= text.size()) {
    ++pos;  // so that ungetch after the end stays at the end
    return -1;
  }
  return static_cast<unsigned char>(text[pos++]);
}
void parser::ungetch() {
  if (pos > 0) --pos;
}
int parser::peek() { return pos < text.size() ? static_cast<unsigned char>(text[pos]) : -1; }

void parser::skipws() {
  while (pos < text.size()) {
    char c = text[pos];
    if (c == '\n')
      ++line;
    else if (c != ' ' && c != '\t' && c != '\r')
      break;
    ++pos;
  }
}

bool parser::getkw(std::string& kw) {
  skipws();
  int c = getch();
  if (c == ')') {
    kw.clear();
    return false;
  }
  if (c != '(') fail(0, "(");
  skipws();
  getident(kw);
  return true;
}

void parser::searchkw(const char* name) {
  skipws();
  if (getch() != '(') fail(0, "(");
  skipws();
  std::string w;
  while (is_ident_char(peek()) || (w.empty() && peek() == '&')) {
    int c = getch();
    if (c != '&') w += static_cast<char>(c);
    if (w.size() > 255) fail(5, "");
  }
  int c = peek();
  bool delim = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '(' || c == ')';
  if (stricmp(w, name) == 0 && delim) return;
  // A word that goes on past the keyword names the keyword in lower case.
  std::string lower = name;
  if (w.size() > lower.size() && stricmp(w.substr(0, lower.size()), lower) == 0) fail(0, strlwr(lower));
  fail(0, name);
}

void parser::endconstruct() {
  int depth = 1;
  for (;;) {
    int c = getch();
    if (c < 0) fail(0, ")");
    if (c == '\n') {
      ++line;
    } else if (c == '"') {
      for (;;) {
        int d = getch();
        if (d < 0 || d == '\n') fail(0, ")");
        if (d == '"') break;
      }
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) return;
    }
  }
}

void parser::searchend() {
  skipws();
  if (getch() != ')') fail(0, ")");
}

void parser::skipnmdef() {
  skipws();
  int c = peek();
  if (c == '(') {
    getch();
    endconstruct();
  } else if (c >= 0 && (isalpha(c) || c == '&')) {
    std::string dummy;
    getident(dummy);
  } else {
    fail(0, "Name definition");
  }
}

void parser::getident(std::string& buf) {
  buf.clear();
  skipws();
  int c = peek();
  if (c == '&') {
    getch();
    c = peek();
  }
  if (!is_ident_char(c)) fail(0, "Identifier");
  while (is_ident_char(peek())) {
    if (buf.size() >= 255) fail(5, "");
    buf += static_cast<char>(getch());
  }
}

// A name: a plain identifier or "(name id ...)", both read here (result
// false); any other construct is opened and its keyword left in `kw` for the
// caller (result true).
bool parser::namedform(std::string& name, std::string& kw) {
  skipws();
  if (peek() != '(') {
    getident(name);
    return false;
  }
  getkw(kw);
  if (stricmp(kw, "name") != 0) return true;
  getident(name);
  endconstruct();
  return false;
}

void parser::getnmref(std::string& buf) {
  std::string kw;
  if (namedform(buf, kw)) fail(0, "Name Reference");
}

long parser::getint() {
  skipws();
  int sign = 1;
  if (peek() == '+' || peek() == '-') sign = getch() == '-' ? -1 : 1;
  if (peek() < 0 || !isdigit(peek())) fail(0, "integer token");
  long v = 0;
  while (peek() >= 0 && isdigit(peek())) {
    v = v * 10 + (getch() - '0');
    if (v > 1000000000L) fail(0, "integer token");
  }
  return sign * v;
}

void parser::getstring(std::string& buf) {
  buf.clear();
  skipws();
  if (getch() != '"') fail(0, "String token");
  for (;;) {
    int c = getch();
    if (c < 0) fail(0, "\"");
    if (c == '"') return;
    if (c == '\n') {
      ++line;
      continue;
    }
    if (c == '%') {
      for (;;) {
        while (peek() == ' ' || peek() == '\t') getch();
        if (peek() == '%') {
          getch();
          break;
        }
        if (peek() < 0 || !isdigit(peek())) fail(0, "Ascii character");
        int code = 0;
        while (peek() >= 0 && isdigit(peek())) {
          code = code * 10 + (getch() - '0');
          if (code > 255) fail(0, "Ascii character");
        }
        if (buf.size() < 255) buf += static_cast<char>(code);
      }
      continue;
    }
    if (c >= 'A' && c <= 'Z') c += 32;
    if (buf.size() < 255) buf += static_cast<char>(c);
  }
}

void parser::getnmdef(std::string& name, std::string& rename) {
  rename.clear();
  std::string kw;
  if (!namedform(name, kw)) return;
  if (stricmp(kw, "rename") == 0) {
    getnmref(name);
    skipws();
    if (peek() == '"') getstring(rename);
    endconstruct();
  } else {
    fail(0, "NameDef");
  }
}

int parser::_getnmdef(std::string& name) {
  skipws();
  std::string rename;
  if (peek() != '(') {
    getident(name);
    return -1;
  }
  size_t save = pos;
  int saveline = line;
  std::string kw;
  getkw(kw);
  if (stricmp(kw, "array") != 0) {
    pos = save;
    line = saveline;
    getnmdef(name, rename);
    return -1;
  }
  getnmdef(name, rename);
  long size = getint();
  skipws();
  if (peek() == '+' || peek() == '-' || (peek() >= 0 && isdigit(peek())))
    fail(12, "Multi-dimensional arrays");
  searchend();
  // Arrays larger than any netlist we could hold are refused before the
  // nodes are made.
  if (size > 1000000) fail(12, "Array of more than 1000000 elements");
  return static_cast<int>(size);
}

void parser::_getnmref(std::string& name) {
  std::string kw;
  if (!namedform(name, kw)) return;
  if (stricmp(kw, "member") == 0) {
    getnmref(name);
    long index = getint();
    if (index < 0) fail(0, "integer token");
    name += "_" + std::to_string(index) + " ";
    endconstruct();
  } else {
    fail(0, "Name Reference");
  }
}

void parser::chkversion() {
  long a = getint(), b = getint(), c = getint();
  if (a != 2 || b != 0 || c != 0) fail(2, "");
  searchend();
}

void parser::chklevel() {
  if (getint() != 0) fail(3, "");
  searchend();
}

// ---------------------------------------------------------------- walk

void parser::finddesigns() {
  size_t save = pos;
  int saveline = line;
  BeginProcessing("Searching for top level designs");
  std::string kw;
  while (getkw(kw)) {
    if (stricmp(kw, "design") == 0) {
      skipnmdef();
      searchkw("cellRef");
      object o;
      getnmref(o.value);
      searchkw("libraryRef");
      getnmref(o.name);
      designs.push(o);
      searchend();
      searchend();
    }
    endconstruct();
  }
  EndProcessing();
  if (designs.items.empty()) fail(19, "");
  pos = save;
  line = saveline;
}

void parser::handlelib() {
  std::string name, rename;
  getnmdef(name, rename);
  TextOut("\n");
  TextOut(name);
  BeginProcessing("Searching for cells");
  searchkw("edifLevel");
  chklevel();
  searchkw("technology");
  endconstruct();
  std::string kw;
  while (!top_done && getkw(kw)) {
    if (stricmp(kw, "cell") == 0)
      handlecell(name);
    else
      endconstruct();
  }
  EndProcessing();
}

void parser::handlecell(const std::string& library) {
  getnmdef(token, token2);
  std::string cell = token, rename = token2;
  bool top = isdesign(designs, library, cell) != 0;
  if (top) ++top_count;
  std::string kw;
  if (tool & 1) {
    for (;;) {
      if (!getkw(kw)) fail(0, "cellType");
      if (stricmp(kw, "cellType") == 0) break;
      endconstruct();
    }
  } else {
    searchkw("cellType");
  }
  std::string type;
  getident(type);
  searchend();
  if (stricmp(type, "generic") != 0) {
    if (!(tool & 2)) {
      warncode = 1;
      warn();
    } else if (stricmp(type, "ripper") != 0) {
      warncode = 2;
      warn();
    }
    endconstruct();
    return;
  }
  const std::string& libname = rename.empty() ? cell : rename;
  // The design itself is always read from the EDIF file, even when the
  // library holds a cell of the same name.
  if (top || !nl->gotogate(libname)) {
    EndProcessing();
    TextOut("\nDesign: " + cell + "\n");
    if (top) {
      TextOut("Parsing top-level design\n");
    } else {
      TextOut("Parsing macro\n");
      warncode = 3;
      warn();
    }
    nl->cellname = cell.substr(0, 255);
    view_netlist = view_contents = false;
    while (getkw(kw)) {
      if (stricmp(kw, "view") == 0)
        handleview();
      else
        endconstruct();
    }
    if (top) {
      // Without a netlist view the netlist still holds the previous cell.
      if (!view_netlist) fatal(cell, "Design has no netlist view");
      nl->postproc();
      top_done = true;
    } else if (view_contents) {
      nl->postproc();
    } else {
      // A cell with an interface and no contents is a black box: its
      // instances need a library cell.
      TextOut("Black box, no macro made\n");
    }
    return;
  }
  if (nl->flipflop()) {
    // Instances name the cell by its EDIF name, never by its rename.
    nl->putflipflop(cell);
  } else {
    object o;
    o.name = cell;
    o.value = rename.empty() ? cell : rename;
    libcells.push(o);
  }
  endconstruct();
}

void parser::handleview() {
  skipnmdef();
  searchkw("viewType");
  std::string type;
  getident(type);
  searchend();
  if (stricmp(type, "netlist") != 0) {
    endconstruct();
    return;
  }
  searchkw("interface");
  nl->init();
  view_netlist = true;
  BeginProcessing("Reading ports");
  std::string kw;
  while (getkw(kw)) {
    if (stricmp(kw, "port") == 0)
      nl->pushport();
    else
      endconstruct();
  }
  bool done = false;
  while (getkw(kw)) {
    if (!done && stricmp(kw, "contents") == 0) {
      nl->mkdesign();
      view_contents = true;
      done = true;
    } else {
      endconstruct();
    }
  }
}

void parser::run() {
  if (read_iscas89) {
    // The ISCAS'89 pipeline: rows from the .bench file, their order, the model.
    nl->read_iscas89(edif_path);
    // A .bench netlist has no clock, ground or supply nets to remove or tie.
    warn_unmatched_names();
    BeginProcessing("Creating simulation order");
    nl->mkorder();
    EndProcessing();
    nl->ag_generate();
    nl->commit();
    nl.reset();
    exit(0);
  }
  line = 1;
  searchkw("edif");
  skipnmdef();
  searchkw("edifVersion");
  chkversion();
  searchkw("edifLevel");
  chklevel();
  searchkw("keywordMap");
  searchkw("keywordLevel");
  chklevel();
  endconstruct();
  finddesigns();
  std::string kw;
  while (!top_done && getkw(kw)) {
    if (stricmp(kw, "library") == 0 || stricmp(kw, "external") == 0)
      handlelib();
    else
      endconstruct();
  }
  line = 0;
  if (!top_done) Errors(designs.items[0].value, "Design cell not found in the EDIF file", -1);
  warn_unmatched_names();
  if (iscas85)
    nl->write();
  else if (iscas89)
    nl->write_iscas89();
  else
    nl->ag_generate();
  nl->commit();
  nl.reset();
  TextOut("\n\nSuccess!\n\n");
  exit(0);
}
