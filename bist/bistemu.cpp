// bistemu: BIST emulator with one run.  One BILBO or CSTP run with standard
// LFSRs, the fault simulation of its patterns, an optional aliasing analysis
// and an optional shortening of the test, saved as the design's test file.
#include <cstdio>
#include <cstring>
#include <string>

#include "emulation.h"
#include "marks.h"
#include "messages.h"
#include "mudel.h"
#include "random.h"
#include "register.h"
#include "scanner.h"
#include "vector.h"

#ifndef SERIAL_ALIASING
#define SERIAL_ALIASING 0
#endif

namespace {

const int kOptions = 13;
const char* const keys[] = {"-rand",  "-glen", "-alen", "-simul",  "-gpoly",    "-ginit",    "-apoly",
                            "-ainit", "-count", "-lsb", "-screen", "-optimize", "-aliasing", nullptr};
const int act[] = {0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0};

std::string simulator = "bilbo";
std::string ag_file, design;

const char* BaseName(const char* path) {
  const char* s = strrchr(path, '/');
  return s ? s + 1 : path;
}

void USAGE(const char* pname) {
  fprintf(stderr,
          "Buit-In Self-Test Emulator\nUsage: %s -rand -glen <num> [-alen <num>] [options] <design> or\n%s -gpoly "
          "<poly> -ginit <poly> [-apoly <poly> -ainit <poly>] [options] <design>\n\n  -glen <num>     length of the "
          "generator LFSR in bits (-rand only)\n  -alen <num>     length of the analyzer LFSR in bits (-rand + bilbo "
          "only)\n  -gpoly <poly>   feedback polynomial of the generator LFSR in binary digits\n  -ginit <poly>   "
          "initial state of the generator LFSR in binary digits\n  -apoly <poly>   feedback polynomial of the analyzer "
          "LFSR in binary digits\n                  (BILBO only)\n  -ainit <poly>   initial state of the analyzer LFSR "
          "in binary digits\n                  (BILBO only)\n  design          name of the design file without .agm "
          "extension\n\nOptions:\n\n  -rand           generate random LFSR feedback polynomials and initial states\n  "
          "-aliasing       with this option selected, exact fault coverage values will\n                  be reported. "
          "BIST emulation will be slower but it will take\n                  into account possible signature aliasing "
          "in the analyzer\n  -simul <bilbo | cstp>\n                  choses between bilbo and cstp architectures.\n "
          "                 (default: bilbo)\n  -count <num>    the length of the test in clock cycles. (default "
          "1000)\n  -optimize       dismiss test patterns at the end of the test that do not\n                  detect "
          "any additional faults\n  -lsb            design outputs are connected to the side of less significant\n  "
          "                bits of the analyzer LFSR.\n",
          pname, pname);
}

int Complain(const char* text) {
  fputs(text, stderr);
  return -1;
}

std::string& Val(int k) { return *args[k]; }

void CheckGiven(int k, const char* name) {
  if (args[k]) check(Val(k), static_cast<int>(Val(k).size()), name);
}

int test_input(int argc, char** argv) {
  end = 0;
  screen = 0;
  vcount = 1000;
  int next = scan_input(argc, argv, act, keys, args, kOptions, "\nError : %s argument also needs a parameter!\n");
  args.resize(ARGS);
  if (next < 0) return -1;
  if (args[SIMUL]) {
    if (Val(SIMUL) != "cstp" && Val(SIMUL) != "bilbo") {
      fprintf(stderr, "Unknown simulator : %s\n", Val(SIMUL).c_str());
      return -1;
    }
    simulator = Val(SIMUL);
  } else {
    simulator = "bilbo";
  }
  bool bilbo = simulator == "bilbo";
  if (args[RAND]) {
    int gl, al;
    if (!args[GLEN]) return Complain("You have specified random generation, but omitted -glen or it's value!\n");
    if (!NumberValue(Val(GLEN), gl)) return Complain("-glen must have numerical value!\n");
    Randomize();
    if (!args[GPOLY]) args[GPOLY] = GenRandVect32(gl);
    if (!args[GINIT]) args[GINIT] = GenRandVect32(gl);
    if (bilbo) {
      if (!args[ALEN]) return Complain("You must specify -alen too!\n");
      if (!NumberValue(Val(ALEN), al)) return Complain("-alen must have numerical value!\n");
      if (!args[AINIT]) args[AINIT] = GenRandVect32(al);
      if (!args[APOLY]) args[APOLY] = GenRandVect32(al);
    }
  } else {
    if (!args[GPOLY] || !args[GINIT])
      return Complain("Generator polynomial(s) must be specified or turn on random generation!\n");
    if (bilbo && (!args[APOLY] || !args[AINIT])) {
      CheckGiven(GPOLY, "gpoly vector");
      CheckGiven(GINIT, "ginit vector");
      if (Val(GPOLY).size() != Val(GINIT).size()) return Complain("gpoly and ginit must be the same length!\n");
      return Complain("Analyzer polynomial(s) must be specified!\n");
    }
  }
  // Given strings, in either mode, are register strings; each register's
  // polynomial and initial state must have the same length.
  CheckGiven(GPOLY, "gpoly vector");
  CheckGiven(GINIT, "ginit vector");
  if (Val(GPOLY).size() != Val(GINIT).size()) return Complain("gpoly and ginit must be the same length!\n");
  if (bilbo) {
    CheckGiven(APOLY, "apoly vector");
    CheckGiven(AINIT, "ainit vector");
    if (Val(APOLY).size() != Val(AINIT).size()) return Complain("apoly and ainit must be the same length!\n");
  }
  if (args[COUNT]) {
    int n;
    if (!NumberValue(Val(COUNT), n)) return Complain("-count must have numerical value!\n");
    vcount = static_cast<uint32_t>(n);
  }
  screen = args[SCREEN] ? 1 : 0;
  end = args[LSB] ? 1 : 0;
  if (next != argc - 1) return Complain("Give me AG file name as last argument!\n");
  ag_file = argv[argc - 1];
  if (ag_file.find(".agm") == std::string::npos) ag_file += ".agm";
  design = BaseName(ag_file.c_str());
  design = design.substr(0, design.find(".agm"));
  TextOut(Format("Design : %s\n", design.c_str()));
  return 0;
}

int bistemu_main(int argc, char** argv) {
  aliasing_serial = SERIAL_ALIASING;
  if (test_input(argc, argv) == -1) {
    USAGE(BaseName(argv[0]));
    return 255;
  }
  mode = simulator == "cstp" ? 1 : 0;
  read_ag(ag_file);
  CheckTestSize(vcount, 2 * (Val(GPOLY).size() + (args[APOLY] ? Val(APOLY).size() : 0)));
  alloc_vec();
  if (mode == 0) {
    alen = static_cast<int>(Val(APOLY).size());
    if (alen < static_cast<int>(OutCount)) Error("Analyser register too short", -1);
  }
  glen = static_cast<int>(Val(GPOLY).size());
  if (glen < static_cast<int>(InpCount) || (mode == 1 && glen < static_cast<int>(OutCount)))
    Error("Generator register too short", -1);
  etalon.assign(static_cast<size_t>(mode == 0 ? alen : glen), '0');
  my_faults.assign(NodCount, 'X');
  g_state.assign(static_cast<size_t>(vcount) + 1, std::string(static_cast<size_t>(glen), '0'));
  g_state[0] = Val(GINIT);
  if (mode == 0) {
    a_state.assign(static_cast<size_t>(vcount) + 1, std::string(static_cast<size_t>(alen), '0'));
    a_state[0] = Val(AINIT);
  }
  RunStyle style;
  style.dots = false;
  style.frame_cstp_sim = false;
  style.results = false;
  StartTimer();
  if (mode == 1)
    cstp_main(style);
  else
    bilbo_main(style);
  if (args[OPTIMIZE]) vcount = emu::optimize_length(ftable, faults.data(), vcount);
  analyser_state = mode == 1 ? g_state[vcount] : a_state[vcount];
  etalon = analyser_state;
  write_vec(design + ".tst", mode == 0 ? 4 : 3);
  if (args[ALIASING]) do_aliasing(style);
  std::string s = Format("\nTest vectors : %d\nFault coverage (without aliasing): %f%%\n", static_cast<int>(vcount),
                         emu::coverage_f(faults.data(), NodCount));
  if (args[ALIASING])
    s += Format("Fault coverage (with aliasing): %f%%\n", emu::coverage_f(my_faults.data(), NodCount));
  TextOut(s);
  EndTimer();
  free_ag();
  free_vec();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(bistemu_main, argc, argv); }
