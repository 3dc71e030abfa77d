// analyze: word-parallel stuck-at fault simulation of a design's test file,
// optionally turned into transition-fault (delay) marks.
#include <cstring>
#include <string>

#include "messages.h"
#include "mudel.h"
#include "psimul.h"
#include "vector.h"

namespace {

int fault_model = 0;  // 0 stuck-at, 1 delay
std::string extension = ".tst";

[[noreturn]] void usage() {
  Error("Usage: analyze [options] <design>\nOptions:\n"
        "-extension <extension>      extension of input patterns file.\n"
        "                            Default extension is 'tst'.\n",
        -1);
}

void options(int argc, char** argv) {
  for (int i = 1; i < argc - 1; i += 2) {
    const char* word = argv[i];
    const char* value = argv[i + 1];
    if (strcmp(word, "-model") == 0) {
      if (strcmp(value, "delay") == 0)
        fault_model = 1;
      else if (strcmp(value, "stuck_at") == 0)
        fault_model = 0;
      else
        Errors("Illegal option", value, -1);
    } else if (strcmp(word, "-extension") == 0) {
      extension = std::string(".") + value;
    } else {
      Errors("Illegal option", word, -1);
    }
  }
}

// A pattern's stuck-at detection becomes a transition mark when the node's
// line changed from the previous pattern: '/' rising, '\' falling.  Each row
// is converted and merged into the fault status in one pass; an 'X' leaves
// both the row and the status as they are.
void make_delay_faults() {
  // Locals, as the char stores could alias the globals.
  const uint32_t nodes = NodCount;
  const NodRec* nods = Nods.data();
  char* f = faults.data();
  for (uint32_t j = 0; j < nodes; ++j) f[j] = 'X';
  for (uint32_t i = 1; i < vcount; ++i) {
    char* row = ftable[i].data();
    const unsigned char* now = vects[i].data();
    const unsigned char* before = vects[i - 1].data();
    for (uint32_t j = 0; j < nodes; ++j) {
      char m = row[j];
      if (m == 'X') continue;
      if (m == '0' || m == '1') {
        uint32_t var = nods[j].n_var;
        bool inverted = nods[j].n_flags & 1;
        m = now[var] == before[var] ? 'X' : ((now[var] == 1) != inverted) ? '/' : '\\';
        row[j] = m;
      }
      char cur = f[j];
      if (cur == 'X')
        f[j] = m;
      else if ((cur == '/' && m == '\\') || (cur == '\\' && m == '/'))
        f[j] = '&';
    }
  }
  if (vcount > 0)
    for (char& m : ftable[0]) m = 'X';
}

void print_coverage() {
  uint32_t count = CountDetected(faults, false);
  uint32_t total = 2 * NodCount;
  double pct = total ? count * 100.0 / total : 0.0;
  TextOut(Format("\nCovered %d of %d faults\nFault coverage: %f %%\n%d vectors simulated\n", count, total, pct,
                 vcount));
}

int analyze_main(int argc, char** argv) {
  TextOut("Fault Simulator for Combinational Circuits\n");
  if (argc < 2) usage();
  fault_model = 0;
  options(argc, argv);
  std::string design = argv[argc - 1];
  read_ag(design + ".agm");
  read_vec(design + extension);
  ForgetOtherModelStatus(fault_model == 1);
  alloc_psimul();
  init_psimul();
  BeginProcessing("Simulating");
  StartTimer();
  psimul();
  EndProcessing();
  EndTimer();
  serial_vec();
  print_coverage();
  if (fault_model == 1) {
    make_delay_faults();
    write_vec(design + ".tst", 5);
  } else {
    write_vec(design + ".tst", 0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(analyze_main, argc, argv); }
