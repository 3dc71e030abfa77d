// optimize: compacts a design's test set over its fault table and writes the
// chosen patterns, in their order, to the design's test file.
#include <algorithm>
#include <cstring>
#include <string>

#include "compact.h"
#include "messages.h"
#include "mudel.h"
#include "outfile.h"
#include "textnum.h"
#include "vector.h"

namespace {

[[noreturn]] void usage() {
  Error("usage: optimize [options] <design>\nOptions:\n"
        "\t-extension <string> \tspecify vector file extension (tst by default)\n",
        -1);
}

// The patterns in state 0, graph columns as they stand ('x' when the file's
// values were not read back), and no other section.
void WriteChosen(const std::string& path, const std::vector<int32_t>& state, uint32_t chosen) {
  BeginProcessing("Writing test patterns file " + path);
  OutFile out;
  OpenOutput(out, path);
  FILE* f = out.fp();
  fprintf(f, ".VECTORS %u\n\n.PATTERNS\n\n", chosen);
  // Inputs as 0/1, internal graph columns as l/h, outputs as L/H.
  const uint32_t internal_end = std::min(VarCount, std::max(InpCount, VarCount - OutCount));
  std::string line(VarCount + 1, '\n');
  char* text = &line[0];
  for (uint32_t p = 0; p < vcount; ++p) {
    if (state[p] != 0) continue;
    const unsigned char* row = vects[p].data();
    auto put = [&](uint32_t from, uint32_t to, char zero, char one) {
      for (uint32_t v = from; v < to; ++v) text[v] = row[v] == 'x' ? 'x' : row[v] == 0 ? zero : one;
    };
    put(0, std::min(InpCount, VarCount), '0', '1');
    put(std::min(InpCount, VarCount), internal_end, 'l', 'h');
    put(internal_end, VarCount, 'L', 'H');
    fwrite(text, 1, line.size(), f);
  }
  CommitOutput(out, path);
  EndProcessing();
}

bool HasTransitionMarks(const std::vector<char>& marks) {
  return !marks.empty() &&
         (memchr(marks.data(), '/', marks.size()) != nullptr || memchr(marks.data(), '\\', marks.size()) != nullptr);
}

int optimize_main(int argc, char** argv) {
  if (argc < 2 || argc > 8) usage();
  CompactOptions options;
  std::string extension = ".tst";
  // Every word is compared with the option words, values included; other
  // words are passed over.
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    bool value_option = strcmp(word, "-fault_cover") == 0 || strcmp(word, "-extension") == 0;
    if (value_option && i + 1 >= argc) usage();
    if (strcmp(word, "-fault_cover") == 0) {
      options.fault_cover = true;
      options.percent = static_cast<uint32_t>(NumberOption(argv[i + 1], 0, 100));
    } else if (strcmp(word, "-extension") == 0) {
      extension = std::string(".") + argv[i + 1];
    } else if (strcmp(word, "-no_unique_vectors") == 0) {
      options.no_unique_vectors = true;
    }
  }
  std::string design = argv[argc - 1];
  StartTimer();
  read_ag(design + ".agm");
  read_vec(design + extension);
  if (!FAULT_TABLE || !FAULT_VECTOR) Error("No fault simulation data found. Please use the analyze command", -1);
  bool transitions = HasTransitionMarks(faults);
  for (uint32_t p = 0; p < vcount && !transitions; ++p) transitions = HasTransitionMarks(ftable[p]);
  if (transitions) Error("Transition fault marks found; only stuck-at fault tables can be compacted", -1);
  CompactResult r = Compact(ftable, faults, NodCount, options);
  EndTimer();
  uint32_t total = 2 * NodCount;
  TextOut(Format("Used %u cycles\n", r.cycles));
  TextOut(Format("Chose %u vectors\n", r.chosen));
  TextOut(Format("Covered %u of %u ", r.covered, total));
  TextOut(Format(" (i.e. %f %%)\n", total ? r.covered * 100.0 / total : 0.0));
  WriteChosen(design + ".tst", r.state, r.chosen);
  free_vec();
  free_ag();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(optimize_main, argc, argv); }
