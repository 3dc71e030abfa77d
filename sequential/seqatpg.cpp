// seqatpg: random test sequences for a sequential circuit, with an optional
// reset pulse and inputs fixed by a template; keeps the prefix of every
// sequence that detects new faults and writes the kept test.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "m3simul.h"
#include "messages.h"
#include "mudel.h"
#include "random.h"
#include "sqsim.h"
#include "textnum.h"
#include "vector.h"

namespace {

uint32_t SequenceLength = 128;
uint32_t MaxSimulations = 1000;
uint32_t MinSimulations = 0;
int ResetIndex = -1;
const char* ResetText = nullptr;  // the option's value, for the message
int FaultSimulate = 0;
std::string InFile;
int InTemplate = 0;
uint64_t FailureLimit = 32;
uint32_t total = 0;

struct FixedInput {
  std::string name;
  int hold = 0;
  int periodic = 0;
  uint32_t period = 0;
  uint32_t input = 0;
  std::vector<unsigned char> values;
};
std::vector<FixedInput> fixvecs;
uint32_t fixvcount = 0;

[[noreturn]] void usage() {
  Error("Usage: seqatpg [options] <design>\nOptions:\n"
        " -sequence_length <x> Number of vectors in test sequences.(Default 128).\n"
        " -max_simulations <x> Maximum number of simulated sequences.(Default 1000).\n"
        " -min_simulations <x> Minimum number of simulated sequences.(Default 0).\n"
        " -reset_index <x>     Index of the reset variable in the SSBDD model.\n"
        " -fault_table         Simulate faults in generated tests. (Default off).\n"
        " -infile f            Reads file f with data about detected faults.\n"
        " -input_template      Fix some inputs as described in file <design>.fxi",
        -1);
}

// An option that takes a value, given just before the design, takes the
// design argument as its value (the design name is still the last argument).
void options(int argc, char** argv) {
  for (int i = 1; i < argc - 1; ++i) {
    const char* word = argv[i];
    if (strcmp(word, "-sequence_length") == 0) {
      SequenceLength = static_cast<uint32_t>(NumberOption(argv[++i], 0, MAXIMUM_VECTORS));
      if (SequenceLength <= 2) Error("To small value for 'sequence_length' option", -1);
    } else if (strcmp(word, "-max_simulations") == 0) {
      MaxSimulations = static_cast<uint32_t>(NumberOption(argv[++i], 0, INT_MAX));
    } else if (strcmp(word, "-min_simulations") == 0) {
      MinSimulations = static_cast<uint32_t>(NumberOption(argv[++i], 0, INT_MAX));
    } else if (strcmp(word, "-reset_index") == 0) {
      ResetText = argv[++i];
      ResetIndex = static_cast<int>(NumberOption(ResetText, -1, INT_MAX));
    } else if (strcmp(word, "-fault_table") == 0) {
      FaultSimulate = 1;
    } else if (strcmp(word, "-infile") == 0) {
      InFile = argv[++i];
    } else if (strcmp(word, "-input_template") == 0) {
      InTemplate = 1;
    } else {
      Errors("Illegal option", word, -1);
    }
  }
}

[[noreturn]] void LineError(uint32_t line, const char* message) {
  Errors(Format("line %u", line), message, -1);
}

bool ReadLine(FILE* f, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  return any;
}

struct FileCloser {
  FILE* f;
  ~FileCloser() { fclose(f); }
};

void read_template(const std::string& path) {
  TextOut("\nReading fixed input values...\n");
  FILE* f = fopen(path.c_str(), "rt");
  if (f == nullptr) Errors(path, "Can't open inputs template file", -1);
  FileCloser closer{f};
  std::string line;
  long long count = ReadLine(f, line) ? AtoiAt(line, 0) : 0;
  if (count <= 0) LineError(1, "Number of fixed input signals unspecified");
  long long n = ReadLine(f, line) ? AtoiAt(line, 0) : 0;
  if (n <= 0) LineError(2, "Number of fixed signal vectors unspecified");
  if (n > static_cast<long long>(SequenceLength))
    LineError(2, "Input template file contains more vectors than the test sequence");
  fixvcount = static_cast<uint32_t>(n);
  fixvecs.clear();
  for (long long c = 0; c < count; ++c) {
    uint32_t lineno = static_cast<uint32_t>(c + 3);
    size_t colon = std::string::npos;
    if (ReadLine(f, line)) colon = line.find(':');
    if (colon == std::string::npos) LineError(lineno, "':' expected");
    FixedInput fi;
    fi.name = line.substr(0, colon);
    uint32_t i = 0;
    while (i < InpCount && VarNames[i] != fi.name) ++i;
    if (i == InpCount) Errors(fi.name, "input not found in the circuit", -1);
    fi.input = i;
    size_t p = colon + 1;
    char kind = p < line.size() ? line[p] : '\0';
    if (kind == 'H') {
      fi.hold = 1;
    } else if (kind == 'P') {
      size_t slash = line.find('/', p);
      if (slash == std::string::npos) LineError(lineno, "'/' expected after PER");
      long long period = AtoiAt(line, slash + 1);
      // The divisor MaxSimulations / period must not be 0.
      if (period <= 0 || period > static_cast<long long>(MaxSimulations))
        LineError(lineno, "Period must lie between 1 and the maximum number of simulations");
      fi.periodic = 1;
      fi.period = static_cast<uint32_t>(period);
    } else {
      for (uint32_t r = 0; r < fixvcount; ++r) {
        size_t hash = line.find('#', p);
        if (hash == std::string::npos) LineError(lineno, "'#' expected");
        char v = line[p];
        if (v == '0')
          fi.values.push_back(0);
        else if (v == '1')
          fi.values.push_back(1);
        else if (v == 'x')
          fi.values.push_back('x');
        else
          LineError(lineno, "Fixed value must be 0, 1 or x");
        p = hash + 1;
      }
    }
    fixvecs.push_back(std::move(fi));
  }
}

void set_fixed_inputs(uint32_t s, uint32_t max_simulations) {
  for (const FixedInput& fi : fixvecs) {
    uint32_t col = fi.input;
    if (fi.hold) {
      for (uint32_t r = 1; r < fixvcount; ++r) vects[r][col] = vects[0][col];
    } else if (fi.periodic) {
      unsigned char v = static_cast<unsigned char>((s / (max_simulations / fi.period)) % 2);
      for (uint32_t r = 0; r < fixvcount; ++r) vects[r][col] = v;
    } else {
      for (uint32_t r = 0; r < fixvcount; ++r) vects[r][col] = fi.values[r];
    }
  }
}

// Inputs from the shared random stream, 32 to a number; a reset input gets
// a pulse in row 1.
void seq_rand_vec(int reset) {
  for (uint32_t r = 0; r < vcount; ++r) {
    std::vector<unsigned char>& row = vects[r];
    for (uint32_t k = 0; k <= InpCount / 32; ++k) {
      uint32_t rnd = GetRnd();
      for (uint32_t l = 0; l < 32 && 32 * k + l < InpCount; ++l) row[32 * k + l] = (rnd >> l) & 1;
    }
    if (reset != -1) row[reset] = r == 1 ? 1 : 0;
  }
}

void Progress(uint32_t s) { TextOut(Format("\r %d simulations done, %d faults detected", s, total)); }

// One random sequence through both simulators.
void SimulateSequence(uint32_t s, int reset, bool with_template) {
  init_m3simul();
  seq_rand_vec(reset);
  if (with_template) set_fixed_inputs(s, MaxSimulations);
  m3simul();
  init_seqsimul();
  seq_simul();
}

// Sequences drawn ahead and simulated as one batch (see BeginSequenceBatch):
// only as many as would run even if none of them detected a fault, so no
// sequence is drawn that the run would not draw; the random state after
// each is kept, so that a run stopped inside the batch (the kept test full,
// or a detection that shortens the failure limit) leaves the random source
// exactly where it would be.
struct Batch {
  bool usable = true;  // false once the model refused the method
  uint32_t count = 0, next = 0;
  std::vector<std::pair<int32_t, int32_t>> seeds;
} batch;

// Below this many sequences a batch leaves most lanes empty, and 64 faults
// of one sequence at a time cost less.
constexpr uint32_t kFewestLanes = 8;

// Sequences s, s+1, ... that run whatever they detect (at most a batch):
// those that run when none detects a fault, and those that run when s
// detects one (the failure limit then becomes 2s, the shortest any later
// detection can leave; a detection at t lets at least 2t more run).
uint32_t SureRuns(uint32_t s, uint64_t failures) {
  auto runs = [s](uint64_t failed, uint64_t limit, uint32_t from) {
    uint32_t n = from - s;
    for (uint32_t t = from; t < MaxSimulations && n < kBatchLanes; ++t) {
      ++n;
      if (++failed > limit && t >= MinSimulations) break;
    }
    return n;
  };
  if (s >= MaxSimulations) return 0;
  return std::min(runs(failures, FailureLimit, s), runs(0, 2ull * s, s + 1));
}

// Sequence s through both simulators, taken from the batch; a new batch of
// `sure` sequences is drawn when the last one is used up.
void NextSequence(uint32_t s, int reset, bool with_template, uint32_t sure) {
  if (batch.next < batch.count) {
    TakeBatchSequence(batch.next++);
    return;
  }
  batch.count = batch.next = 0;
  batch.seeds.clear();
  if (sure >= kFewestLanes && batch.usable) {
    const int32_t s1 = seed1, s2 = seed2;
    batch.usable = BeginSequenceBatch();
    bool ok = batch.usable;
    for (uint32_t i = 0; ok && i < sure; ++i) {
      init_m3simul();
      seq_rand_vec(reset);
      if (with_template) set_fixed_inputs(s + i, MaxSimulations);
      ok = AddBatchSequence();
      batch.seeds.emplace_back(seed1, seed2);
    }
    if (ok) {
      SimulateSequenceBatch();
      batch.count = sure;
      TakeBatchSequence(batch.next++);
      return;
    }
    seed1 = s1;  // left to the one-sequence method, drawn again
    seed2 = s2;
    batch.seeds.clear();
  }
  SimulateSequence(s, reset, with_template);
}

// Ends the batch: the random source as the sequences taken left it.
void EndBatch() {
  if (batch.next < batch.count) {
    seed1 = batch.seeds[batch.next - 1].first;
    seed2 = batch.seeds[batch.next - 1].second;
  }
  batch.count = batch.next = 0;
  batch.seeds.clear();
}

// Keeps the sequence's prefix; false when the kept test would grow too long
// (its detections are then taken back, since no kept pattern shows them).
bool Keep() {
  if (SavePatterns()) {
    total += detected;
    return true;
  }
  UndoLastDetections();
  Warning("vector limit exceeded", -1);  // generation stops; the kept test is written
  return false;
}

int seqatpg_main(int argc, char** argv) {
  TextOut("Random ATPG for Sequential Circuits\n");
  if (argc < 2) usage();
  options(argc, argv);
  if (MaxSimulations < MinSimulations)
    Error("Maximum number of simulated sequences cannot be smaller than minimal value", -1);
  TextOut(Format("Running test generation with following options:\n\n# of vectors in sequences: %d\n"
                 "Max. # of simulations: %d\nMin. # of simulations: %d\nIndex of reset variable:   %d\n",
                 SequenceLength, MaxSimulations, MinSimulations, ResetIndex));
  TextOut(FaultSimulate ? "Fault simulation:   on\n" : "Fault simulation:   off\n");
  TextOut("Add unactivated:   off\n");
  std::string design = argv[argc - 1];
  read_ag(design + ".agm");
  CheckSequentialModel();
  if (ResetIndex >= 0 && static_cast<uint32_t>(ResetIndex) >= InpCount)
    Errors("Reset index is not an input of the model", ResetText, -1);
  BeginProcessing("Start random test generation");
  StartTimer();
  untestables();
  vcount = SequenceLength;
  functionals = 0;
  alloc_vec();
  std::vector<std::vector<char>>().swap(ftable);  // no per-pattern table: faults are dropped
  InitNextGraphs();
  faults.assign(NodCount, 'X');
  alloc_m3simul();
  alloc_seqsimul();
  total = 0;
  if (!InFile.empty()) {
    ReadFaultInfo(InFile);
    total = NormaliseFaultMarks(faults);
  }
  if (InTemplate) read_template(design + ".fxi");

  bool full = false;  // the kept test reached its limit
  TextOut("\nTaking into account the global reset\n\n");
  uint32_t s = 0;
  uint64_t failures = 0;
  for (;;) {
    Progress(s);
    if (s >= MaxSimulations) break;
    NextSequence(s, ResetIndex, InTemplate, SureRuns(s, failures));
    if (detected > 0) {
      if (!Keep()) {
        full = true;
        ++s;
        break;
      }
      failures = 0;
      FailureLimit = 2ull * s;
    } else if (++failures > FailureLimit && s >= MinSimulations) {
      ++s;
      break;
    }
    ++s;
  }
  EndBatch();
  TextOut("\n");
  TextOut("\nTreating reset signal as an ordinary input\n\n");
  if (ResetIndex != -1 && !full) {
    ResetIndex = -1;
    uint32_t more = s >= 100 ? s / 10 : 10;
    for (uint32_t t = 0; t < more; ++t) {
      Progress(t);
      NextSequence(t, -1, false, std::min(kBatchLanes, more - t));
      if (detected > 0 && !Keep()) {
        full = true;
        break;
      }
    }
    EndBatch();
    TextOut("\n");
  }
  seq_statistics(total, final_vcount);
  EndProcessing();

  std::string out = design + ".tst";
  if (FaultSimulate) {
    if (final_vcount > 0) {
      TextOut("\n\nFinal fault simulation of the test...\n");
      CopyVectorInputs();
      m3simul();
      init_seqsimul();
      seq_simul();
      total += detected;
      seq_statistics(total, final_vcount);
    } else {
      vcount = 0;  // nothing kept: the empty test, with the marks as they stand
    }
    EndTimer();
    write_vec(out, 1);
  } else {
    EndTimer();
    WriteEverythingOut(out);
  }
  free_m3simul();
  return full ? 14 : 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(seqatpg_main, argc, argv); }
