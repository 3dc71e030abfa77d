#include "generator.h"

#include <limits>

#include "fsimul.h"
#include "messages.h"
#include "mudel.h"
#include "outfile.h"
#include "packsim.h"
#include "podem.h"
#include "random.h"
#include "testsim.h"
#include "vector.h"

uint32_t VectorLim = 1000;
int FaultTable = 0;
int TPFFlag = 0;
uint32_t vektoreid = 0;
FILE* redundant_file = nullptr;

namespace {

// The store grows as patterns are found, so the limit costs nothing until it
// is reached.  Pattern rows come first and the two work rows stay last (a
// row keeps its buffer when the list of rows grows, so the search's rows only
// change place).  The list grows by doubling.  The fault table of the
// patterns is written only by -fault_table, which simulates them all again;
// the fault loop needs its rows only where the single-fault simulator takes
// the new patterns (`with_table`).
void StorePatternRow(bool with_table) {
  if (vektoreid + 2 == vcount) {
    vects.insert(vects.end() - 2, BlankRow());
    ++vcount;
  }
  if (with_table)
    while (ftable.size() <= vektoreid) ftable.emplace_back(NodCount, 'X');
}

// -test_per_fault writes the input columns only and never simulates its
// patterns, so it keeps just those columns, two bits a value (0, 1 or 'x'),
// instead of a row of every variable and a fault-table row per pattern: on
// the largest models tens of thousands of tests are kept.
std::vector<uint8_t> kept_inputs;

constexpr uint8_t KeptX = 2;

void KeepInputs(const std::vector<unsigned char>& good) {
  const uint64_t first = uint64_t{vektoreid} * InpCount;
  kept_inputs.resize((first + InpCount + 3) / 4, 0);
  for (uint32_t i = 0; i < InpCount; ++i) {
    const unsigned char v = good[i];
    const uint8_t code = v == 0 ? 0 : v == 1 ? 1 : KeptX;
    const uint64_t at = first + i;
    kept_inputs[at / 4] |= static_cast<uint8_t>(code << (2 * (at % 4)));
  }
}

char KeptInput(uint32_t pattern, uint32_t input) {
  const uint64_t at = uint64_t{pattern} * InpCount + input;
  const uint8_t code = (kept_inputs[at / 4] >> (2 * (at % 4))) & 3u;
  return code == 0 ? '0' : code == 1 ? '1' : 'x';
}

void PrintSummary(uint32_t untestable, uint64_t backtracks) {
  uint32_t tested = CountDetected(faults, false);
  uint32_t total = 2 * NodCount;
  uint32_t aborted = total - tested - untestable;
  // A model without nodes has no faults: nothing is covered, 0 %.
  long double coverage = total == 0 ? 0 : static_cast<long double>(tested) / total * 100;
  // With every fault untestable the efficiency is not a number; the same
  // "nan" on every platform, whatever sign a 0/0 would carry.
  long double efficiency = total == 0            ? 0
                           : total == untestable ? std::numeric_limits<long double>::quiet_NaN()
                                                 : static_cast<long double>(tested) / (total - untestable) * 100;
  TextOut(Format("\nTested %u                                    \nUntestable %u\nAborted %u\n"
                 "Fault coverage: %Lf %%\nFault efficiency: %Lf %%\n%u Vectors\n%llu Backtracks\n",
                 tested, untestable, aborted, coverage, efficiency, vektoreid,
                 static_cast<unsigned long long>(backtracks)));
}

}  // namespace

// The patterns stored but not yet fault-simulated: rows first .. first+count-1.
// Fault dropping needs only to know, for each fault the loop comes to, whether
// an earlier pattern detects it; the patterns are simulated together a batch
// at a time, and a fault that the status still lacks is looked up in the
// batch not yet simulated.  The status and the rows come out as when every
// pattern is simulated as soon as it is found; the batches keep no fault-table
// rows (see StorePatternRow).
struct Batch {
  PackSimulator sim;
  uint32_t first = 0, count = 0;

  // The single-fault simulator's batches of one row mark the fault table.
  bool Plain() const { return sim.BatchRows() == 1; }

  void Flush() {
    if (count > 0) sim.SimulateNew(first, count, Plain());
    first += count;
    count = 0;
  }
  bool Detects(uint32_t node, char digit) { return count > 0 && sim.Detecting(first, count, node, digit) != 0; }
  // Row first+count becomes part of the batch; false when it does not detect
  // the fault it was found for.
  bool Add(uint32_t node, char digit) {
    ++count;
    const uint32_t rows = sim.BatchRows();
    bool covered;
    if (rows == 1) {
      Flush();
      covered = ftable[first - 1][node] == digit;
    } else {
      covered = (sim.Detecting(first, count, node, digit) >> (count - 1)) & 1u;
      if (count == rows) Flush();
    }
    return covered;
  }
};

GenerateEnd generate() {
  vektoreid = 0;
  uint32_t untestable = 0;
  uint64_t backtracks = 0;
  reached_code1 = 0;
  kept_inputs.clear();
  SetFsimulDropping();
  Batch batch;
  uint32_t graph = 0;
  for (uint32_t node = 0; node < NodCount; ++node) {
    while (node >= Grps[graph].g_beg + Grps[graph].g_len) ++graph;
    const bool inverted = Nods[node].n_flags & 1u;
    for (uint32_t stuck = 0; stuck < 2; ++stuck) {
      CurrentNode = node;
      CurrentGraph = graph;
      CurrentFault = stuck;
      RealFault = inverted ? 1 - stuck : stuck;
      const char digit = static_cast<char>('0' + RealFault);
      char& mark = faults[node];
      if (!TPFFlag && (mark == digit || mark == '&' || batch.Detects(node, digit))) continue;
      ResetMachines();
      SetInitialEvents();
      int result = ag_podem();
      backtracks += backtrack_count;
      if (result == 0) {
        const uint32_t rows_for_patterns = TPFFlag ? VectorLim : VectorLim - 1;
        if (vektoreid >= rows_for_patterns) {
          // The patterns kept so far are written all the same, so their
          // figures are printed as at the end of a full run.
          batch.Flush();
          PrintSummary(untestable, backtracks);
          return GenerateEnd::VectorLimit;
        }
        if (TPFFlag) {
          KeepInputs(vects[GoodRow()]);
          if (mark == 'X' || mark == 'x')
            mark = digit;
          else if (mark != digit)
            mark = '&';
        } else {
          StorePatternRow(batch.Plain());
          std::vector<unsigned char>& pattern = vects[vektoreid];
          const std::vector<unsigned char>& good = vects[GoodRow()];
          for (uint32_t i = 0; i < InpCount; ++i) pattern[i] = good[i];
          for (uint32_t i = 0; i < InpCount; ++i)
            if (pattern[i] == 'x') pattern[i] = static_cast<unsigned char>(GetRnd() & 1u);
          if (!batch.Add(node, digit)) Error("internal err 3 (fault not covered)", -1);
        }
        ++vektoreid;
      } else if (result == 1) {
        ++untestable;
        fprintf(redundant_file, "Node %u (%s): sa-%u\n", node, NodNames[node].c_str(), RealFault);
      }
    }
  }
  batch.Flush();
  PrintSummary(untestable, backtracks);
  return GenerateEnd::Done;
}

void write_inputs(const std::string& path) {
  BeginProcessing(Format("Writing test patterns file %s", path.c_str()));
  OutFile f;
  OpenOutput(f, path);
  fprintf(f.fp(), "\n.VECTORS %u\n\n", vcount);
  if (functionals) fprintf(f.fp(), "\n.FUNCTIONAL %u\n\n", functionals);
  fprintf(f.fp(), "\n.PATTERNS\n\n");
  std::string line(InpCount + 1, '\n');
  for (uint32_t j = 0; j < vcount; ++j) {
    for (uint32_t i = 0; i < InpCount; ++i) line[i] = KeptInput(j, i);
    fputs(line.c_str(), f.fp());
  }
  CommitOutput(f, path);
  EndProcessing();
}
