#include "mudel.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "infile.h"
#include "messages.h"
#include "outfile.h"
#include "textnum.h"

std::vector<NodRec> Nods;
std::vector<VarRec> Vars;
std::vector<GrpRec> Grps;
std::vector<std::string> NodNames;
std::vector<std::string> VarNames;
uint32_t NodCount = 0, VarCount = 0, GrpCount = 0, InpCount = 0, ConCount = 0, OutCount = 0;
int ModelType = 0;
uint32_t CurrentLine = 0;

namespace {

const char kCorrupt[] = "Corrupt DD-model file";

[[noreturn]] void Corrupt(uint32_t line) { Error(kCorrupt, static_cast<int>(line)); }

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, strlen(prefix), prefix) == 0;
}

// Position just after the first `c` at or after `from`; npos when absent.
size_t After(const std::string& s, char c, size_t from = 0) {
  if (from == std::string::npos) return std::string::npos;
  size_t p = s.find(c, from);
  return p == std::string::npos ? p : p + 1;
}

// Text between the first double quote at or after `from` and the next one.
bool QuotedAt(const std::string& s, size_t from, std::string& out, size_t& end) {
  size_t a = After(s, '"', from);
  if (a == std::string::npos) return false;
  size_t b = s.find('"', a);
  if (b == std::string::npos) return false;
  out = s.substr(a, b - a);
  end = b + 1;
  return true;
}

// The flag letters between the first '(' at or after `from` and the next ')'.
bool FlagText(const std::string& s, size_t from, std::string& out) {
  size_t a = After(s, '(', from);
  if (a == std::string::npos) return false;
  size_t b = s.find(')', a);
  if (b == std::string::npos) return false;
  out = s.substr(a, b - a);
  return true;
}

// Reads one line without its new line; false at end of file.
bool ReadLine(FILE* f, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = getc(f)) != EOF) {
    any = true;
    if (c == '\n') return true;
    line.push_back(static_cast<char>(c));
  }
  return any;
}

uint32_t CountAt(const std::string& line, size_t pos) {
  if (pos == std::string::npos) Corrupt(CurrentLine);
  long long v = AtoiAt(line, pos);
  if (v < 0 || v > 0xffffffffLL) Corrupt(CurrentLine);
  return static_cast<uint32_t>(v);
}

struct FileCloser {
  FILE* f;
  ~FileCloser() { fclose(f); }
};

}  // namespace

void setVarFlags(uint32_t k, const std::string& text) {
  std::string flags;
  if (!FlagText(text, 0, flags)) Corrupt(CurrentLine);
  uint32_t v = 0;
  for (char c : flags) {
    switch (c) {
      case 'C': case 'c': v |= VF_CONST; break;
      case 'D': case 'd': v |= VF_DELAYED; break;
      case 'I': case 'i': v |= VF_INPUT; break;
      case 'O': case 'o': v |= VF_OUTPUT; break;
      default: break;
    }
  }
  Vars[k].v_flags |= v;
}

void setVarName(uint32_t k, const std::string& text) {
  size_t end;
  if (!QuotedAt(text, 0, VarNames[k], end)) Corrupt(CurrentLine);
}

void setVarConst(uint32_t k, const std::string& text) {
  // The value follows the name, so a name holding '=' cannot be misread.
  std::string name;
  size_t end = 0;
  QuotedAt(text, 0, name, end);
  size_t eq = After(text, '=', end);
  if (eq == std::string::npos) return;  // no value: caught when patterns need it
  Vars[k].v_flags |= AtoiAt(text, eq) == 0 ? VF_CONST0 : VF_CONST1;
}

void setNodFlags(uint32_t j, const std::string& text) {
  std::string flags;
  if (!FlagText(text, 0, flags)) Corrupt(CurrentLine);
  if (flags.find_first_of("Ii") != std::string::npos) Nods[j].n_flags |= 1;
}

void setNodName(uint32_t j, const std::string& text) {
  size_t end;
  if (!QuotedAt(text, 0, NodNames[j], end)) Corrupt(CurrentLine);
}

void read_ag(const std::string& path) {
  BeginProcessing("Reading SSBDD-model file " + path);
  FILE* f = OpenInput(path, "rt");
  if (f == nullptr) Errors(path, "Can't open DD-model file", -1);
  FileCloser closer{f};

  Nods.clear(); Vars.clear(); Grps.clear(); NodNames.clear(); VarNames.clear();
  NodCount = VarCount = GrpCount = InpCount = ConCount = OutCount = 0;
  ModelType = 0;
  CurrentLine = 0;

  int state = 0;
  uint32_t varsRead = 0;   // VAR# lines taken
  uint32_t nodesRead = 0;  // node lines taken
  uint32_t graph = 0;      // graph whose nodes are being read
  std::vector<uint32_t> nodeLine;  // line of each node, for late checks
  std::string line;
  try {
    while (ReadLine(f, line)) {
      ++CurrentLine;
      if (line.size() >= 255) Error("Line too long", static_cast<int>(CurrentLine));
      if (!line.empty() && line[0] == ';') continue;
      switch (state) {
        case 0: {
          if (!StartsWith(line, "STAT#")) break;
          size_t p = 5;
          NodCount = CountAt(line, p);
          p = After(line, ',', p); VarCount = CountAt(line, p);
          p = After(line, ',', p); GrpCount = CountAt(line, p);
          p = After(line, ',', p); InpCount = CountAt(line, p);
          p = After(line, ',', p); ConCount = CountAt(line, p);
          p = After(line, ',', p); OutCount = CountAt(line, p);
          if (uint64_t(InpCount) + ConCount + GrpCount != VarCount || OutCount > GrpCount)
            Corrupt(CurrentLine);
          // Arrays grow with the lines actually read, so absurd counts in a
          // damaged header cannot exhaust memory; they are checked at the end.
          state = 1;
          break;
        }
        case 1:
          if (!StartsWith(line, "MODE#")) break;
          if (line.find("STRUCTURAL") != std::string::npos || line.find("structural") != std::string::npos)
            ModelType = 0;
          else if (line.find("FUNCTIONAL") != std::string::npos || line.find("functional") != std::string::npos)
            ModelType = 1;
          else
            Error("Unknown MODE# specification", static_cast<int>(CurrentLine));
          state = 2;
          break;
        case 2: {
          if (!StartsWith(line, "VAR#")) break;
          uint32_t k = varsRead;
          if (k >= VarCount) Corrupt(CurrentLine);
          size_t colon = After(line, ':');
          if (colon == std::string::npos) Corrupt(CurrentLine);
          std::string text = line.substr(colon);
          Vars.push_back(VarRec{0});
          VarNames.emplace_back();
          ++varsRead;
          setVarFlags(k, text);
          setVarName(k, text);
          if (k >= InpCount && k < InpCount + ConCount) setVarConst(k, text);
          if (k >= InpCount + ConCount) {
            graph = k - InpCount - ConCount;
            state = 3;
          }
          break;
        }
        case 3: {
          if (!StartsWith(line, "GRP#")) break;
          size_t eq = After(line, '=', After(line, '='));
          if (eq == std::string::npos) Corrupt(CurrentLine);
          long long len = AtoiAt(line, eq);
          if (len < 1 || uint64_t(nodesRead) + uint64_t(len) > NodCount) Corrupt(CurrentLine);
          Grps.push_back(GrpRec{nodesRead, static_cast<uint32_t>(len)});
          state = 4;
          break;
        }
        case 4: {
          if (line.find(':') == std::string::npos) break;
          uint32_t j = nodesRead;
          const GrpRec& g = Grps[graph];
          Nods.push_back(NodRec{0, 0, {0, 0}});
          NodNames.emplace_back();
          nodeLine.push_back(CurrentLine);
          ++nodesRead;
          setNodFlags(j, line);
          size_t p = After(line, '(', After(line, '('));
          unsigned long d0, d1;
          if (p == std::string::npos || !ScanUnsigned(line, p, d0) || !ScanUnsigned(line, p, d1))
            Corrupt(CurrentLine);
          uint32_t pos = j - g.g_beg;
          for (unsigned long d : {d0, d1})
            if (d != 0 && (d <= pos || d >= g.g_len)) Corrupt(CurrentLine);
          size_t eq = After(line, '=', p);
          if (eq == std::string::npos) Corrupt(CurrentLine);
          long long v = AtoiAt(line, eq);
          if (v < 0 || v >= static_cast<long long>(VarCount)) Corrupt(CurrentLine);
          Nods[j].n_dst[0] = static_cast<uint32_t>(d0);
          Nods[j].n_dst[1] = static_cast<uint32_t>(d1);
          Nods[j].n_var = static_cast<uint32_t>(v);
          setNodName(j, line);
          if (j + 1 == g.g_beg + g.g_len) state = 2;
          break;
        }
      }
    }
    if (state != 2) Corrupt(CurrentLine);
    if (varsRead != VarCount || Grps.size() != GrpCount || nodesRead != NodCount) Corrupt(CurrentLine);
    // A node may test inputs, constants and earlier non-output graphs; a
    // delayed (flip-flop) variable may be read from any graph.
    for (uint32_t g = 0; g < GrpCount; ++g) {
      for (uint32_t j = Grps[g].g_beg; j < Grps[g].g_beg + Grps[g].g_len; ++j) {
        uint32_t v = Nods[j].n_var;
        if (v < InpCount + ConCount || (Vars[v].v_flags & VF_DELAYED)) continue;
        uint32_t tested = v - InpCount - ConCount;
        if (tested >= g || IsOutputGraph(tested)) Corrupt(nodeLine[j]);
      }
    }
  } catch (const std::bad_alloc&) {
    Error("Out of memory", static_cast<int>(CurrentLine));
  }
  EndProcessing();
}

void write_ag(const std::string& path) {
  BeginProcessing("Writing SSBDD-model");
  OutFile out;
  OpenOutput(out, path);
  FILE* f = out.fp();
  fprintf(f, "\nSTAT#    %u Nods,  %u Vars,  %u Grps,  %u Inps,  %u Cons,  %u Outs\n", NodCount, VarCount,
          GrpCount, InpCount, ConCount, OutCount);
  fprintf(f, "\nMODE#   %s\n\n\n", ModelType ? "FUNCTIONAL" : "STRUCTURAL");
  for (uint32_t i = 0; i < InpCount; ++i) fprintf(f, "VAR#   %u:  (i_______)  \"%s\"\n", i, VarNames[i].c_str());
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i)
    fprintf(f, "VAR#   %u:  (___c____)  \"%s\" VAL = %d\n", i, VarNames[i].c_str(),
            (Vars[i].v_flags & VF_CONST0) ? 0 : 1);
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t a = GraphVar(g);
    fprintf(f, "\nVAR#   %u:  (_%c___%c__)  \"%s\"\n", a, a >= VarCount - OutCount ? 'o' : '_',
            (Vars[a].v_flags & VF_DELAYED) ? 'D' : '_', VarNames[a].c_str());
    fprintf(f, "GRP#    %u: BEG =   %u, LEN =   %u -----\n", g, Grps[g].g_beg, Grps[g].g_len);
    for (uint32_t i = 0; i < Grps[g].g_len; ++i) {
      uint32_t n = Grps[g].g_beg + i;
      const NodRec& nd = Nods[n];
      fprintf(f, "   %u   %u:  (%c___)\t(\t%u\t%u)  V = %u     \"%s\"\n", n, i, (nd.n_flags & 1) ? 'I' : '_',
              nd.n_dst[0], nd.n_dst[1], nd.n_var, NodNames[n].c_str());
    }
  }
  CommitOutput(out, path);
  EndProcessing();
}

void free_ag() {
  BeginProcessing("Deleting SSBDD-model from memory");
  std::vector<NodRec>().swap(Nods);
  std::vector<VarRec>().swap(Vars);
  std::vector<GrpRec>().swap(Grps);
  std::vector<std::string>().swap(NodNames);
  std::vector<std::string>().swap(VarNames);
  EndProcessing();
}

void RefuseDelayedVariables(const std::string& model, const char* program) {
  for (uint32_t v = 0; v < VarCount; ++v)
    if (Vars[v].v_flags & VF_DELAYED)
      Errors(model, std::string("Model with delayed variables: ") + program + " takes combinational models only", -1);
}
