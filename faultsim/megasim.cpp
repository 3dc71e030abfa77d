// megasim: stuck-at fault simulation over per-graph fan-out formulas, with
// random pattern packets, fault dropping, fault statistics and slicing of
// the topology.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <string>
#include <utility>
#include <vector>

#include "bdd.h"
#include "messages.h"
#include "mudel.h"
#include "npsimul.h"
#include "outfile.h"
#include "psimul.h"
#include "textnum.h"
#include "topology.h"
#include "topology_print.h"
#include "vector.h"

namespace {

bool topologyOnly = false;
std::string topologyFile;
long long randomCount = 0;
int randomUseSeed = 2;  // 2 calendar time, 1 randomSeed, 0 no new seed
uint32_t randomSeed = 0;
bool noOutput = false;
bool dropFaults = false, dropFaultsTable = false, faultStats = false;
uint32_t packetSize = 3200;
bool packetSizeSet = false;
uint32_t split = 0;
bool splitPrev = false;
bool splitRangeGiven = false;
std::string splitRangeString;
std::vector<uint32_t> splitRange(33, 0);
unsigned mode = 0;

[[noreturn]] void usage(const char* name) {
  TextOut(Format(
      "Usage: %s [options] <design>\nOptions:\n"
      "  -topology           Perform only analysis of topology.\n"
      "  -topology_file f    File to store detailed info \n"
      "                      about topology.\n\n"
      "  -random count       Use random input vectors. \n"
      "  -random_seed seed   Set seed for random generator. \n"
      "  -no_output          Do not update patterns/fault table (TST file). \n\n"
      "  -drop_faults        Perform fault dropping (on macro level).\n"
      "  -fault_table        Still produce fault table in fault dropping mode.\n"
      "  -fault_stats        Write statistics of fault discovery into TST file\n"
      "  -packet_size count  Splits vectors into packets by size of (count * 32)\n",
      name));
  exit(1);
}

void options(int argc, char** argv) {
  bool seedGiven = false;
  for (int i = 1; i < argc - 1; ++i) {
    const char* word = argv[i];
    // The value of an option is the next word, never the design argument.
    auto value = [&]() -> const char* {
      if (i + 1 >= argc - 1) Errors("Illegal option", argv[argc - 1], -1);
      return argv[++i];
    };
    if (strcmp(word, "-topology") == 0) {
      topologyOnly = true;
    } else if (strcmp(word, "-topology_file") == 0) {
      topologyFile = value();
    } else if (strcmp(word, "-random") == 0) {
      randomCount = NumberOption(value(), -2147483648LL, 4294967295LL);
    } else if (strcmp(word, "-random_seed") == 0) {
      randomSeed = static_cast<uint32_t>(NumberOption(value(), 0, 4294967295LL));
      randomUseSeed = 1;
      seedGiven = true;
    } else if (strcmp(word, "-no_output") == 0) {
      noOutput = true;
    } else if (strcmp(word, "-drop_faults") == 0) {
      dropFaults = true;
    } else if (strcmp(word, "-fault_table") == 0) {
      dropFaultsTable = true;
    } else if (strcmp(word, "-fault_stats") == 0) {
      faultStats = true;
    } else if (strcmp(word, "-packet_size") == 0) {
      packetSize = 32 * static_cast<uint32_t>(NumberOption(value(), 1, 0xffffffffLL / 32));
      packetSizeSet = true;
    } else if (strcmp(word, "-split") == 0) {
      split = static_cast<uint32_t>(NumberOption(value(), 0, 2147483647LL));
    } else if (strcmp(word, "-split_prev") == 0) {
      splitPrev = true;
    } else if (strcmp(word, "-split_range") == 0) {
      splitRangeString = value();
      splitRangeGiven = true;
    } else if (strcmp(word, "-debug_reference") == 0) {
      // accepted for compatibility; no effect
    } else {
      Errors("Illegal option", word, -1);
    }
  }
  if (topologyOnly && (randomCount > 0 || dropFaults || faultStats))
    Error("Option '-topology' cannot be used with other specified options", -1);
  if (split != 0 && (split < 2 || split > 31)) Error("Illegal number of splits", -1);
  if (splitRangeGiven && split == 0) Error("Option '-split_range' can be only used together with '-split'", -1);
  if (randomCount < 0) Error("Illegal number of random vectors", -1);
  if (seedGiven && randomCount == 0) Error("Option '-random_seed' can be only used together with '-random'", -1);
  if (dropFaultsTable && !dropFaults) Error("Option '-fault_table' can be only used together with '-drop_faults'", -1);
  if (dropFaults && faultStats) Error("Option '-drop_faults' cannot be used together with '-fault_stats'", -1);
  mode = dropFaults ? static_cast<unsigned>(SIM_DROP | (dropFaultsTable ? SIM_TABLE : 0u)) : faultStats ? SIM_STATS : 0u;
}

void parse_split_ranges() {
  splitRange.assign(33, 0);
  splitRange[split] = InternalGraphs();
  uint32_t entry = 1;
  size_t pos = 0;
  const std::string& s = splitRangeString;
  while (pos <= s.size()) {
    size_t comma = s.find(',', pos);
    if (comma == std::string::npos) comma = s.size();
    if (entry >= split) Error("Too much tokens in split range", -1);
    long long v;
    std::string token = s.substr(pos, comma - pos);
    if (!WholeNumber(token.c_str(), 0, 4294967295LL, v)) Error("Illegal split range", -1);
    splitRange[entry++] = static_cast<uint32_t>(v);
    pos = comma + 1;
  }
}

// Every slice holds at least one graph: the bounds rise strictly.
void check_split_ranges() {
  bool ok = splitRange[0] == 0 && splitRange[split] == InternalGraphs();
  for (uint32_t k = 1; k <= split && ok; ++k) ok = splitRange[k] > splitRange[k - 1];
  if (!ok) Error("Illegal split range", -1);
}

// Words of history per shared previous result: the words of a packet.
uint32_t HistoryWords() { return packetSize ? (packetSize - 1) / 32 + 1 : 0; }

void build_topology_part(unsigned flags, uint32_t first, uint32_t last) {
  TextOut(Format("\n*** SLICE (%u - %u)", first, last));
  StartTimer();
  BeginProcessing("Building topology");
  topology_build_ext(flags, first, last, HistoryWords());
  EndProcessing();
  EndTimer();
}

void build_topology() {
  StartTimer();
  BeginProcessing("Building topology");
  topology_build();
  EndProcessing();
  EndTimer();
}

void simulate_part(unsigned flags, uint32_t first, uint32_t last) {
  StartTimer();
  BeginProcessing("Simulating faults");
  npsimul_ext(flags, first, last);
  EndProcessing();
  EndTimer();
}

void simulate(unsigned flags) {
  StartTimer();
  BeginProcessing("Simulating faults");
  npsimul(flags);
  EndProcessing();
  EndTimer();
}

unsigned SliceFlags() { return splitPrev ? BUILD_KEEP_PREV : BUILD_SLICE; }

void print_topology(FILE* file) {
  TextOut(topology_stats());
  if (file != nullptr) {
    topology_print(file);
    topology_print_stats(file);
  }
}

void topology_only() {
  alloc_topology();
  OutFile out;
  FILE* file = nullptr;
  if (!topologyFile.empty()) {
    // A folder of that name could only be found when the finished file is
    // put in place: refuse it now, before the topology is built.
    struct stat st;
    if (stat(topologyFile.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      Errors(topologyFile, "Can't create output file", -1);
    OpenOutput(out, topologyFile);
    file = out.fp();
  }
  if (split) {
    for (uint32_t k = split; k >= 1; --k) {
      if (file != nullptr) fprintf(file, "\n\nSLICE %i\n", static_cast<int>(k));
      build_topology_part(SliceFlags(), splitRange[k - 1], splitRange[k] - 1);
      print_topology(file);
      free_topology_slice(splitRange[k - 1]);
    }
  } else {
    build_topology();
    print_topology(file);
  }
  if (file != nullptr) CommitOutput(out, topologyFile);
  free_topology();
}

void simulate_vectors_packet(uint32_t i) {
  if (!split) {
    if (i == 0) build_topology();
    simulate(mode);
    return;
  }
  for (uint32_t k = split; k >= 1; --k) {
    uint32_t first = splitRange[k - 1], last = splitRange[k] - 1;
    build_topology_part(SliceFlags(), first, last);
    simulate_part(mode | SIM_SLICE | (k == split ? SIM_FIRST_SLICE : 0u) | (k == 1 ? SIM_LAST_SLICE : 0u), first, last);
    free_topology_slice(first);
  }
}

// Random bits in one rand() value: 31 with every C library that this suite
// supports.  Counted in unsigned arithmetic, so the shift never overflows.
uint32_t GetRandomSequenceLength() {
  uint32_t count = 0;
  for (uint64_t x = 1; x < 0x7fffffffu; x <<= 1) ++count;
  return count;
}

void GenerateRandomVector(std::vector<unsigned char>& row, uint32_t inputs, uint32_t bits) {
  uint32_t i = 0;
  while (i < inputs) {
    uint32_t r = static_cast<uint32_t>(rand());
    for (uint32_t b = 0; b < bits && i < inputs; ++b) row[i++] = (r >> b) & 1;
  }
}

void RegenerateRandomVectors(int type, uint32_t seed) {
  if (type == 1)
    srand(seed);
  else if (type == 2)
    srand(static_cast<unsigned>(time(nullptr)));
  uint32_t bits = GetRandomSequenceLength();
  for (uint32_t v = 0; v < vcount; ++v) GenerateRandomVector(vects[v], InpCount, bits);
}

void GenerateRandomVectors(uint32_t n, int type, uint32_t seed) {
  vcount = n;
  alloc_vec();
  RegenerateRandomVectors(type, seed);
}

void write_fault_stats(const std::string& path, uint32_t n) {
  OutFile out;
  if (!out.Open(path)) Error("Cannot create/open output TST file", -1);
  FILE* f = out.fp();
  fprintf(f, "\n.VECTORS %u\n\n", n);
  fputs("; Statistics of fault discovery\n", f);
  fputs("; Node index | SA-0 | SA-1\n", f);
  fputs(".FAULT_STATS\n\n", f);
  for (uint32_t k = 0; k < NodCount; ++k)
    fprintf(f, "%9u %8llu %8llu\n", k, static_cast<unsigned long long>(FaultStats0[k]),
            static_cast<unsigned long long>(FaultStats1[k]));
  fputs("\n", f);
  if (!out.Commit()) Error("Cannot create/open output TST file", -1);
}

// After several packets the file holds the rows of the last ones: its fault
// status is what those rows detect, merged into the status the run started
// from as analyze merges (the terminal has reported the whole run).  Without
// dropping their table holds every detection; dropping skips the rows of
// graphs already dropped, so the rows are simulated again, word-parallel,
// and the table of -fault_table stays the one the run made.
void StatusOfWrittenRows(std::vector<char> start) {
  if (!dropFaults) {
    for (uint32_t v = 0; v < vcount; ++v) {
      const char* row = ftable[v].data();
      for (uint32_t n = 0; n < NodCount; ++n) {
        char& f = start[n];
        char m = row[n];
        if (m == 'X') continue;
        if (f == 'X' || f == 'x')
          f = m;
        else if ((f == '0' && m == '1') || (f == '1' && m == '0'))
          f = '&';
      }
    }
    faults.swap(start);
    return;
  }
  std::vector<std::vector<char>> table;
  if (dropFaultsTable) table = ftable;
  faults.swap(start);
  alloc_psimul();
  init_psimul();
  psimul();
  serial_vec();
  if (dropFaultsTable) ftable.swap(table);
}

double ProcessSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

int megasim_main(int argc, char** argv) {
  TextOut("Mega Fault Simulator for Combinational Circuits\n");
  if (argc < 2) usage(argv[0]);
  options(argc, argv);
  std::string design = argv[argc - 1];
  read_ag(design + ".agm");
  // The formulas assume that a graph reads only earlier graphs.
  RefuseDelayedVariables(design + ".agm", "megasim");
  if (split) {
    // Every slice holds at least one internal graph.
    if (split > InternalGraphs())
      Error(Format("The model has %u internal graphs, too few for %u slices", InternalGraphs(), split), -1);
    if (splitRangeGiven) {
      parse_split_ranges();
    } else {
      splitRange.assign(33, 0);
      topology_estimate_split(split, splitRange);
    }
    check_split_ranges();
  }
  if (topologyOnly) {
    topology_only();
    free_ag();
    return 0;
  }
  uint32_t total;
  if (randomCount == 0) {
    // The file's table gives way to this run's: its rows are checked, not
    // kept, and the rows written are made from the detection masks.
    READ_FAULT_TABLE = 2;
    read_vec(design + ".tst");
    ForgetOtherModelStatus(false);
    tableFromMasks = true;
    TableRowSource = npsimul_table_row;
    total = vcount;
    packetSize = vcount;
  } else {
    total = static_cast<uint32_t>(randomCount);
    if (!packetSizeSet) packetSize = faultStats ? 3200 : total;
    // A run shorter than one packet draws and writes only its own patterns.
    if (packetSize > total) packetSize = total;
    GenerateRandomVectors(packetSize, randomUseSeed, randomSeed);
  }
  // The default mode reports what this run detects; dropping and statistics
  // add to the status that was read.
  if (mode == 0)
    for (char& f : faults) f = 'X';
  std::vector<char> startStatus = faults;
  alloc_topology();
  alloc_bdd();
  alloc_npsimul(mode);
  StartTimer();
  BeginProcessing("Building BDDs");
  bdd_build();
  EndProcessing();
  EndTimer();
  double t0 = ProcessSeconds();
  uint32_t packets = 1;
  if (total == packetSize) {
    simulate_vectors_packet(0);
  } else {
    uint32_t remaining = total;
    uint32_t i = 0;
    while (remaining > 0) {
      if (remaining < packetSize) vcount = remaining;
      if (i > 0) RegenerateRandomVectors(0, 0);
      TextOut(Format("\n*** Simulating packet of vectors %u (size %u vectors)", i, vcount));
      simulate_vectors_packet(i);
      ++i;
      remaining -= remaining < packetSize ? remaining : packetSize;
    }
    packets = i;
    vcount = packetSize;
  }
  if (split || packets > 1) TextOut(Format("\n*** TOTAL TIME: %f \n", ProcessSeconds() - t0));
  uint32_t count = CountDetected(faults, false);
  uint32_t all = 2 * NodCount;
  TextOut(Format("\nCovered %u of %u faults\n", count, all));
  TextOut(Format("Fault coverage %f\n", all ? count * 100.0 / all : 0.0));
  TextOut(Format("%u vectors simulated\n", total));
  if (!noOutput) {
    if (packets > 1 && !faultStats) StatusOfWrittenRows(std::move(startStatus));
    if (faultStats)
      write_fault_stats(design + ".tst", total);
    else
      write_vec(design + ".tst", (dropFaults && !dropFaultsTable) ? 1 : 0);
  }
  free_npsimul();
  free_topology();
  free_bdd();
  free_vec();
  free_ag();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(megasim_main, argc, argv); }
