// bistan: BIST signature analyser.  Emulates a generator and an analyser
// register (BILBO) or one register that is both (CSTP) on a design, measures
// the fault coverage of the test, optionally analyses signature aliasing and
// shortens the test, over one or several runs, and saves the best run.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "emulation.h"
#include "marks.h"
#include "messages.h"
#include "mudel.h"
#include "outfile.h"
#include "register.h"
#include "scanner.h"
#include "vector.h"

#ifndef SERIAL_ALIASING
#define SERIAL_ALIASING 0
#endif

namespace {

const char* const keys[] = {"-rand",     "-glen", "-alen",   "-simul",    "-gpoly",  "-ginit",    "-apoly",
                            "-ainit",    "-count", "-lsb",   "-screen",   "-optimize", "-aliasing", "-run",
                            "-oext",     "-generate", "-modular", "-step", "-usetst",  "-sigfile", nullptr};
const int act[] = {0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 1};

std::string simulator = "bilbo";
uint32_t original_vcount = 0;
int r_length = 1;
unsigned const_flgs = 0;
int optimize_level = 0;
std::string ag_file, design;
LIST* rootsik = nullptr;

void USAGE(const char* pname) {
  fprintf(stderr,
          "Signature analyzer ver%s\nUsage %s <options> <AGM file>\n\nOptions:\n\n\t-rand [-glen][-alen]\n\t-rand\t\t\t: "
          "generate random vectors\n\t\t-glen <num>\t: length of generator polynome (-rand only)\n\t\t-alen <num>\t: "
          "length of analyzer polynome (-rand only)\n\t-gpoly <poly>\t\t: generator feedback polynome\n\t-ginit "
          "<poly>\t\t: generator initial state\n\t-apoly <poly>\t\t: analyzer feedback polynome\n\t-ainit "
          "<poly>\t\t: analyzer initial state\n\t[-lsb]\t\t\t: least significant bit flag, for LFSR\n\t\t\t(default - "
          "msb)\n\t[-count <num>]\t\t: test length\n\t[-screen]\t\t: write output to screen (not used)\n\t\t\t(default - "
          "no screen)\n\t[-simul <simul>]\t: simulator selector - bilbo | cstp\n\t\t\twhen cstp selected, analyzer "
          "polynomes are not used\n\t\t\t(default - bilbo)\n\t[-optimize <level>]\t\t: optimize test length (default - "
          "don't)\n\t\t\t1 - single run optimization\n\t\t\t2 - double pass optimization (tries harder)\n\t[-aliasing]\t\t: "
          "fault analysis with signatures\n\t\t\t(default - no)\n\t[-run <num>]\t\t: run bist <num> times\n\t\t\t"
          "(meaningful in -rand mode)\n\t[-oext <extension>]\t: output file with given extension\n\t\t\t(default "
          "'.tst')\n\t[-generate]\t\t: generate test patterns only, don't\n\t\t\tperform any simulation\n\t[-modular]\t\t"
          ": use modular LFSR instead of standard\n\t[-step <num>]\t\t: make <num> empty LFSR cycles\n\t\t\tbefore each "
          "test vector is generated and applied\n\t[-usetst <tstfile>]\t: use LFSR settings read from <tstfile>\n\t"
          "[-sigfile <filename>]\t: write signatures into this <filename>\nParameters in '[]'-s may be omitted, AGM file "
          "name must be the last one\n",
          "1.0", pname);
}

const char* BaseName(const char* path) {
  const char* s = strrchr(path, '/');
  return s ? s + 1 : path;
}

int Complain(const char* text) {
  fputs(text, stderr);
  return -1;
}

std::string& Val(int k) { return *args[k]; }

// A given register string pair: both checked, equal lengths.
int CheckPair(int poly, int init, const char* polyName, const char* initName, const char* lengthMsg) {
  check(Val(poly), static_cast<int>(Val(poly).size()), polyName);
  check(Val(init), static_cast<int>(Val(init).size()), initName);
  if (Val(poly).size() != Val(init).size()) return Complain(lengthMsg);
  return 0;
}

int CheckGiven(int k, const char* name) {
  if (args[k]) check(Val(k), static_cast<int>(Val(k).size()), name);
  return 0;
}

int test_input(int argc, char** argv) {
  end = 0;
  screen = 0;
  vcount = 1000;
  int next = scan_input(argc, argv, act, keys, args, ARGS, "\nError : argument '%s' also needs a parameter!\n");
  if (next < 0) return -1;
  if (args[GINIT]) TextOut(Format("BIST: -ginit %s\n", Val(GINIT).c_str()));
  if (args[SIMUL]) {
    if (Val(SIMUL) != "cstp" && Val(SIMUL) != "bilbo") {
      fprintf(stderr, "Unknown simulator : %s\n", Val(SIMUL).c_str());
      return -1;
    }
    simulator = Val(SIMUL);
  } else {
    simulator = "bilbo";
  }
  if (args[GENERATE] && simulator == "cstp") {
    fprintf(stderr, "CSTP mode cannot be used with '%s', reverting to BILBO\n", "-generate");
    simulator = "bilbo";
  }
  if (args[ALIASING] && args[GENERATE]) {
    fprintf(stderr, "Aliasing disabled due '%s' option\n", "-generate");
    args[ALIASING].reset();
  }
  if (args[OPTIMIZE] && args[GENERATE]) {
    fprintf(stderr, "Optimization disabled due '%s' option\n", "-generate");
    args[OPTIMIZE].reset();
    args[ALIASING].reset();
  }
  optimize_level = 0;
  if (args[OPTIMIZE]) {
    if (Val(OPTIMIZE) != "1" && Val(OPTIMIZE) != "2") return Complain("Bad value for '-optimize'\n");
    optimize_level = Val(OPTIMIZE)[0] - '0';
  }
  if (args[COUNT]) {
    int n;
    if (!NumberValue(Val(COUNT), n)) return Complain("-count must have numerical value!\n");
    vcount = static_cast<uint32_t>(n);
  }
  stepping = 1;
  if (args[STEP]) {
    if (simulator == "cstp") return Complain("-step cant be used in CSTP mode!\n");
    int n;
    if (!NumberValue(Val(STEP), n) || n < 1) return Complain("-step must have numerical value, range [1...N]!\n");
    stepping = n;
  }
  if (args[READTST] && !readTST(Val(READTST), args)) Errors(Val(READTST), "Can't open file", -1);
  if (args[GINIT]) TextOut(Format("BIST: -ginit %s\n", Val(GINIT).c_str()));
  bool bilbo = simulator == "bilbo";
  r_length = 1;
  if (args[RAND]) {
    int gl, al = 0;
    if (!args[GLEN]) return Complain("You have specified random generation, but omitted -glen or it's value!\n");
    if (!NumberValue(Val(GLEN), gl)) return Complain("-glen must have numerical value!\n");
    srand48(static_cast<long>(getpid()) + static_cast<long>(clock()));
    const_flgs = 0;
    if (args[GPOLY]) const_flgs |= 2; else args[GPOLY] = GenRandVect(gl);
    if (args[GINIT]) const_flgs |= 1; else args[GINIT] = GenRandVect(gl);
    if (bilbo) {
      if (!args[ALEN]) return Complain("You must specify -alen too!\n");
      if (!NumberValue(Val(ALEN), al)) return Complain("-alen must have numerical value!\n");
      if (args[AINIT]) const_flgs |= 4; else args[AINIT] = GenRandVect(al);
      if (args[APOLY]) const_flgs |= 8; else args[APOLY] = GenRandVect(al);
    }
    if (args[RUN]) {
      int n;
      if (!NumberValue(Val(RUN), n)) {
        fprintf(stderr, "'%s' must have numerical value!\n", "-run");
        return -1;
      }
      if (args[GENERATE])
        fprintf(stderr, "using '%s' together with '%s' is pointless (no simulation!)\n", "-generate", "-run");
      else
        r_length = n;
    }
    // Given strings are held to the fixed mode's rules; a drawn one fits its
    // partner only when both have the same length.
    CheckGiven(GPOLY, "gpoly vector");
    CheckGiven(GINIT, "ginit vector");
    if (Val(GPOLY).size() != Val(GINIT).size()) return Complain("gpoly and ginit must be the same length!\n");
    if (bilbo) {
      CheckGiven(APOLY, "apoly vector");
      CheckGiven(AINIT, "ainit vector");
      if (Val(APOLY).size() != Val(AINIT).size()) return Complain("apoly and ainit must be the same length!\n");
    }
  } else {
    if (args[RUN]) fprintf(stderr, "Warning - '%s' option has no effect without '%s'\n", "-run", "-rand");
    if (!args[GPOLY] || !args[GINIT])
      return Complain("Generator polynome(s) must be specified or turn on random generation!\n");
    if (CheckPair(GPOLY, GINIT, "gpoly vector", "ginit vector", "gpoly and ginit must be the same length!\n") < 0)
      return -1;
    if (bilbo) {
      if (!args[APOLY] || !args[AINIT]) return Complain("Analyzer polynome(s) must be specified!\n");
      if (CheckPair(APOLY, AINIT, "apoly vector", "ainit vector", "apoly and ainit must be the same length!\n") < 0)
        return -1;
    }
  }
  if (args[RUN] && !args[RAND]) fputs("Warning! -run has no meaning without random mode\n", stderr);
  screen = args[SCREEN] ? 1 : 0;
  end = args[LSB] ? 1 : 0;
  setLFSRType(args[MODULAR] ? 1 : 0);
  if (next != argc - 1) return Complain("Give me AG file name as last argument!\n");
  ag_file = argv[argc - 1];
  if (ag_file.find(".agm") == std::string::npos) ag_file += ".agm";
  design = BaseName(ag_file.c_str());
  design = design.substr(0, design.find(".agm"));
  TextOut(Format("Design : %s\n", design.c_str()));
  return 0;
}

[[noreturn]] void TooShort(const char* text, char** argv) {
  TextOut(std::string(text) + "\n");
  USAGE(BaseName(argv[0]));
  exit(255);
}

void init_session(char** argv) {
  mode = simulator == "cstp" ? 1 : 0;
  read_ag(ag_file);
  CheckTestSize(vcount, 2 * (Val(GPOLY).size() + (args[APOLY] ? Val(APOLY).size() : 0)));
  alloc_vec();
  original_vcount = vcount;
  if (mode == 0) {
    alen = static_cast<int>(Val(APOLY).size());
    if (alen < static_cast<int>(OutCount)) TooShort("Analyser register too short!", argv);
  }
  glen = static_cast<int>(Val(GPOLY).size());
  if (glen < static_cast<int>(InpCount) || (mode == 1 && glen < static_cast<int>(OutCount)))
    TooShort("Generator register too short!", argv);
  etalon.assign(static_cast<size_t>(mode == 0 ? alen : glen), '0');
  my_faults.assign(NodCount, 'X');
  g_state.assign(static_cast<size_t>(vcount) + 1, std::string(static_cast<size_t>(glen), '0'));
  if (mode == 0) a_state.assign(static_cast<size_t>(vcount) + 1, std::string(static_cast<size_t>(alen), '0'));
}

// The test data as the emulation left it, put back after the optimiser
// shortened or shifted it.
struct BIST {
  uint32_t vcount = 0;
  PatternRows vects;
  MarkTable ftable;
  std::vector<std::string> g_state, a_state;
  std::string g_poly, a_poly, g_init, a_init;
};

void tstBackup(BIST& b) {
  b.vcount = vcount;
  b.vects = vects;
  b.ftable = ftable;
  b.g_state = g_state;
  b.a_state = a_state;
  b.g_poly = gener_poly;
  b.a_poly = analyser_poly;
  b.g_init = gener_init;
  b.a_init = analyser_init;
}

void restoreTST(BIST& b) {
  vcount = b.vcount;
  vects.swap(b.vects);
  ftable.swap(b.ftable);
  g_state.swap(b.g_state);
  a_state.swap(b.a_state);
  gener_poly = b.g_poly;
  analyser_poly = b.a_poly;
  gener_init = b.g_init;
  analyser_init = b.a_init;
}

std::string OutputName() {
  if (!args[OEXT]) return design + (mode == 0 ? ".bil" : ".cst");
  const std::string& ext = Val(OEXT);
  size_t dot = ext.rfind('.');
  return design + (dot == 0 ? "" : ".") + ext;
}

void WriteRunList() {
  std::string name = design + ".lst";
  OutFile out;
  OpenOutput(out, name);
  int k = 1;
  for (LIST* r = rootsik; r; r = r->next, ++k) {
    fprintf(out.fp(), "#%d\nvects: %ld\ncoverage = %f\n", k, r->count, r->coverage);
    if (args[ALIASING]) fprintf(out.fp(), "aliasing coverage = %f\n", r->coverage1);
    fprintf(out.fp(), "-gpoly %s -ginit %s", r->gpoly.c_str(), r->ginit.c_str());
    if (mode == 0) fprintf(out.fp(), " -apoly %s -ainit %s", r->apoly.c_str(), r->ainit.c_str());
    fputc('\n', out.fp());
  }
  CommitOutput(out, name);
}

void OneRun(const RunStyle& style) {
  g_state[0] = Val(GINIT);
  std::fill(my_faults.begin(), my_faults.end(), 'X');
  std::fill(faults.begin(), faults.end(), 'X');
  if (mode == 0) a_state[0] = Val(AINIT);
  if (mode == 0)
    bilbo_main(style);
  else
    cstp_main(style);
  BIST backup;
  if (optimize_level) {
    TextOut("\nOptimizing test length...\n");
    tstBackup(backup);
    vcount = run_optimizer(optimize_level);
  }
  if (mode == 0) {
    gener_init = g_state[0];
    analyser_init = a_state[0];
    if (!args[GENERATE]) analyser_state = a_state[vcount];
  } else {
    analyser_init = g_state[0];
    // The saved initial state is the one of the first kept pattern.
    cstp_init = g_state[0];
    analyser_state = g_state[vcount];
  }
  if (!args[GENERATE]) etalon = analyser_state;
  std::string report = Format("\nTest vectors : %d\nFaults :\n", static_cast<int>(vcount));
  report.append(faults.data(), NodCount);
  report += Format("\n (%f%%)\n", coverage_f(faults.data(), NodCount));
  TextOut(report);
  if (args[ALIASING]) do_aliasing(style);
  fflush(stdout);
  LIST* uus = CreateRecord();
  uus->gpoly = Val(GPOLY);
  uus->ginit = g_state[0];
  if (mode == 0) {
    uus->apoly = Val(APOLY);
    uus->ainit = a_state[0];
  }
  uus->count = static_cast<long>(vcount);
  uus->coverage = coverage_f(faults.data(), NodCount);
  if (args[ALIASING]) uus->coverage1 = coverage_f(my_faults.data(), NodCount);
  rootsik = InsertRecord(rootsik, uus);
  if (rootsik == uus) {
    std::string name = OutputName();
    if (!args[GENERATE]) {
      write_vec(name, mode == 0 ? 4 : 3);
    } else {
      TextOut(Format("BILBO setup:\n-gpoly=%s -ginit=%s -apoly=%s -ainit=%s\n", Val(GPOLY).c_str(),
                     Val(GINIT).c_str(), Val(APOLY).c_str(), Val(AINIT).c_str()));
      write_vec(name, 7);
    }
  }
  if (optimize_level) restoreTST(backup);
}

int bistan_main(int argc, char** argv) {
  SetBistVariant(true);
  aliasing_serial = SERIAL_ALIASING;
  if (argc < 2 || test_input(argc, argv) == -1) {
    USAGE(argv[0]);
    return 255;
  }
  init_session(argv);
  StartTimer();
  RunStyle style;
  for (int run = 0; run < r_length; ++run) {
    OneRun(style);
    if (args[RAND]) {
      if (!(const_flgs & 2)) args[GPOLY] = GenRandVect(glen);
      if (!(const_flgs & 1)) args[GINIT] = GenRandVect(glen);
      if (mode == 0) {
        if (!(const_flgs & 8)) args[APOLY] = GenRandVect(alen);
        if (!(const_flgs & 4)) args[AINIT] = GenRandVect(alen);
      }
    }
  }
  EndTimer();
  WriteRunList();
  FreeRecords(rootsik);
  free_ag();
  free_vec();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(bistan_main, argc, argv); }
