#include "paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <unordered_map>

#include "messages.h"
#include "netlist.h"
#include "parser.h"
#include "random.h"
#include "scramble.h"

std::vector<gate_entry> gatenum;
int GateCount = 0;
std::vector<int32_t> path_gates;
std::vector<uint32_t> path_end;

namespace {

// The first gate of each name, and per line the number found for it.
std::unordered_map<std::string, int> first_gate;
std::unordered_map<const rida*, int> row_gate;

// Made on first use and never destroyed: a fatal error exits through the
// handlers that remove unfinished files, which an object of static storage
// would outlive its bookkeeping for.
OutFile& PatFile() { static OutFile* f = new OutFile; return *f; }
OutFile& GatFile() { static OutFile* f = new OutFile; return *f; }
OutFile& RepFile() { static OutFile* f = new OutFile; return *f; }
bool pat_open = false, rep_open = false;

int GateOf(const rida* r) {
  auto it = row_gate.find(r);
  if (it != row_gate.end()) return it->second;
  int number = -1;
  if (r->type >= T_NOT && r->type <= T_NOR) {
    auto g = first_gate.find(shown(r->name));
    if (g != first_gate.end()) number = g->second;
  }
  row_gate.emplace(r, number);
  return number;
}

const char* const type_words[] = {"", "INV", "AND", "NAND", "OR", "NOR"};

// A character the record cannot hold as part of one word.
std::string OneWord(std::string s) {
  for (char& c : s)
    if (c < '!' || c > '~') c = '_';
  return s;
}

std::string LoginName() {
  const struct passwd* pw = getpwuid(geteuid());
  if (pw == nullptr || pw->pw_name == nullptr) return "";
  std::string name = pw->pw_name;
  if (name.size() > 128) name.resize(128);
  return name;
}

std::string TimeStamp() {
  // The precise clock: time() may read a coarse one that lags the second
  // that other programs (date) already show.
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  time_t now = ts.tv_sec;
  char buf[64];
  struct tm local;
  if (localtime_r(&now, &local) == nullptr || strftime(buf, sizeof buf, "_%s_", &local) == 0) return "__";
  return buf;
}

}  // namespace

void netlist::countgates() {
  gatenum.clear();
  first_gate.clear();
  row_gate.clear();
  for (int num : order) {
    rida* r = getrida(num);
    if (r == nullptr || r->type < T_NOT || r->type > T_NOR) continue;
    uint32_t number = static_cast<uint32_t>(gatenum.size());
    gatenum.push_back(gate_entry{shown(r->name), r->type, number, r});
    first_gate.emplace(gatenum.back().name, static_cast<int>(number));
  }
  GateCount = static_cast<int>(gatenum.size());
}

void copy_path(const std::vector<const rida*>& rows) {
  for (const rida* r : rows) path_gates.push_back(GateOf(r));
  path_end.push_back(static_cast<uint32_t>(path_gates.size()));
}

void write_paths(unsigned nodes) {
  BeginProcessing("Saving info about gate-level signal paths");
  std::string pat = desname + ".pat", gat = desname + ".gat";
  if (!PatFile().Open(pat) || !GatFile().Open(gat)) Error("Can't create output file", -1);
  pat_open = true;
  FILE* f = PatFile().fp();
  fprintf(f, "\nGates: %d\tNodes: %u\n", GateCount, nodes);
  uint32_t beg = 0;
  for (size_t k = 0; k < path_end.size(); ++k) {
    fprintf(f, " \n   node %zu:\t", k);
    bool first = true;
    // Lines on the way that are not gates (buffers, flip-flops) are left out.
    for (uint32_t i = beg; i < path_end[k]; ++i) {
      if (path_gates[i] < 0) continue;
      fprintf(f, first ? "%d" : "->%d", path_gates[i]);
      first = false;
    }
    beg = path_end[k];
  }
  fputs(" \n", f);
  FILE* g = GatFile().fp();
  fprintf(g, "\nGates: %d\n", GateCount);
  fputs("\n\t\tName\tType\n", g);
  for (const gate_entry& e : gatenum) {
    fprintf(g, "gate %u\t:\t", e.number);
    fputs(e.name.c_str(), g);
    fprintf(g, "\t%s \n", type_words[e.type]);
  }
  EndProcessing();
}

bool ReturnTypeText(int type, std::string& out) {
  if (type >= 1 && type <= 5) {
    out = type_words[type];
    return true;
  }
  if (type == 7) {
    out = "BUF";
    return true;
  }
  return false;
}

void netlist::ChangeGate(const std::string& name, int type) {
  for (unsigned v = inpcons; v < varcount; ++v)
    if (vars[v].row->name == name) vars[v].row->type = static_cast<unsigned char>(type);
}

void netlist::SpecGen() {
  if (GateCount == 0) Error("The design has no gate whose type could be changed", -1);
  BeginProcessing("Generating specification model");
  Randomize();
  uint32_t index = GetRnd() / (0xFFFFFFFFu / static_cast<uint32_t>(GateCount));
  // The highest draws can give GateCount when it does not divide 2^32-1.
  if (index >= static_cast<uint32_t>(GateCount)) index = static_cast<uint32_t>(GateCount) - 1;
  const gate_entry& gate = gatenum[index];
  int old_type = gate.type;
  int new_type;
  if (old_type == T_NOT) {
    new_type = T_BUFF;
  } else {
    new_type = 2 + static_cast<int>(GetRnd() / 0x55555555u);
    if (new_type >= old_type) ++new_type;
  }
  EndProcessing();
  std::string new_word, old_word;
  if (!ReturnTypeText(new_type, new_word) || !ReturnTypeText(old_type, old_word))
    Error("Gate type conflict during execution", -1);
  std::string login = LoginName();
  std::string stamp = TimeStamp();
  ChangeGate(gate.row->name, new_type);
  // A gate line is always a variable at gate level; set it on the line as
  // well, so the model can never miss the change that the record states.
  gate.row->type = static_cast<unsigned char>(new_type);
  std::string record = OneWord(login) + stamp + "|" + OneWord(gate.name) + "_Orig:" + old_word + "_Spec:" + new_word;
  Encrypt(record);
  TextOut("\nThe encrypted name of the modified gate is " + record + "\n");
  WriteGateName(record);
}

void WriteGateName(const std::string& word) {
  BeginProcessing("Saving encrypted name");
  if (!RepFile().Open(desname + ".rep")) Error("Can't create output file", -1);
  rep_open = true;
  fputs("\t\tReport File for the Lab Work on Design Error Diagnosis\n", RepFile().fp());
  fputs("\nEncrypted name of the modified gate is ", RepFile().fp());
  fputs(word.c_str(), RepFile().fp());
  fputs("\n", RepFile().fp());
  EndProcessing();
}

void CheckTargets(const std::string& model) {
  std::vector<std::string> targets{model};
  if (pat_open) {
    targets.push_back(desname + ".pat");
    targets.push_back(desname + ".gat");
  }
  if (rep_open) targets.push_back(desname + ".rep");
  // A rename onto a folder would fail after the others were in place.
  for (const std::string& t : targets) {
    struct stat st;
    if (stat(t.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Errors(t, "Can't create output file", -1);
  }
}

void FlushPaths() {
  auto flush = [](OutFile& f, const std::string& path) {
    if (fflush(f.fp()) != 0 || ferror(f.fp())) Errors(path, "Can't create output file", -1);
  };
  if (pat_open) {
    flush(PatFile(), desname + ".pat");
    flush(GatFile(), desname + ".gat");
  }
  if (rep_open) flush(RepFile(), desname + ".rep");
}

void CommitPaths() {
  if (pat_open) {
    pat_open = false;
    CommitOutput(PatFile(), desname + ".pat");
    CommitOutput(GatFile(), desname + ".gat");
  }
  if (rep_open) {
    rep_open = false;
    CommitOutput(RepFile(), desname + ".rep");
  }
}
