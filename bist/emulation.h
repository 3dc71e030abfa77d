// One BIST run on the model: BILBO (free-running generator, separate
// signature analyser) or CSTP (one register both generating and
// compacting), the fault simulation of its patterns, the test-length
// optimisation step, the aliasing analysis and the progress bar.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Options of the BIST programs, in the order of their option words.
enum ArgIndex {
  RAND, GLEN, ALEN, SIMUL, GPOLY, GINIT, APOLY, AINIT, COUNT, LSB, SCREEN, OPTIMIZE, ALIASING, RUN, OEXT,
  GENERATE, MODULAR, STEP, READTST, SIGFILE, ARGS
};
extern std::vector<std::optional<std::string>> args;

extern int mode;      // 0 BILBO, 1 CSTP
extern int stepping;  // generator clocks per pattern (BILBO)
extern int end;       // injection side: 0 first positions, 1 last
extern int screen;
extern int glen, alen;
extern std::vector<std::string> g_state, a_state;  // row i: state at pattern i
extern std::string etalon;                         // fault-free signature
extern std::vector<char> my_faults;                // marks of the aliasing analysis

// What the two programs print around a run.
struct RunStyle {
  bool dots = true;             // "Generating test patterns [...] done"
  bool frame_cstp_sim = true;   // "Simulating generated vectors" in CSTP
  bool results = true;          // "Aliasing results:" after the analysis
};

void bilbo_main(const RunStyle& style);
void cstp_main(const RunStyle& style);
// Returns the new test length; at level 2 the tables start at the first kept
// pattern afterwards.
unsigned run_optimizer(int level);

// Serial: each fault re-emulates the whole run.  Fast (the default) reaches
// the same marks from the fault table and word-parallel differences.
extern bool aliasing_serial;
void do_aliasing(const RunStyle& style);

void progress_bar(int current, int final_value);

// Ends the run with "Out of memory" when the tables of a test of `count`
// patterns could not fit in the machine's memory, before any is allocated.
void CheckTestSize(uint64_t count, uint64_t registerLength);
