// patinsert: builds a design's test file from a values file that gives one
// number per pattern for each input or input bus.
#include <cstring>
#include <string>

#include "messages.h"
#include "mudel.h"
#include "values.h"
#include "vector.h"

namespace {

void usage(const char* name) {
  TextOut(Format("\n USAGE: %s [options] <design>\n\n", name));
  TextOut("Options:\n\t-file <name>\tread vectors from file <name>\n\n");
}

int patinsert_main(int argc, char** argv) {
  TextOut("\n Test vector insertion tool.\n");
  if (argc < 2) {
    usage(argv[0]);
    return 0;
  }
  std::string design = argv[argc - 1];
  std::string values_file;
  bool have_file = false;
  const char* unknown = nullptr;
  for (int i = 1; i < argc - 1; ++i) {
    if (strncmp(argv[i], "-file", 5) == 0) {
      values_file = argv[++i];
      have_file = true;
    } else {
      usage(argv[0]);
      if (!unknown) unknown = argv[i];
    }
  }
  // A mistyped -file must not replace the test file with an empty one.
  if (unknown && !have_file) Errors("Illegal option", unknown, -1);
  StartTimer();
  read_ag(design + ".agm");
  std::vector<BusEntry> buses = BuildBusList();
  std::vector<ValueList> lists;
  if (have_file) lists = ReadValues(values_file);
  vcount = PatternCount(lists, values_file);
  functionals = 0;
  alloc_vec();
  if (vcount > 0) LayValues(buses, lists);
  write_vec(design + ".tst", 1);
  free_vec();
  free_ag();
  EndTimer();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(patinsert_main, argc, argv); }
