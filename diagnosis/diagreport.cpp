#include "diagreport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "diagnosis.h"
#include "fsimul.h"
#include "gatepaths.h"
#include "messages.h"
#include "mudel.h"
#include "vector.h"

std::string design, vext = "tst", sext = "spec", oext = "rep", tests, SSBDD, specSSBDD, outfile;
char SCREEN = 0, FVECT = 0, SNODS = 1, SGATS = 1;
std::vector<std::vector<char>> FaultyOuts;
std::vector<unsigned char> FfreeNodes;
std::vector<unsigned char> FaultyGates;
char Printable = 0;
uint32_t DesignNodes = 0;

namespace {

void Usage(bool locate) {
  if (locate)
    TextOut(
        "\n\nUsage: faultloc [options] <design>\n\n"
        "\t<design>\tdesign name without .agm extension"
        "\noptions:"
        "\n\t-f            \tshow failing outputs (default: no) "
        "\n\t-n            \tdo not show suspected nodes (default: show) "
        "\n\t-g            \tdo not show suspected gates (default: show)"
        "\n\t-v <extension>\textension of the file with input vectors (default: tst)"
        "\n\t-s <extension>\tspecification model file extension (default: spec)"
        "\n\t-o <extension>\toutput file extension (default: rep)"
        "\n\t-scr          \tprint everything on the screen only");
  else
    TextOut(
        "\n\nUsage: verify [options] <design>\n\n"
        "\t<design>\tdesign name without .agm extension"
        "\noptions:"
        "\n\t-v <extension>\textension of the file with input vectors (default: tst)"
        "\n\t-s <extension>\tspecification model file extension (default: spec)"
        "\n\t-o <extension>\toutput file extension (default: rep)"
        "\n\t-scr          \tprint everything on the screen only");
}

// The input names and the output names of the model in memory.
std::vector<std::string> Ports() {
  std::vector<std::string> names(VarNames.begin(), VarNames.begin() + InpCount);
  names.push_back("");  // keeps "a" + "" apart from "" + "a" in the comparison
  names.insert(names.end(), VarNames.end() - OutCount, VarNames.end());
  return names;
}

void Emit(FILE* file, int mode, const std::string& text) {
  if (mode != 1) TextOut(text);
  if (mode != 0 && file != nullptr) fputs(text.c_str(), file);
}

std::string PatternNumber(uint32_t i) {
  if (i < 10) return Format("  0%u", i);
  if (i < 100) return Format("  %u", i);
  if (i < 1000) return Format(" %u", i);
  return Format("%u", i);
}

void PrintMarked(FILE* file, int mode, const std::vector<unsigned char>& marks,
                 const std::vector<std::string>& names) {
  std::string text;
  int on_line = 0;
  for (size_t k = 0; k < marks.size(); ++k) {
    if (marks[k] == 'X') continue;
    text += names[k] + " [" + static_cast<char>(marks[k]) + "];  ";
    if (++on_line == 5) {
      text += "\n";
      on_line = 0;
    }
  }
  if (on_line > 0) text += "\n";
  text += "\n";
  Emit(file, mode, text);
}

}  // namespace

void TestInput(int argc, char** argv, bool locate) {
  if (argc < 2) {
    Usage(locate);
    Error("", -1);
  }
  for (int i = 1; i < argc - 1; ++i) {
    const char* w = argv[i];
    if (locate && strcmp(w, "-f") == 0) {
      FVECT = 1;
    } else if (locate && strcmp(w, "-n") == 0) {
      SNODS = 0;
    } else if (locate && strcmp(w, "-g") == 0) {
      SGATS = 0;
    } else if (strcmp(w, "-scr") == 0) {
      SCREEN = 1;
    } else if (strcmp(w, "-v") == 0) {
      vext = argv[++i];
    } else if (strcmp(w, "-s") == 0) {
      sext = argv[++i];
    } else if (strcmp(w, "-o") == 0) {
      oext = argv[++i];
    } else {
      Error("Bad switch", -1);
    }
  }
  design = argv[argc - 1];
  tests = design + "." + vext;
  SSBDD = design + ".agm";
  specSSBDD = design + "." + sext;
  outfile = design + "." + oext;
}

void ReadDesign(const char* program) {
  BeginProcessing("\nReading original design");
  verbose_mode = 1;
  read_ag(SSBDD);
  verbose_mode = 0;
  EndProcessing();
  RefuseDelayedVariables(SSBDD, program);
  read_vec(tests);
  DesignNodes = NodCount;
  init_fsimul();
  // The compact table: the plain one grows with outputs x patterns x nodes.
  out_fsimul_compact = 1;
  init_out_fsimul();
  out_fsimul();
}

void ReadSpecification(const char* program) {
  BeginProcessing("\nReading specification file");
  verbose_mode = 1;
  std::vector<std::string> ports = Ports();
  uint32_t inputs = InpCount;
  // The patterns' input columns carry over; the specification's own node
  // and variable counts differ from the design's.
  std::vector<std::vector<unsigned char>> rows(vcount);
  for (uint32_t j = 0; j < vcount; ++j) rows[j].assign(vects[j].begin(), vects[j].begin() + InpCount);
  uint32_t count = vcount;
  free_fsimul();
  free_vec();
  free_ag();
  read_ag(specSSBDD);
  if (InpCount != inputs || Ports() != ports) {
    verbose_mode = 0;
    Errors(specSSBDD, "The specification's inputs or outputs differ from the design's", -1);
  }
  RefuseDelayedVariables(specSSBDD, program);
  vcount = count;
  alloc_vec();
  std::vector<std::vector<char>>().swap(ftable);  // no fault simulation on the specification
  for (uint32_t j = 0; j < vcount; ++j) std::copy(rows[j].begin(), rows[j].end(), vects[j].begin());
  rows.clear();
  simul();
  verbose_mode = 0;
  EndProcessing();
}

uint64_t CompareOutputs() {
  FaultyOuts.assign(vcount, std::vector<char>(OutCount + 1, 0));
  uint64_t failing = 0;
  uint32_t first = VarCount - OutCount;
  for (uint32_t v = 0; v < vcount; ++v) {
    for (uint32_t o = 0; o < OutCount; ++o) {
      char spec = vects[v][first + o] ? '1' : '0';
      FaultyOuts[v][o] = etalon_outputs[v][o] != spec ? 1 : 0;
      failing += static_cast<uint64_t>(FaultyOuts[v][o]);
    }
  }
  return failing;
}

FILE* OpenReport(long& start) {
  FILE* f = fopen(outfile.c_str(), "a");
  if (f == nullptr) Error("Can't open output file", -1);
  struct stat st;
  start = fstat(fileno(f), &st) == 0 ? static_cast<long>(st.st_size) : -1;
  return f;
}

void CloseReport(FILE* file, long start) {
  if (fflush(file) != 0 || ferror(file)) {
    // The partial step is cut off again; the error reports the failure
    // whether or not the cut succeeds.
    bool cut = start >= 0 && ftruncate(fileno(file), static_cast<off_t>(start)) == 0;
    (void)cut;
    fclose(file);
    Errors(outfile, "Can't write output file", -1);
  }
  if (fclose(file) != 0) Errors(outfile, "Can't write output file", -1);
}

void MakePrintable() {
  if (Printable) return;
  static const unsigned char gate_marks[] = {'X', '1', '0', 'D'};
  static const unsigned char node_marks[] = {'D', '0', '1', 'X'};
  for (unsigned char& g : FaultyGates) g = gate_marks[g & 3];
  for (unsigned char& n : FfreeNodes) n = node_marks[n & 3];
  Printable = 1;
}

void PrintVects(FILE* file, int mode) {
  std::string text = "\nTable of input patterns\nVector";
  for (uint32_t i = 0; i < InpCount / 2; ++i) text += "\t";
  text += "  Inputs\n  N   ";
  for (uint32_t i = 0; i < InpCount; ++i) text += "\t" + VarNames[i];
  text += "\n";
  Emit(file, mode, text);
  for (uint32_t j = 0; j < vcount; ++j) {
    text = PatternNumber(j + 1);
    for (uint32_t i = 0; i < InpCount; ++i) {
      unsigned char v = vects[j][i];
      text += "\t ";
      text += v == 0 ? '0' : v == 1 ? '1' : 'x';
    }
    text += "\n";
    Emit(file, mode, text);
  }
  Emit(file, mode, "\n");
}

void PrintDetect(FILE* file, int mode) {
  std::string text = "\nTable for error detection by test patterns\nVector";
  for (uint32_t i = 0; i < OutCount / 2; ++i) text += "\t";
  text += "  Outputs\n  N   ";
  for (uint32_t o = 0; o < OutCount; ++o) text += "\t" + VarNames[VarCount - OutCount + o];
  text += "\n";
  Emit(file, mode, text);
  for (uint32_t j = 0; j < vcount; ++j) {
    text = PatternNumber(j + 1);
    for (uint32_t o = 0; o < OutCount; ++o) text += FaultyOuts[j][o] ? "\tError" : "\t OK";
    text += "\n";
    Emit(file, mode, text);
  }
  Emit(file, mode, "\n");
}

void PrintNodes(FILE* file, int mode) {
  MakePrintable();
  Emit(file, mode, "\nSuspected faulty nodes:\nFormat: node name [suspected value]; ...\n");
  PrintMarked(file, mode, FfreeNodes, NodNames);
}

void PrintGates(FILE* file, int mode) {
  MakePrintable();
  Emit(file, mode, "\nSuspected faulty gates:\nFormat: gate name [suspected value]; ...\n");
  std::vector<std::string> names;
  names.reserve(GateType.size());
  for (const GateEntry& g : GateType) names.push_back(g.name);
  PrintMarked(file, mode, FaultyGates, names);
}
