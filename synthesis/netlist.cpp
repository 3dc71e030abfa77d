// The netlist: library file, instantiation of ports and cells, and nets.
#include "netlist.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "messages.h"
#include "paths.h"
#include "parser.h"

const char* const nammas[11] = {"from", "not",  "and",      "nand", "or",  "nor",
                                "inpt", "buff", "flipflop", "inpt", "buff"};

namespace {

std::string lowered(std::string s) { return strlwr(s); }

bool read_file(const std::string& path, std::string& text) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  text = ss.str();
  return true;
}

bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa{}, sb{};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

netlist::netlist(parser& p) : prs(p) {
  if (!prs.read_iscas89) open_library();
  open_output();
}

void netlist::open_library() {
  BeginProcessing("Loading library file");
  if (!read_file(prs.lib_path, libtext)) {
    const char* env = getenv("EDIF_PARSER");
    std::string second = env ? std::string(env) + "/lib/" + prs.lib_path : prs.lib_path;
    if (!read_file(second, libtext)) {
      prs.line = 0;
      prs.fail(7, second);
    }
  }
  // One pass over the library records where every cell starts, so that each
  // instance finds its cell without a scan of the whole file.
  bool mark = false;
  size_t at = 0;
  while (at < libtext.size()) {
    size_t eol = libtext.find('\n', at);
    if (eol == std::string::npos) eol = libtext.size();
    if (libtext[at] == '"') {
      size_t close = libtext.find('"', at + 1);
      if (close == std::string::npos || close > eol || close - at - 1 > 255) liberr();
      std::string name = libtext.substr(at + 1, close - at - 1);
      std::string rest = libtext.substr(close + 1, eol - close - 1);
      bool blank = rest.find_first_not_of(" \t\r") == std::string::npos;
      if (name == "FLIPFLOP" && blank) {
        mark = true;
      } else {
        libindex.emplace(lowered(name), libentry{close + 1, mark});
        mark = false;
      }
    }
    at = eol + 1;
  }
  EndProcessing();
}

void netlist::open_output() {
  outname = desname + (prs.spec ? ".spec" : prs.iscas89 ? ".bench" : prs.iscas85 ? ".cir" : ".agm");
  if (same_file(outname, prs.edif_path) || same_file(outname, prs.lib_path))
    Errors(outname, "Output file would overwrite an input file", -1);
  if (prs.iscas89 && (same_file("LineNames", prs.edif_path) || same_file("LineNames", prs.lib_path)))
    Errors("LineNames", "Output file would overwrite an input file", -1);
  BeginProcessing("Creating output file");
  if (!out.Open(outname)) {
    prs.line = 0;
    prs.fail(8, outname);
  }
  EndProcessing();
  if (prs.lib_cell) {
    if (prs.importer) Error("lib_cell option doesn't work under LINUX", -1);
    fputs("Enter target cell name: ", stdout);
    fflush(stdout);
    std::string name;
    if (!std::getline(std::cin, name)) name.clear();
    if (!name.empty() && name.back() == '\r') name.pop_back();
    // Without a name the cell could never be found in a library.
    if (name.find_first_not_of(" \t") == std::string::npos) Error("Target cell name expected", -1);
    if (name.size() > 131) Error("Target cell name longer than 131 characters", -1);
    // The name is written between double quotes and read back up to the next
    // one: a quote would cut it, a NUL or other control byte names no cell a
    // user could ask for.
    for (unsigned char c : name)
      if (c == '"' || c < 0x20 || c == 0x7f) Error("Target cell name holds a quote or a control character", -1);
    targetname = name;
  }
}

void netlist::commit() {
  CheckTargets(outname);
  const bool with_names = names.fp() != nullptr;
  // Every file of the run is written out before any is put in place, so a
  // write error leaves the previous set.
  if (fflush(out.fp()) != 0 || ferror(out.fp())) Errors(outname, "Can't create output file", -1);
  if (with_names && (fflush(names.fp()) != 0 || ferror(names.fp()))) Errors("LineNames", "Can't create output file", -1);
  FlushPaths();
  CommitOutput(out, outname);
  if (with_names && !names.Commit()) Errors("LineNames", "Can't create output file", -1);
  CommitPaths();
}

void netlist::liberr() {
  prs.line = 0;
  prs.fail(11, prs.lib_path);
}

// ---------------------------------------------------------------- library

bool netlist::gotogate(const std::string& name) {
  auto it = libindex.find(lowered(name));
  if (it == libindex.end()) {
    isflipflop = 0;
    return false;
  }
  libpos = it->second.pos;
  isflipflop = it->second.ff ? 1 : 0;
  return true;
}

int netlist::getnr() {
  while (libpos < libtext.size() && !isdigit(static_cast<unsigned char>(libtext[libpos]))) ++libpos;
  if (libpos >= libtext.size()) liberr();
  long v = 0;
  while (libpos < libtext.size() && isdigit(static_cast<unsigned char>(libtext[libpos]))) {
    v = v * 10 + (libtext[libpos++] - '0');
    if (v > 100000000L) liberr();
  }
  return static_cast<int>(v);
}

void netlist::getstring(std::string& buf) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (libpos < libtext.size() && blank(libtext[libpos])) ++libpos;
  buf.clear();
  while (libpos < libtext.size() && !blank(libtext[libpos])) buf += libtext[libpos++];
  if (buf.empty() || buf.size() > 255) liberr();
}

void netlist::waistln() {
  size_t eol = libtext.find('\n', libpos);
  libpos = eol == std::string::npos ? libtext.size() : eol + 1;
}

// Row i of a cell of `count` rows; fan-ins become global row numbers.
void netlist::getline(node& n, int count, int& i) {
  auto r = std::make_unique<rida>();
  getnr();  // the written row number: rows are taken in file order
  getstring(r->name);
  std::string word;
  getstring(word);
  int code = -1;
  for (int k = 0; k < 11; ++k)
    if (word == nammas[k]) {
      code = k;
      break;
    }
  if (code < 0 || code > T_FLIPFLOP) liberr();
  r->type = static_cast<unsigned char>(code);
  r->fanout = getnr();
  int fanins = getnr();
  if (fanins > 127) liberr();
  // Rows that pass one signal on need exactly one input; gates at least one;
  // a cell input none.
  bool one = code == T_FROM || code == T_NOT || code == T_BUFF || code == T_FLIPFLOP;
  if ((one && fanins != 1) || (code == T_INPT && fanins != 0) || (code >= T_AND && code <= T_NOR && fanins < 1))
    liberr();
  for (int k = 0; k < fanins; ++k) {
    int f = getnr();
    if (f >= count) liberr();
    r->fanin.push_back(f + n.first);
  }
  waistln();
  n.rows.push_back(std::move(r));
  ++i;
}

// ---------------------------------------------------------------- netlist

void netlist::init() {
  nodes.clear();
  rowcount = 0;
  portcount = 0;
  portnames.clear();
  redirect.clear();
  order.clear();
  orderpos.clear();
  patchnodes.items.clear();
}

void netlist::push(node&& n) { nodes.push_back(std::move(n)); }

rida* netlist::getrida(int number, int* nodeindex) {
  if (nodes.empty() || number < 0 || number >= nodes.back().first + nodes.back().rowcount) {
    prs.line = 0;
    prs.fail(15, "");
  }
  auto it = std::upper_bound(nodes.begin(), nodes.end(), number,
                             [](int v, const node& n) { return v < n.first; });
  --it;
  int k = number - it->first;
  if (k >= it->rowcount) {
    prs.line = 0;
    prs.fail(15, "");
  }
  if (nodeindex) *nodeindex = static_cast<int>(it - nodes.begin());
  return it->rows[k].get();
}

void netlist::pushport() {
  std::string name;
  int size = prs._getnmdef(name);
  prs.note_name(name);
  if (prs.is_clock(name)) {
    prs.endconstruct();
    return;
  }
  std::string kw;
  int type = -1;
  for (;;) {
    if (!prs.getkw(kw)) prs.fail(6, name);
    if (stricmp(kw, "direction") != 0) {
      prs.endconstruct();
      continue;
    }
    std::string dir;
    prs.getident(dir);
    prs.searchend();
    if (stricmp(dir, "input") == 0)
      type = T_INPUT;
    else if (stricmp(dir, "output") == 0)
      type = T_OUTPUT;
    else
      prs.fail(6, name);
    break;
  }
  while (prs.getkw(kw)) prs.endconstruct();
  int n = size < 0 ? 1 : size;
  for (int e = n - 1; e >= 0; --e) {
    node p;
    p.name = size < 0 ? name : name + "_" + std::to_string(e) + " ";
    p.rowcount = 1;
    p.first = rowcount++;
    auto r = std::make_unique<rida>();
    r->name = p.name;
    r->type = static_cast<unsigned char>(type);
    p.rows.push_back(std::move(r));
    // Names ignore case, so "a" and "A" are one port.
    if (!portnames.emplace(lowered(p.name), static_cast<int>(nodes.size())).second)
      prs.fatal(p.name, "Port defined twice");
    push(std::move(p));
    ++portcount;
  }
}

void netlist::putinfo(const std::string& name) {
  node n;
  n.name = name;
  int count = getnr();
  if (count < 1) liberr();
  waistln();
  n.first = rowcount;
  for (int i = 0; i < count;) getline(n, count, i);
  n.rowcount = count;
  rowcount += count;
  (*hash)[lowered(name)] = static_cast<int>(nodes.size());
  push(std::move(n));
}

bool netlist::gotomakro(const std::string& name, const std::string& cell) {
  for (const node& m : makros) {
    if (stricmp(m.name, cell) != 0) continue;
    node n;
    n.name = name;
    n.first = rowcount;
    n.rowcount = m.rowcount;
    for (const auto& src : m.rows) {
      auto r = std::make_unique<rida>(*src);
      for (int& f : r->fanin) f += n.first;
      n.rows.push_back(std::move(r));
    }
    rowcount += m.rowcount;
    (*hash)[lowered(name)] = static_cast<int>(nodes.size());
    push(std::move(n));
    return true;
  }
  return false;
}

void netlist::makepatch(const std::string& name, int n) {
  node p;
  p.name = name;
  p.first = rowcount;
  p.rowcount = 2;
  auto src = std::make_unique<rida>();
  src->name = prs.cad_src + "_" + std::to_string(n) + " ";
  src->type = T_INPT;
  src->fanout = 1;
  auto dst = std::make_unique<rida>();
  dst->name = prs.cad_dst + "_" + std::to_string(n) + " ";
  dst->type = T_BUFF;
  dst->fanin.push_back(p.first);
  p.rows.push_back(std::move(src));
  p.rows.push_back(std::move(dst));
  rowcount += 2;
  patchnodes.push(static_cast<int>(nodes.size()));
  (*hash)[lowered(name)] = static_cast<int>(nodes.size());
  push(std::move(p));
}

void netlist::putflipflop(const std::string& cell) {
  for (const node& m : makros)
    if (stricmp(m.name, cell) == 0) return;
  TextOut("\nCreating macro-cell for flipflop " + cell + "\n");
  node n;
  n.name = cell;
  int count = getnr();
  if (count < 1) liberr();
  waistln();
  n.first = 0;
  for (int i = 0; i < count;) getline(n, count, i);
  n.rowcount = count;
  for (auto& r : n.rows) {
    if (r->type == T_INPUT) r->type = T_INPT;
    if (r->type == T_OUTPUT) r->type = T_BUFF;
  }
  makros.push_back(std::move(n));
}

void netlist::pushinstance() {
  std::string name, view, cell, library, kw;
  int size = prs._getnmdef(name);
  prs.searchkw("viewref");
  prs.getnmref(view);
  prs.searchkw("cellref");
  prs.getnmref(cell);
  while (prs.getkw(kw)) {
    if (stricmp(kw, "libraryref") != 0) prs.fail(0, "LibraryRef");
    prs.getnmref(library);
    prs.searchend();
  }
  prs.searchend();
  int n = size < 0 ? 1 : size;
  bool rest_read = false;
  for (int e = 0; e < n; ++e) {
    std::string elem = size < 0 ? name : name + "_" + std::to_string(e) + " ";
    int lc = prs.libcells.find(cell);
    if (lc >= 0) {
      const std::string& lname = prs.libcells.items[lc].value;
      if (!gotogate(lname)) prs.fail(10, lname);
      putinfo(elem);
      continue;
    }
    if (gotomakro(elem, cell)) continue;
    if ((prs.tool & 2) && !rest_read && stricmp(library, prs.cad_basic) == 0 &&
        stricmp(cell, prs.cad_patch) == 0) {
      rest_read = true;
      bool made = false;
      while (prs.getkw(kw)) {
        if (stricmp(kw, "property") == 0) {
          std::string pname, rename;
          prs.getnmdef(pname, rename);
          if (stricmp(pname, "schpatchexpr") == 0 && prs.getkw(kw)) {
            if (stricmp(kw, "string") == 0) {
              std::string v;
              prs.getstring(v);
              prs.searchend();
              makepatch(elem, atoi(v.c_str()));
              made = true;
            } else {
              prs.endconstruct();
            }
          }
          while (prs.getkw(kw)) prs.endconstruct();
        } else {
          prs.endconstruct();
        }
      }
      if (made) return;
      prs.fail(9, cell);
    }
    prs.fail(9, cell);
  }
  if (!rest_read)
    while (prs.getkw(kw)) prs.endconstruct();
}

void netlist::mkdesign() {
  hash = std::make_unique<std::unordered_map<std::string, int>>();
  std::string kw, last;
  while (prs.getkw(kw)) {
    if (stricmp(kw, "instance") == 0) {
      if (last != "instance") {
        EndProcessing();
        BeginProcessing("Reading instances");
      }
      last = "instance";
      pushinstance();
    } else if (stricmp(kw, "net") == 0) {
      if (last != "net") {
        EndProcessing();
        BeginProcessing("Connecting nets");
      }
      last = "net";
      std::string name;
      int width = prs._getnmdef(name);
      prs.note_name(name);
      if (!prs.gnd.empty() && stricmp(name, prs.gnd) == 0)
        connect2(0);
      else if (!prs.vdd.empty() && stricmp(name, prs.vdd) == 0)
        connect2(1);
      else
        connect(width, name);
    } else if (stricmp(kw, "netbundle") == 0) {
      last = "netbundle";
      std::string name;
      if (prs._getnmdef(name) >= 0) prs.fail(12, "Net bundle of arrays");
      prs.searchkw("listofnets");
      while (prs.getkw(kw)) {
        if (stricmp(kw, "net") != 0) prs.fail(0, "Net");
        std::string net;
        int width = prs._getnmdef(net);
        prs.note_name(net);
        connect(width, net);
      }
      while (prs.getkw(kw)) prs.endconstruct();
    } else {
      prs.endconstruct();
    }
  }
}

// ---------------------------------------------------------------- nets

// A net reading holds at most 256 pins in edifsyn; import takes nets of up to
// 35999 pins.
size_t netlist::pinlimit() const { return prs.importer ? 36000 : 257; }

namespace {
void close_rest(parser& prs) {
  std::string kw;
  while (prs.getkw(kw)) prs.endconstruct();
}

// Position of a pin among an instance's rows (names ignore case), or -1.
int pinpos(const node& n, const std::string& pin) {
  for (int k = 0; k < n.rowcount; ++k)
    if (n.rows[k] && stricmp(n.rows[k]->name, pin) == 0) return k;
  return -1;
}
}  // namespace

// The rest of a port reference after its pin name: the index of the node
// that its "instanceRef" names, or -1 for a port of the design.
int netlist::refinstance() {
  std::string iname, kw;
  bool inst = false;
  while (prs.getkw(kw)) {
    if (stricmp(kw, "instanceref") == 0) {
      prs._getnmref(iname);
      inst = true;
      close_rest(prs);
    } else {
      prs.endconstruct();
    }
  }
  if (!inst) return -1;
  auto it = hash->find(lowered(iname));
  if (it == hash->end()) prs.fail(13, "Instance");
  return it->second;
}

// The node of a port of the design, by name.
int netlist::portnode(const std::string& pin) {
  auto it = portnames.find(lowered(pin));
  if (it == portnames.end()) prs.fail(13, "Port");
  return it->second;
}

// A net's reading attaches `driver` as the one fan-in of a reading pin.
static void attach(parser& prs, rida* row, int driver) {
  if (!row->fanin.empty() || (row->type != T_INPT && row->type != T_OUTPUT))
    prs.fatal(row->name, "Line driven by more than one net");
  row->fanin.push_back(driver);
}

void netlist::connect(int width, const std::string& netname) {
  std::string kw;
  for (;;) {
    if (!prs.getkw(kw)) return;  // a net without "joined" connects nothing
    if (stricmp(kw, "joined") == 0) break;
    prs.endconstruct();
  }
  if (width == 0 || width < -1) {
    prs.endconstruct();
    close_rest(prs);
    return;
  }
  int readings = width < 0 ? 1 : width;
  size_t jpos = prs.tell();
  int jline = prs.line;
  int endline = jline;
  size_t endpos = jpos;
  for (int i = 0; i < readings; ++i) {
    prs.seek(jpos);
    prs.line = jline;
    std::vector<int> entries;
    int driver = -1, patch = -1, patchentry = -1;
    // One port reference: its entry, or false when the net is abandoned.
    auto ref = [&](std::string pin) -> bool {
      int idx = refinstance();
      if (idx >= 0) {
        node& n = nodes[idx];
        int p = pinpos(n, pin);
        if (p < 0) {
          if (isripper(idx)) return true;
          prs.warncode = 4;
          prs.warn(pin);
          prs.endconstruct();  // joined
          close_rest(prs);
          return false;
        }
        if (isripper(idx)) {
          if (patch >= 0) prs.fail(12, "Net with multiple connected rippers");
          patch = idx;
          patchentry = static_cast<int>(entries.size());
        } else if (p == n.rowcount - 1 || n.rows[p]->type == T_BUFF) {
          if (driver >= 0) prs.fatal(netname, "Net with more than one driver");
          driver = static_cast<int>(entries.size());
        }
        entries.push_back(n.first + p);
      } else {
        int port = portnode(pin);
        if (nodes[port].rows[0]->type == T_INPUT) {
          if (driver >= 0) prs.fatal(netname, "Net with more than one driver");
          driver = static_cast<int>(entries.size());
        }
        entries.push_back(port);
      }
      if (entries.size() >= pinlimit()) prs.fail(17, "");
      return true;
    };
    while (prs.getkw(kw)) {
      if (stricmp(kw, "portref") == 0) {
        std::string pin;
        prs._getnmref(pin);
        if (width > 0) {
          pin += "_" + std::to_string(i) + " ";
          if (pin.size() > 256) prs.fail(5, "");
        }
        if (prs.is_clock(pin)) {
          BeginProcessing("Removing clock");
          EndProcessing();
          close_rest(prs);     // portref
          prs.endconstruct();  // joined
          close_rest(prs);     // net
          return;
        }
        if (!ref(pin)) return;
      } else if (stricmp(kw, "portlist") == 0) {
        int k = 0;
        std::string k2;
        while (prs.getkw(k2)) {
          if (stricmp(k2, "portref") != 0) prs.fail(0, "PortRef");
          if (k++ == i) {
            std::string pin;
            prs._getnmref(pin);
            if (!ref(pin)) return;
          } else {
            prs.endconstruct();
          }
        }
      } else if (stricmp(kw, "globalportref") == 0) {
        prs.fail(12, "GlobalPortRef");
      } else {
        prs.fail(0, "PortRef");
      }
    }
    endpos = prs.tell();
    endline = prs.line;
    if (entries.size() < 2) continue;
    if (patch >= 0) {
      node& pn = nodes[patch];
      int& e = entries[patchentry];
      if (driver < 0) {
        driver = patchentry;
        if (e == pn.first) {
          std::swap(pn.rows[0]->name, pn.rows[1]->name);
          e = pn.first + 1;
        }
      } else if (e != pn.first) {
        std::swap(pn.rows[0]->name, pn.rows[1]->name);
        e = pn.first;
      }
    }
    if (driver < 0) prs.fatal(netname, "Net without a driving pin");
    int drv = entries[driver];
    getrida(drv)->fanout += static_cast<int>(entries.size()) - 1;
    for (size_t k = 0; k < entries.size(); ++k)
      if (static_cast<int>(k) != driver) attach(prs, getrida(entries[k]), drv);
  }
  prs.seek(endpos);
  prs.line = endline;
  close_rest(prs);
}

void netlist::connect2(int one) {
  std::string kw;
  for (;;) {
    if (!prs.getkw(kw)) return;
    if (stricmp(kw, "joined") == 0) break;
    prs.endconstruct();
  }
  node c;
  c.name = one ? "CONST1" : "CONST0";
  c.rowcount = 1;
  c.first = rowcount++;
  auto r = std::make_unique<rida>();
  r->name = c.name;
  r->type = T_INPT;
  c.rows.push_back(std::move(r));
  int crow = c.first;
  push(std::move(c));
  std::vector<int> entries;
  while (prs.getkw(kw)) {
    if (stricmp(kw, "globalportref") == 0) prs.fail(12, "GlobalPortRef");
    if (stricmp(kw, "portref") != 0) prs.fail(0, "PortRef");
    std::string pin;
    prs._getnmref(pin);
    int idx = refinstance();
    if (idx >= 0) {
      int p = pinpos(nodes[idx], pin);
      if (p < 0) prs.fail(13, "Port of an instance");
      entries.push_back(nodes[idx].first + p);
    } else {
      entries.push_back(portnode(pin));
    }
    if (entries.size() + 1 >= pinlimit()) prs.fail(17, "");
  }
  close_rest(prs);
  getrida(crow)->fanout += static_cast<int>(entries.size());
  for (int e : entries) attach(prs, getrida(e), crow);
}
