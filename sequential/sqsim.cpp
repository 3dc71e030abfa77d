#include "sqsim.h"

#include <algorithm>
#include <limits>

#include "m3simul.h"
#include "messages.h"
#include "mudel.h"
#include "outfile.h"
#include "seqfaults.h"
#include "seqword.h"
#include "vector.h"

std::vector<std::vector<unsigned char>> asevects;
std::vector<std::vector<uint32_t>> changeMas;
std::vector<uint64_t> PresEventMas, NextEventMas;
uint64_t EventFrame = 0;
std::vector<std::vector<uint32_t>> nextgrps;
std::vector<uint32_t> untestableMas;
uint32_t untestable = 0;
uint32_t detected = 0;
uint32_t last_vector = 0;
int NoDrop = 0;
int seq_progress = 0;
std::vector<std::vector<unsigned char>> final_vects;
uint32_t final_vcount = 0;

namespace {

// Graphs due in the current frame, one bit each, taken in index order: all
// graphs scheduled during a frame come after the one being evaluated, so a
// cursor that only moves forward finds them without scanning every graph.
std::vector<uint64_t> dueBits;
uint32_t dueCount = 0;   // bits set
uint32_t dueCursor = 0;  // no bit is set in the words before it
// Graphs due in the next frame.
std::vector<uint32_t> dueNext;

void SetDue(uint32_t g) {
  dueBits[g >> 6] |= uint64_t(1) << (g & 63);
  ++dueCount;
  if ((g >> 6) < dueCursor) dueCursor = g >> 6;
}

// The lowest due graph, taken off the set; dueCount must be nonzero.
uint32_t TakeDue() {
  while (dueBits[dueCursor] == 0) ++dueCursor;
  uint64_t& w = dueBits[dueCursor];
  uint32_t g = (dueCursor << 6) + static_cast<uint32_t>(__builtin_ctzll(w));
  w &= w - 1;
  --dueCount;
  return g;
}

// Rows with a nonempty change list, so a restore touches only those.
std::vector<uint32_t> dirtyRows;

struct Detection {
  uint32_t node;
  uint32_t bit;
  char mark;  // the mark before the detection
};
std::vector<Detection> lastDetections;

void InitEventFrame() { ++EventFrame; }

void SwapEventMass() {
  PresEventMas.swap(NextEventMas);
  for (uint32_t g : dueNext) SetDue(g);
  dueNext.clear();
}

void DueNow(uint32_t g) {
  if (PresEventMas[g] == EventFrame) return;
  PresEventMas[g] = EventFrame;
  SetDue(g);
}

// Readers of a changed graph: those of a delayed variable see the change in
// the next frame, the others (all later graphs) in this one.
void UpdateEvents(uint32_t k) {
  bool delayed = Vars[GraphVar(k)].v_flags & VF_DELAYED;
  for (uint32_t r : nextgrps[k]) {
    if (delayed) {
      if (NextEventMas[r] == EventFrame + 1) continue;
      NextEventMas[r] = EventFrame + 1;
      dueNext.push_back(r);
    } else {
      DueNow(r);
    }
  }
}

void ClearDue() {
  while (dueCount > 0) TakeDue();
  dueCursor = 0;
}

// Puts every changed column back to the good machine's value.
void CopyVector() {
  for (uint32_t r : dirtyRows) {
    std::vector<unsigned char>& row = asevects[r];
    const std::vector<unsigned char>& good = vects[r];
    for (uint32_t col : changeMas[r]) row[col] = good[col];
    changeMas[r].clear();
  }
  dirtyRows.clear();
}

// The faults seq_simul simulates, in its order, for the fault-parallel
// method: a fault's turn depends only on the marks and exclusions its node
// had when seq_simul began (a node's first fault changes its mark in a way
// that never decides the second), so the list is known in advance and all
// of it is simulated before the first fault is asked for.
std::vector<SeqFault> laneFaults;
std::vector<unsigned char> laneResults;
size_t laneNext = 0;

void CollectLaneFaults() {
  laneFaults.clear();
  for (uint32_t g = 0; g < GrpCount; ++g)
    for (uint32_t n = Grps[g].g_beg; n < Grps[g].g_beg + Grps[g].g_len; ++n) {
      uint32_t inv = Nods[n].n_flags & 1;
      char m = faults[n];
      if (!(untestableMas[n] & 1) && m != '&' && m != '0') laneFaults.push_back({n, inv, 0, g});
      if (!(untestableMas[n] & 2) && m != '&' && m != '1') laneFaults.push_back({n, inv ^ 1, 1, g});
    }
  laneNext = 0;
}

int lane_sim_pat(uint32_t, uint32_t, uint32_t, uint32_t) { return laneResults[laneNext++]; }

void Progress(uint32_t node) {
  uint32_t all = 2 * NodCount;
  uint32_t passed = 2 * (node + 1);
  TextOut(Format("\r%.2f %% simulated (%u/%u), %.2f %% detected (%u/%u)", passed * 100.0 / all, passed, all,
                 detected * 100.0 / all, detected, all));
}

}  // namespace

void CheckSequentialModel() {
  for (uint32_t n = 0; n < NodCount; ++n) {
    uint32_t v = Nods[n].n_var;
    if (v >= VarCount - OutCount) Errors(VarNames[v], "Output variable read by a node", -1);
  }
}

int fltcmp(unsigned char faulty, unsigned char good) { return faulty != 'x' && good != 'x'; }

void InitNextGraphs() {
  uint32_t internal = GrpCount - OutCount;
  nextgrps.assign(internal, {});
  for (uint32_t g = 0; g < GrpCount; ++g) {
    for (uint32_t n = Grps[g].g_beg; n < Grps[g].g_beg + Grps[g].g_len; ++n) {
      uint32_t v = Nods[n].n_var;
      if (v < InpCount + ConCount) continue;
      uint32_t src = v - InpCount - ConCount;
      if (src >= internal) continue;  // refused by CheckSequentialModel
      std::vector<uint32_t>& list = nextgrps[src];
      if (list.empty() || list.back() != g) list.push_back(g);  // graphs come in order
    }
  }
}

void alloc_seqsimul() {
  asevects.assign(vcount, std::vector<unsigned char>(VarCount, 0));
  changeMas.assign(vcount, {});
  PresEventMas.assign(GrpCount, 0);
  NextEventMas.assign(GrpCount, 0);
  EventFrame = 0;
  dueBits.assign((GrpCount >> 6) + 1, 0);
  dueCount = 0;
  dueCursor = 0;
  dueNext.clear();
  dueNext.reserve(GrpCount);
  dirtyRows.clear();
  dirtyRows.reserve(vcount);
}

void free_seqsimul() {
  ReleaseFaultWords();
  std::vector<std::vector<unsigned char>>().swap(asevects);
  std::vector<std::vector<uint32_t>>().swap(changeMas);
}

void init_seqsimul() {
  // The whole first pattern, inputs and constants included, so a delayed
  // input reads the same defined value in both machines.
  for (uint32_t j = 0; j < vcount; ++j) asevects[j] = vects[j];
  std::fill(PresEventMas.begin(), PresEventMas.end(), 0);
  std::fill(NextEventMas.begin(), NextEventMas.end(), 0);
  EventFrame = 0;
  last_vector = 0;
  for (std::vector<uint32_t>& c : changeMas) c.clear();
  dirtyRows.clear();
}

int seq_sim_pat(uint32_t node, uint32_t forced_edge, uint32_t stuck, uint32_t graph) {
  InitEventFrame();
  dueNext.clear();
  const uint32_t first = InpCount + ConCount;
  const uint32_t internal = GrpCount - OutCount;
  bool found = false;
  const uint32_t var = Nods[node].n_var;
  const bool delayed = Vars[var].v_flags & VF_DELAYED;
  const uint32_t inv = Nods[node].n_flags & 1;
  for (uint32_t j = 1; j < vcount; ++j) {
    NextReachedCode();
    InitEventFrame();
    // A node forced onto the edge it takes anyway changes nothing: its graph
    // is then due only when a changed value reaches it.
    unsigned char v = delayed ? asevects[j - 1][var] : asevects[j][var];
    if (!((v == 0 || v == 1) && (v ^ inv) == forced_edge)) DueNow(graph);
    const unsigned char* prev = asevects[j - 1].data();
    unsigned char* cur = asevects[j].data();
    const unsigned char* good = vects[j].data();
    while (dueCount > 0) {
      uint32_t k = TakeDue();
      unsigned char r = m3eval(k, prev, cur, node, forced_edge);
      uint32_t col = first + k;
      if (r == good[col]) continue;
      if (k < internal) {
        cur[col] = r;
        if (changeMas[j].empty()) dirtyRows.push_back(j);
        changeMas[j].push_back(col);
        UpdateEvents(k);
      } else if (fltcmp(r, good[col])) {
        last_vector = std::max(last_vector, j);
        if (!NoDrop) {
          CopyVector();
          ClearDue();
          return 1;
        }
        found = true;
        char& m = ftable[j][node];
        char c = static_cast<char>('0' + stuck);
        if ((m == '0' || m == '1') && m != c)
          m = '&';
        else if (m != '&')
          m = c;
      }
    }
    SwapEventMass();
  }
  ClearDue();  // what the last frame scheduled for a frame that does not exist
  CopyVector();
  return found ? 1 : 0;
}

void seq_simul() {
  detected = 0;
  lastDetections.clear();
  const bool word = !seq_plain && PrepareWordSimulation();
  const bool lanes = !word && !seq_plain && PrepareFaultWords();
  auto simulate = word ? word_sim_pat : lanes ? lane_sim_pat : seq_sim_pat;
  if (lanes) {
    CollectLaneFaults();
    SimulateFaultList(laneFaults, laneResults);
  }
  if (seq_progress) TextOut("\n");
  for (uint32_t g = 0; g < GrpCount; ++g) {
    for (uint32_t n = Grps[g].g_beg; n < Grps[g].g_beg + Grps[g].g_len; ++n) {
      uint32_t inv = Nods[n].n_flags & 1;
      char& m = faults[n];
      if (!(untestableMas[n] & 1) && m != '&' && m != '0' && simulate(n, inv, 0, g)) {
        lastDetections.push_back({n, 1, m});
        m = m == '1' ? '&' : '0';
        ++detected;
        untestableMas[n] |= 1;
      }
      if (!(untestableMas[n] & 2) && m != '&' && m != '1' && simulate(n, inv ^ 1, 1, g)) {
        lastDetections.push_back({n, 2, m});
        m = m == '0' ? '&' : '1';
        ++detected;
        untestableMas[n] |= 2;
      }
      if (seq_progress) Progress(n);
    }
  }
  if (word) ReleaseWordSimulation();
  if (seq_progress) TextOut("\n");
}

namespace {

// The batch: its sequences' inputs (lane-major, vcount rows of InpCount
// each) and, per fault of laneFaults, the first lane that detects it (-1
// for none) and the frame it does so in.
uint32_t batchCount = 0;
std::vector<unsigned char> batchInputs;
std::vector<int> batchLane;
std::vector<uint32_t> batchFrame;
std::vector<uint32_t> batchRep;  // see GroupEquivalentFaults

}  // namespace

bool BeginSequenceBatch() {
  batchCount = 0;
  return !seq_plain && PrepareSequenceLanes();
}

bool AddBatchSequence() {
  if (batchCount == kBatchLanes || !SetSequenceLane(batchCount)) return false;
  batchInputs.resize(size_t(batchCount + 1) * vcount * InpCount);
  unsigned char* to = &batchInputs[size_t(batchCount) * vcount * InpCount];
  for (uint32_t j = 0; j < vcount; ++j) to = std::copy(vects[j].begin(), vects[j].begin() + InpCount, to);
  ++batchCount;
  return true;
}

void SimulateSequenceBatch() {
  SimulateGoodOverSequences();
  CollectLaneFaults();
  GroupEquivalentFaults(laneFaults, batchRep);
  SimulateFaultsOverSequences(laneFaults, batchRep, batchCount, batchLane, batchFrame);
}

void TakeBatchSequence(uint32_t lane) {
  const unsigned char* from = &batchInputs[size_t(lane) * vcount * InpCount];
  for (uint32_t j = 0; j < vcount; ++j, from += InpCount) std::copy(from, from + InpCount, vects[j].begin());
  detected = 0;
  last_vector = 0;
  lastDetections.clear();
  for (size_t i = 0; i < laneFaults.size(); ++i) {
    if (batchLane[i] != static_cast<int>(lane)) continue;
    const SeqFault& f = laneFaults[i];
    const uint32_t n = f.node, exclude = f.stuck ? 2 : 1;
    char& m = faults[n];
    // Detected by an earlier sequence of the batch: not simulated in this one.
    if ((untestableMas[n] & exclude) || m == '&' || m == (f.stuck ? '1' : '0')) continue;
    last_vector = std::max(last_vector, batchFrame[i]);
    lastDetections.push_back({n, exclude, m});
    m = f.stuck ? (m == '0' ? '&' : '1') : (m == '1' ? '&' : '0');
    ++detected;
    untestableMas[n] |= exclude;
  }
}

void UndoLastDetections() {
  for (auto d = lastDetections.rbegin(); d != lastDetections.rend(); ++d) {
    faults[d->node] = d->mark;
    untestableMas[d->node] &= ~d->bit;
  }
  lastDetections.clear();
  detected = 0;
}

uint32_t NormaliseFaultMarks(std::vector<char>& marks) {
  uint32_t n = 0;
  for (char& m : marks) {
    if (m == '&')
      n += 2;
    else if (m == '0' || m == '1')
      n += 1;
    else
      m = 'X';
  }
  return n;
}

void untestables() {
  BeginProcessing("Finding unobservable and uncontrollable faults");
  untestable = 0;
  functionals = 0;
  vcount = 40;
  int quiet = verbose_mode;
  verbose_mode = 1;
  alloc_vec();
  verbose_mode = quiet;
  untestableMas.assign(NodCount, 0);
  alloc_m3simul();
  init_m3simul();
  for (uint32_t j = 0; j < vcount; ++j)
    for (uint32_t i = 0; i < InpCount; ++i) vects[j][i] = 'x';
  m3simul();
  // Uncontrollable: a node whose variable settles to a constant.
  for (uint32_t n = 0; n < NodCount; ++n) {
    unsigned char v = vects[39][Nods[n].n_var];
    if (v == 0) untestableMas[n] |= 1;
    if (v == 1) untestableMas[n] |= 2;
  }
  // Unobservable: graphs whose value no chain of readers takes to an output.
  std::vector<uint32_t> readers(VarCount, 0);
  for (uint32_t n = 0; n < NodCount; ++n) ++readers[Nods[n].n_var];
  for (uint32_t v = VarCount - OutCount; v < VarCount; ++v) ++readers[v];
  const uint32_t first = InpCount + ConCount;
  std::vector<uint32_t> died;
  for (uint32_t g = 0; g < GrpCount; ++g)
    if (readers[first + g] == 0) died.push_back(g);
  while (!died.empty()) {
    std::vector<uint32_t> next;
    for (uint32_t g : died) {
      for (uint32_t n = Grps[g].g_beg; n < Grps[g].g_beg + Grps[g].g_len; ++n) {
        uint32_t v = Nods[n].n_var;
        if (readers[v] > 0 && --readers[v] == 0 && v >= first) next.push_back(v - first);
      }
    }
    died.swap(next);
  }
  for (uint32_t g = 0; g < GrpCount; ++g) {
    const GrpRec& gr = Grps[g];
    if (readers[first + g] == 0) {
      for (uint32_t n = gr.g_beg; n < gr.g_beg + gr.g_len; ++n) untestableMas[n] |= 3;
    } else if (gr.g_len == 1 && Nods[gr.g_beg].n_var == first + g) {
      untestableMas[gr.g_beg] |= 3;  // a state variable that only holds itself
    }
  }
  for (uint32_t m : untestableMas) untestable += (m & 1) + ((m >> 1) & 1);
  EndProcessing();
  free_m3simul();
  free_vec();
}

void seq_statistics(uint32_t total, uint32_t vectors) {
  uint32_t all = 2 * NodCount;
  // With every fault untestable the efficiency is not a number: the same
  // "nan" on every platform, whatever sign a 0/0 would carry.
  double testable = static_cast<double>(all) - untestable;
  double efficiency = total == 0 && testable == 0 ? std::numeric_limits<double>::quiet_NaN()
                                                  : total / testable * 100;
  TextOut(Format("\nFaults %u\nDetected %u\nUntestable %u\nFault efficiency: %.2f %%\n%d Vectors\n\n", all, total,
                 untestable, efficiency, static_cast<int>(vectors)));
}

bool SavePatterns() {
  if (static_cast<uint64_t>(last_vector) + final_vcount + 1 > MAXIMUM_VECTORS) return false;
  for (uint32_t j = 0; j <= last_vector; ++j)
    final_vects.emplace_back(vects[j].begin(), vects[j].begin() + InpCount);
  final_vcount += last_vector + 1;
  return true;
}

void WriteEverythingOut(const std::string& path) {
  BeginProcessing("Writing test patterns file " + path);
  OutFile out;
  OpenOutput(out, path);
  FILE* f = out.fp();
  fprintf(f, "\n.VECTORS %d\n\n.PATTERNS\n\n", static_cast<int>(final_vcount));
  std::string line;
  for (uint32_t j = 0; j < final_vcount; ++j) {
    line.clear();
    for (unsigned char b : final_vects[j]) {
      if (b == 0)
        line.push_back('0');
      else if (b == 1)
        line.push_back('1');
      else if (b == 'x')
        line.push_back('x');
      else
        Error("Illegal character in vector", -1);
    }
    line.push_back('\n');
    fwrite(line.data(), 1, line.size(), f);
  }
  CommitOutput(out, path);
  EndProcessing();
}

void CopyVectorInputs() {
  std::vector<char> kept = faults;
  free_seqsimul();
  free_vec();
  vcount = final_vcount;
  functionals = 0;
  alloc_vec();
  if (!NoDrop) std::vector<std::vector<char>>().swap(ftable);  // written only without dropping
  alloc_m3simul();
  alloc_seqsimul();
  init_m3simul();
  for (uint32_t j = 0; j < vcount; ++j) std::copy(final_vects[j].begin(), final_vects[j].end(), vects[j].begin());
  faults = kept;
  final_vcount = vcount;
}
