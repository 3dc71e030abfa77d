// ISCAS'89 netlists: the .bench reader of import, which builds the netlist
// rows directly (one row per signal, inputs and outputs first), and the
// .bench writer with its "LineNames" map.
#include <cctype>
#include <fstream>
#include <unordered_map>

#include "messages.h"
#include "netlist.h"
#include "parser.h"

namespace {

// A signal name, read from `p`: letters and digits, and the other marks
// (such as '_') that published netlists use, up to a delimiter.
bool NameChar(char c) {
  return c != ' ' && c != '\t' && c != '\r' && c != '(' && c != ')' && c != ',' && c != '=' && c != '#';
}
std::string NameAt(const std::string& s, size_t& p) {
  while (p < s.size() && (s[p] == ' ' || s[p] == '\t')) ++p;
  size_t b = p;
  while (p < s.size() && NameChar(s[p])) ++p;
  return s.substr(b, p - b);
}

struct BenchLine {
  enum Kind { INPUT, OUTPUT, GATE } kind;
  int line;
  std::string name;               // defined signal (INPUT, gate) or read signal (OUTPUT)
  int type = 0;                   // gate type code
  std::vector<std::string> args;  // gate arguments
};

int GateType(const std::string& word) {
  static const std::pair<const char*, int> words[] = {{"DFF", T_FLIPFLOP}, {"NOT", T_NOT}, {"AND", T_AND},
                                                      {"OR", T_OR},        {"NAND", T_NAND}, {"NOR", T_NOR}};
  for (const auto& w : words)
    if (word == w.first) return w.second;
  return -1;
}

}  // namespace

void netlist::read_iscas89(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Errors(path, "Can't open ISCAS89 file", -1);
  std::string s;
  int lineno = 0;
  // The header: five '#' lines, each with its count right after the '#'.
  long counts[5];
  for (long& c : counts) {
    bool found = false;
    while (std::getline(in, s)) {
      ++lineno;
      size_t h = s.find('#');
      if (h == std::string::npos) continue;
      size_t p = h + 1;
      while (p < s.size() && (s[p] == ' ' || s[p] == '\t')) ++p;
      if (p >= s.size() || !isdigit(static_cast<unsigned char>(s[p]))) Errors("integer token", "expected", lineno);
      c = 0;
      while (p < s.size() && isdigit(static_cast<unsigned char>(s[p])) && c < 100000000) c = c * 10 + (s[p++] - '0');
      found = true;
      break;
    }
    if (!found) Errors("#", "keyword not found", -1);
  }
  // Every further line is classified by what it holds, so a stray comment or
  // an interleaved line can never shift arguments onto the wrong rows.
  std::vector<BenchLine> lines;
  long ninputs = 0, noutputs = 0, nff = 0, ninv = 0, ngates = 0;
  while (std::getline(in, s)) {
    ++lineno;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    if (s.empty() || s[0] == ' ' || s[0] == '\t' || s[0] == '#') continue;
    BenchLine b{BenchLine::GATE, lineno, "", 0, {}};
    size_t p = 0;
    if (s.compare(0, 6, "INPUT(") == 0 || s.compare(0, 7, "OUTPUT(") == 0) {
      b.kind = s[0] == 'I' ? BenchLine::INPUT : BenchLine::OUTPUT;
      p = s.find('(') + 1;
      b.name = NameAt(s, p);
      while (p < s.size() && s[p] == ' ') ++p;
      if (b.name.empty() || p >= s.size() || s[p] != ')') Errors(s, "Signal name expected", lineno);
      (b.kind == BenchLine::INPUT ? ninputs : noutputs)++;
    } else {
      b.name = NameAt(s, p);
      size_t eq = s.find('=', p);
      size_t open = s.find('(', p);
      if (b.name.empty() || eq == std::string::npos || open == std::string::npos || open < eq ||
          s.find_first_not_of(" \t", p) != eq)
        Errors(s, "Unrecognised line", lineno);
      std::string word = s.substr(eq + 1, open - eq - 1);
      word.erase(0, word.find_first_not_of(" \t"));
      word.erase(word.find_last_not_of(" \t") + 1);
      b.type = GateType(word);
      if (b.type < 0) Errors(word, "gate not supported", lineno);
      p = open + 1;
      for (;;) {
        std::string a = NameAt(s, p);
        if (a.empty()) Errors(s, "Signal name expected", lineno);
        b.args.push_back(a);
        while (p < s.size() && s[p] == ' ') ++p;
        if (p < s.size() && s[p] == ',') {
          ++p;
          continue;
        }
        if (p < s.size() && s[p] == ')') break;
        Errors(s, "Signal name expected", lineno);
      }
      if ((b.type == T_FLIPFLOP || b.type == T_NOT) && b.args.size() != 1)
        Errors(b.name, "Gate takes one argument", lineno);
      (b.type == T_FLIPFLOP ? nff : b.type == T_NOT ? ninv : ngates)++;
    }
    lines.push_back(std::move(b));
  }
  const char* what[5] = {"inputs", "outputs", "D-type flipflops", "inverters", "gates"};
  long seen[5] = {ninputs, noutputs, nff, ninv, ngates};
  for (int k = 0; k < 5; ++k)
    if (seen[k] != counts[k])
      Errors(Format("# %ld %s", counts[k], what[k]), Format("header disagrees with the %ld lines read", seen[k]), -1);

  // Rows: inputs, outputs, gates, each in the order of their lines.
  init();
  cellname = desname;
  std::vector<const BenchLine*> rowline;
  for (int pass = 0; pass < 3; ++pass)
    for (const BenchLine& b : lines)
      if (b.kind == pass) rowline.push_back(&b);
  std::unordered_map<std::string, int> defined;  // signal -> row (inputs and gates)
  for (size_t i = 0; i < rowline.size(); ++i) {
    const BenchLine& b = *rowline[i];
    node n;
    n.rowcount = 1;
    n.first = rowcount++;
    auto r = std::make_unique<rida>();
    r->name = b.kind == BenchLine::OUTPUT ? b.name + "_OUT" : b.name;
    r->type = b.kind == BenchLine::INPUT ? T_INPUT : b.kind == BenchLine::OUTPUT ? T_OUTPUT : b.type;
    n.name = r->name;
    n.rows.push_back(std::move(r));
    push(std::move(n));
    if (b.kind != BenchLine::OUTPUT && !defined.emplace(b.name, static_cast<int>(i)).second)
      Errors(b.name, "Signal defined twice", b.line);
  }
  portcount = static_cast<int>(ninputs + noutputs);
  for (size_t i = ninputs; i < rowline.size(); ++i) {
    const BenchLine& b = *rowline[i];
    const std::vector<std::string> single{b.name};
    for (const std::string& a : b.kind == BenchLine::OUTPUT ? single : b.args) {
      auto it = defined.find(a);
      if (it == defined.end()) Errors(a, "Variable not found", b.line);
      nodes[i].rows[0]->fanin.push_back(it->second);
      ++nodes[it->second].rows[0]->fanout;
    }
  }
  // A signal read more than once gets one branch row per reader.
  size_t original = nodes.size();
  for (size_t i = 0; i < original; ++i) {
    for (int& f : nodes[i].rows[0]->fanin) {
      if (nodes[f].rows[0]->fanout < 2) continue;
      node n;
      n.rowcount = 1;
      n.first = rowcount++;
      auto r = std::make_unique<rida>();
      r->name = Format("fanout%d", n.first);
      r->type = T_FROM;
      r->fanout = 1;
      r->fanin.push_back(f);
      n.name = r->name;
      n.rows.push_back(std::move(r));
      f = n.first;
      push(std::move(n));
    }
  }
}

// Writes the flattened design as a .bench netlist, signals numbered by row
// position.  Branch rows are left out (their readers read the stem), so no
// BUFF line is written and the header counts match the lines; a design the
// notation cannot express is refused before anything is written.
void netlist::write_iscas89() {
  BeginProcessing("Writing to output file");
  if (makros.empty()) prs.fatal(cellname, "Design has no rows");
  const node& m = makros.back();
  const int count = m.rowcount;
  auto row = [&](int i) -> const rida& { return *m.rows[i]; };
  int inputs = 0, outputs = 0;
  while (inputs < count && row(inputs).type == T_INPUT) ++inputs;
  while (outputs < count - inputs && row(count - 1 - outputs).type == T_OUTPUT) ++outputs;
  // The row a reader of row f really reads: branches lead back to their stem.
  auto source = [&](int f) {
    int steps = 0;
    while (row(f).type == T_FROM) {
      if (row(f).fanin.empty() || ++steps > count) prs.fatal(row(f).name, "Branch without a stem");
      f = row(f).fanin[0];
    }
    return f;
  };
  unsigned n[11] = {};
  for (int i = 0; i < count; ++i) {
    const rida& r = row(i);
    if (r.constant) prs.fatal(r.name, "Constants cannot be written in ISCAS'89 format");
    bool edge = i < inputs || i >= count - outputs;
    bool expressible = r.type == T_FROM || r.type == T_NOT || (r.type >= T_AND && r.type <= T_NOR) ||
                       r.type == T_FLIPFLOP;
    if (!edge && !expressible)
      prs.fatal(r.name, Format("Row of type %s cannot be written in ISCAS'89 format", nammas[r.type]));
    if (r.type != T_INPUT && r.fanin.empty()) prs.fatal(r.name, "Row without inputs");
    if ((r.type == T_NOT || r.type == T_FLIPFLOP) && r.fanin.size() != 1) prs.fatal(r.name, "Row with several inputs");
    ++n[r.type];
  }
  if (!names.Open("LineNames")) Errors("LineNames", "cannot create file", -1);
  FILE* f = out.fp();
  unsigned gates = n[T_AND] + n[T_NAND] + n[T_OR] + n[T_NOR];
  fprintf(f, "# %u inputs\n# %u outputs\n# %u D-type fliflops\n# %u inverters\n", n[T_INPUT], n[T_OUTPUT],
          n[T_FLIPFLOP], n[T_NOT]);
  fprintf(f, "# %u gates (%u ANDs + %u NANDS + %u ORs + %u NORS)\n\n", gates, n[T_AND], n[T_NAND], n[T_OR], n[T_NOR]);
  for (int i = 0; i < inputs; ++i) {
    fprintf(f, "INPUT(G%d)\n", i);
    fprintf(names.fp(), "G%d - %s\n", i, row(i).name.c_str());
  }
  for (int i = count - outputs; i < count; ++i) fprintf(f, "OUTPUT(G%d)\n", source(row(i).fanin[0]));
  static const char* const words[] = {"", "NOT(", "AND(", "NAND(", "OR(", "NOR(", "", "", "DFF("};
  for (int i = inputs; i < count - outputs; ++i) {
    const rida& r = row(i);
    if (r.type == T_FROM) continue;
    fprintf(f, "G%d = %s", i, words[r.type]);
    for (size_t k = 0; k < r.fanin.size(); ++k)
      fprintf(f, "G%d%s", source(r.fanin[k]), k + 1 < r.fanin.size() ? ", " : ")\n");
  }
}
