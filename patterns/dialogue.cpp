#include "dialogue.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "fsimul.h"
#include "generand.h"
#include "messages.h"
#include "mudel.h"
#include "vector.h"

FILE* term = stdin;
int changes_were_made = 0;

namespace {

std::string design;   // without ".agm"
std::string infile;   // test file to read
std::string outfile;  // file to write; empty until settled
std::string iext, oext;
bool have_iext = false, have_oext = false;
int FTABLE = 0;
int tptfile = 0;
int NEW = 0, onevector = 0;

[[noreturn]] void EndOfInput() { Error("End of input; nothing was saved", -1); }

void usage() {
  TextOut("\nUsage: patman [options] [<design>]\n\n");
  TextOut("\t<design>\tdesign name without .agm extension");
  TextOut("\noptions:");
  TextOut("\n\t-new          \tcreate completely new test set");
  TextOut("\n\t-add  <vector>\tadd exactly one test vector");
  TextOut("\n\t-i <extension>\tinput  file extension (default: tst)");
  TextOut("\n\t-o <extension>\toutput file extension (default: tst)");
  TextOut("\n\t-ftable       \tperform fault simulation ");
  TextOut("\n\t-h            \tshow this help");
  TextOut("\n");
}

[[noreturn]] void UsageError(const char* message) {
  usage();
  Error(message, -1);
}

bool Is(const std::string& w, const char* a, const char* b, const char* c = nullptr) {
  return w == a || w == b || (c && w == c);
}

bool CanRead(const std::string& path) {
  FILE* f = fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  fclose(f);
  return true;
}

void ParseOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* w = argv[i];
    if (strcmp(w, "-o") == 0) {
      if (i + 1 >= argc) UsageError("The output file extension is missing");
      oext = argv[++i];
      have_oext = true;
    } else if (strcmp(w, "-i") == 0) {
      if (i + 1 >= argc) UsageError("The input file extension is missing");
      iext = argv[++i];
      have_iext = true;
    } else if (strcmp(w, "-new") == 0) {
      if (onevector) Error("-new and -add options cannot be specified simultaneously", -1);
      NEW = 1;
    } else if (strcmp(w, "-add") == 0) {
      if (i + 1 >= argc) UsageError("The test vector is missing");
      const char* v = argv[++i];
      for (const char* p = v; *p; ++p)
        if (*p != '0' && *p != '1') Error("Invalid characters in the specified vector", -1);
      if (NEW) Error("-new and -add options cannot be specified simultaneously", -1);
      onevector = 1;
    } else if (strcmp(w, "-ftable") == 0) {
      FTABLE = 1;
    } else if (strcmp(w, "-h") == 0 || strcmp(w, "-help") == 0 || strcmp(w, "-?") == 0) {
      usage();
      fflush(stdout);
      exit(14);
    } else if (i == argc - 1) {
      design = w;
    } else {
      UsageError("Bad switch");
    }
  }
}

void TestInput(int argc, char** argv) {
  TextOut("\n\nTest Vectors' Manager (beta version)\n");
  ParseOptions(argc, argv);
  if (design.empty()) {
    TextOut("\nPlease, give me the name of the design: ");
    for (;;) {
      std::string name = ReadAnswerLine();
      if (name.empty()) {
        TextOut("Oops! Try once more: ");
        continue;
      }
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".agm") == 0) name.resize(name.size() - 4);
      if (CanRead(name + ".agm")) {
        design = name;
        break;
      }
      TextOut("Can't find " + name + ".agm file! Try once more: ");
    }
  }
  if (have_iext) {
    infile = design + "." + iext;
  } else {
    TextOut("\nPlease, give me the name of the file for test vectors [" + design + ".tst]: ");
    infile = ReadAnswerLine();
    if (infile.empty()) infile = design + ".tst";
  }
  if (CanRead(infile))
    tptfile = 1;
  else
    outfile = infile;
}

void askit() {
  if (!outfile.empty()) return;
  if (have_oext) {
    outfile = design + "." + oext;
    return;
  }
  TextOut("\nPlease, give me the name of the output file [" + infile + "]: ");
  outfile = ReadAnswerLine();
  if (outfile.empty()) outfile = infile;
}

[[noreturn]] void SaveExit() {
  if (vcount == 0) {
    TextOut("\nEmpty vector sequence. Nothing will be saved\n");
  } else {
    if (FTABLE) {
      TextOut("\nPerforming fault simulation...");
      ftable.assign(vcount, std::vector<char>(NodCount, 'X'));
      faults.assign(NodCount, 'X');
      init_fsimul();
      fsimul();
      free_fsimul();
      TextOut("OK\n");
      changes_were_made = 1;
    }
    if (changes_were_made) {
      askit();
      TextOut(vcount == 1 ? std::string("One pattern will be saved.\n") : Format("%u patterns will be saved.\n", vcount));
      simul();
      write_vec(outfile, FTABLE ? 0 : 2);
    } else {
      TextOut("\nNo changes were made. Nothing will be saved\n");
    }
  }
  fflush(stdout);
  exit(14);
}

[[noreturn]] void MainMenu() {
  for (;;) {
    TextOut("\n");
    TextOut("\tS. Show existing test patterns\n");
    TextOut("\tN. Insert completely New test\n");
    TextOut("\tA. Add vectors\n");
    TextOut("\tD. Remove some vectors\n");
    TextOut("\tR. Automatically geneRate some random sequence\n");
    TextOut("\tE. Automatically genErate the exhaustive test\n");
    TextOut("\tF. PerForm fault simulation\n");
    TextOut("\tX. Save patterns and eXit\n");
    TextOut("\nMake your choice, please: ");
    for (bool again = true; again;) {
      std::string w = ReadAnswerWord();
      again = false;
      if (Is(w, "s", "S", "1")) {
        PrintVects();
      } else if (Is(w, "n", "N", "2")) {
        vects.clear();
        vcount = 0;
        functionals = 0;
        VecInsert();
      } else if (Is(w, "a", "A", "3")) {
        VecInsert();
      } else if (Is(w, "d", "D", "4")) {
        VecDelete();
      } else if (Is(w, "r", "R", "5")) {
        Generand();
      } else if (Is(w, "e", "E", "6")) {
        TextOut("\nSorry, this option is not yet supported\n");
      } else if (Is(w, "f", "F", "7")) {
        // The word's line is already consumed: nothing more to discard.
        FTABLE = 1;
        TextOut("\nFault simulation will be performed ");
      } else if (Is(w, "x", "X")) {
        SaveExit();
      } else {
        TextOut("khm...\nTry once more: ");
        again = true;
      }
    }
  }
}

void NoVectorsMenu() {
  faults.assign(NodCount, 'X');
  TextOut("\n\n\tNo vectors were found. You can choose the following:\n");
  TextOut("\n");
  TextOut("\tN. Insert completely New test\n");
  TextOut("\tR. Automatically geneRate some random sequence\n");
  TextOut("\tE. Automatically genErate the exhaustive test\n");
  TextOut("\tX. Just eXit\n");
  TextOut("\nMake your choice, please: ");
  for (;;) {
    std::string w = ReadAnswerWord();
    if (Is(w, "n", "N", "1")) {
      VecInsert();
      return;
    }
    if (Is(w, "r", "R", "2")) {
      Generand();
      return;
    }
    if (Is(w, "e", "E", "3")) {
      TextOut("\nSorry, this option is not yet supported\n");
      TextOut("Try something else: ");
    } else if (Is(w, "x", "X")) {
      SaveExit();
    } else {
      TextOut("khm...\nTry once more: ");
    }
  }
}

}  // namespace

std::string ReadAnswerLine() {
  std::string s;
  int c;
  while ((c = getc(term)) != EOF && c != '\n') s.push_back(static_cast<char>(c));
  if (c == EOF && s.empty()) EndOfInput();
  if (!s.empty() && s.back() == '\r') s.pop_back();
  return s;
}

std::string ReadAnswerWord() {
  int c;
  while ((c = getc(term)) != EOF && isspace(c)) {
  }
  if (c == EOF) EndOfInput();
  std::string w;
  while (c != EOF && !isspace(c)) {
    // A word longer than the answer buffer is no known answer; keep one
    // character more than fits so it never matches.
    if (w.size() <= kAnswerMax) w.push_back(static_cast<char>(c));
    c = getc(term);
  }
  while (c != EOF && c != '\n') c = getc(term);
  return w;
}

void AppendRow() {
  std::vector<unsigned char> row(VarCount, 'x');
  for (uint32_t i = 0; i < InpCount; ++i) row[i] = 0;
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) row[i] = (Vars[i].v_flags & VF_CONST0) ? 0 : 1;
  vects.push_back(row);
  vcount = static_cast<uint32_t>(vects.size());
}

void PrintVects() {
  std::string s = "\n";
  int half = static_cast<int>(InpCount / 2);
  for (int t = 0; t < half - 1; ++t) s += "\t";
  s += "  Table of input patterns";
  s += "\nVector";
  for (int t = 0; t < half; ++t) s += "\t";
  s += "  Inputs\n";
  s += "  N   ";
  for (uint32_t i = 0; i < InpCount; ++i) s += "\t" + VarNames[i];
  s += "\n";
  for (uint32_t p = 0; p < vcount; ++p) {
    uint32_t n = p + 1;
    s += Format(n < 10 ? "  0%u" : n < 100 ? "  %u" : n < 1000 ? " %u" : "%u", n);
    for (uint32_t i = 0; i < InpCount; ++i) {
      unsigned char v = vects[p][i];
      s += "\t ";
      s += v == 0 ? '0' : v == 1 ? '1' : 'x';
    }
    s += "\n";
  }
  s += "\n";
  TextOut(s);
}

void VecInsert() {
  TextOut(Format("\nEnter each vector as a string of %u bits. ", InpCount));
  TextOut("The inputs are:\n");
  std::string names;
  for (uint32_t i = 0; i < InpCount; ++i) names += (i ? " " : "") + VarNames[i];
  TextOut(names + "\n");
  TextOut("Finally, when you are done with vectors simply press \"Return\".\n");
  for (;;) {
    std::string line = ReadAnswerLine();
    if (line.empty()) break;
    bool refused = false;
    for (size_t i = 0; i < InpCount && i < line.size(); ++i)
      if (line[i] != '0' && line[i] != '1') {
        TextOut("Error: Invalid characters in the string\n");
        refused = true;
        break;
      }
    if (!refused && line.size() < InpCount) {
      TextOut("Error: The length of the vector is smaller than the number of inputs\n");
      refused = true;
    }
    if (!refused && line.size() > InpCount) {
      TextOut("Error: The length of the vector exceeds the number of inputs\n");
      refused = true;
    }
    if (refused) continue;
    AppendRow();
    for (uint32_t i = 0; i < InpCount; ++i) vects.back()[i] = static_cast<unsigned char>(line[i] - '0');
  }
  changes_were_made = 1;
}

void VecDelete() {
  PrintVects();
  TextOut("Please, give me numbers of the vectors you would like to delete\n");
  TextOut("Separate them by \"Return\"\n");
  std::vector<bool> marked(vcount, false);
  for (;;) {
    std::string line = ReadAnswerLine();
    if (line.empty()) break;
    bool digits = true;
    for (char c : line) digits = digits && isdigit(static_cast<unsigned char>(c));
    if (!digits) {
      TextOut("Please, give me the number of the vector as a number: \n");
      continue;
    }
    // Compare as text so that no number of digits wraps.
    size_t z = line.find_first_not_of('0');
    std::string n = z == std::string::npos ? "" : line.substr(z);
    std::string limit = std::to_string(vcount);
    bool too_big = n.empty() || n.size() > limit.size() || (n.size() == limit.size() && n > limit);
    if (too_big) {
      TextOut("The number is too big - vector ignored\n");
      continue;
    }
    marked[std::stoul(n) - 1] = true;
  }
  std::vector<std::vector<unsigned char>> kept;
  uint32_t lost_functionals = 0;
  for (uint32_t p = 0; p < vcount; ++p) {
    if (!marked[p])
      kept.push_back(std::move(vects[p]));
    else if (p < functionals)
      ++lost_functionals;
  }
  vects.swap(kept);
  vcount = static_cast<uint32_t>(vects.size());
  functionals = functionals - lost_functionals;
  if (functionals > vcount) functionals = vcount;
  changes_were_made = 1;
}

int PatmanRun(int argc, char** argv) {
  changes_were_made = 0;
  functionals = 0;
  TestInput(argc, argv);
  read_ag(design + ".agm");
  if (tptfile) {
    read_vec(infile);
    if (functionals > vcount) functionals = vcount;
    TextOut("\n\n\t\tI can do the following:\n");
  } else {
    vects.clear();
    vcount = 0;
    NoVectorsMenu();
  }
  MainMenu();
  return 14;  // MainMenu ends the run through SaveExit
}
