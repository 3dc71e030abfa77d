// The three-valued and the sequential fault simulator against a plain serial
// reference: every graph of every pattern evaluated afresh, each graph by
// trying every assignment of its unknown node literals.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "m3simul.h"
#include "messages.h"
#include "mudel.h"
#include "seqfaults.h"
#include "seqword.h"
#include "sqsim.h"
#include "ssbdd_model.h"
#include "vector.h"

namespace {

const std::string kData = TEST_DATA_DIR;
using Rows = std::vector<std::vector<unsigned char>>;

// The byte node n reads: the previous row for a delayed variable.
unsigned char Read(uint32_t n, const std::vector<unsigned char>& prev, const std::vector<unsigned char>& cur) {
  uint32_t v = Nods[n].n_var;
  return (Vars[v].v_flags & VF_DELAYED) ? prev[v] : cur[v];
}

// Terminal values a graph reaches when its unknown literals may take either
// edge (each path meets a node once, so this is every assignment's value).
void Reach(uint32_t beg, uint32_t node, const std::vector<int>& edge, bool seen[2]) {
  for (;;) {
    int e = edge[node];
    if (e < 0) {
      for (int b = 0; b < 2; ++b) {
        uint32_t d = Nods[beg + node].n_dst[b];
        if (d == 0)
          seen[b] = true;
        else
          Reach(beg, d, edge, seen);
      }
      return;
    }
    uint32_t d = Nods[beg + node].n_dst[e];
    if (d == 0) {
      seen[e] = true;
      return;
    }
    node = d;
  }
}

// Reference value of graph k: 0 or 1 when every assignment of the unknown
// literals gives it, else 'x'.  Small graphs are enumerated outright.
unsigned char NaiveEval(uint32_t k, const std::vector<unsigned char>& prev, const std::vector<unsigned char>& cur,
                        long fault = -1, int forced = 0) {
  const uint32_t beg = Grps[k].g_beg, len = Grps[k].g_len;
  std::vector<int> edge(len);
  std::vector<uint32_t> unknown;
  for (uint32_t i = 0; i < len; ++i) {
    uint32_t n = beg + i;
    unsigned char b = Read(n, prev, cur);
    if (static_cast<long>(n) == fault) {
      edge[i] = forced;
    } else if (b == 'x') {
      edge[i] = -1;
      unknown.push_back(i);
    } else {
      edge[i] = b ^ (Nods[n].n_flags & 1);
    }
  }
  bool seen[2] = {false, false};
  if (unknown.size() <= 12) {
    for (uint32_t mask = 0; mask < (1u << unknown.size()); ++mask) {
      for (size_t u = 0; u < unknown.size(); ++u) edge[unknown[u]] = (mask >> u) & 1;
      uint32_t node = 0;
      int e;
      do {
        e = edge[node];
        node = Nods[beg + node].n_dst[e];
      } while (node != 0);
      seen[e] = true;
    }
  } else {
    Reach(beg, 0, edge, seen);
  }
  return seen[0] && seen[1] ? 'x' : seen[1] ? 1 : 0;
}

// Both machines from scratch: row 0's graph values unknown, never computed.
Rows NaiveRun(const Rows& patterns, long fault = -1, int forced = 0) {
  Rows r = patterns;
  for (auto& row : r)
    for (uint32_t i = InpCount + ConCount; i < VarCount; ++i) row[i] = 'x';
  for (size_t j = 1; j < r.size(); ++j)
    for (uint32_t k = 0; k < GrpCount; ++k) r[j][GraphVar(k)] = NaiveEval(k, r[j - 1], r[j], fault, forced);
  return r;
}

// Frames in which some output is binary in both machines and differs.
std::vector<uint32_t> DetectionFrames(const Rows& good, const Rows& bad) {
  std::vector<uint32_t> frames;
  for (uint32_t j = 1; j < good.size(); ++j)
    for (uint32_t v = VarCount - OutCount; v < VarCount; ++v)
      if (good[j][v] != 'x' && bad[j][v] != 'x' && good[j][v] != bad[j][v]) {
        frames.push_back(j);
        break;
      }
  return frames;
}

// Reads a model of tests/data without the progress lines.
void ReadModel(const std::string& file) {
  verbose_mode = 1;
  read_ag(kData + "/" + file);
  verbose_mode = 0;
}

// Allocates `rows` pattern rows without the progress lines.
void AllocRows(uint32_t rows) {
  verbose_mode = 1;
  vcount = rows;
  alloc_vec();
  verbose_mode = 0;
}

// What the programs set up before their sequences: the model checked, its
// untestable faults found and `length` rows allocated, without the progress
// lines.
void PrepareSequences(uint32_t length) {
  CheckSequentialModel();
  verbose_mode = 1;
  untestables();
  verbose_mode = 0;
  AllocRows(length);
}

// Random inputs with about one value in `x_share` unknown.
void FillInputs(std::mt19937& rng, uint32_t x_share) {
  for (uint32_t j = 0; j < vcount; ++j)
    for (uint32_t i = 0; i < InpCount; ++i)
      vects[j][i] = x_share && rng() % x_share == 0 ? 'x' : static_cast<unsigned char>(rng() & 1);
}

// A random model made sequential: some internal graphs become flip-flops,
// and some nodes read them from anywhere, their own graph included; an
// input may be delayed too.
void MakeSequentialModel(std::mt19937& rng) {
  SsbddShape shape;
  shape.inputs = 4;
  shape.constants = 1;
  shape.graphs = 14;
  shape.outputs = 3;
  shape.max_leaves = 5;
  MakeSsbddModel(rng, shape);
  std::vector<uint32_t> flipflops;
  for (uint32_t g = 0; g < GrpCount - OutCount; ++g)
    if (rng() % 3 == 0) {
      Vars[GraphVar(g)].v_flags |= VF_DELAYED;
      flipflops.push_back(g);
    }
  // A delayed input reads the pattern before: defined from the first one on.
  if (rng() % 2) Vars[rng() % InpCount].v_flags |= VF_DELAYED;
  if (flipflops.empty()) return;
  for (NodRec& n : Nods)
    if (rng() % 4 == 0) n.n_var = GraphVar(flipflops[rng() % flipflops.size()]);
}

// Everything the programs set up before a sequence, then one run.
void SimulateRandomSequence(std::mt19937& rng, uint32_t length, uint32_t x_share, int nodrop) {
  PrepareSequences(length);
  FillInputs(rng, x_share);
  InitNextGraphs();
  alloc_m3simul();
  alloc_seqsimul();
  init_m3simul();
  m3simul();
  init_seqsimul();
  NoDrop = nodrop;
  seq_simul();
}

Rows Patterns() { return Rows(vects.begin(), vects.end()); }

// Checks one finished run against the serial reference, fault by fault.
void ExpectSerialResults(const std::vector<uint32_t>& excluded, int nodrop, const std::string& what) {
  Rows pats = Patterns();
  Rows good = NaiveRun(pats);
  uint32_t want_detected = 0, want_last = 0;
  std::vector<std::vector<char>> want_table(vcount, std::vector<char>(NodCount, 'X'));
  for (uint32_t n = 0; n < NodCount; ++n) {
    char mark = 'X';
    for (int b = 0; b < 2; ++b) {
      uint32_t forced = b ^ (Nods[n].n_flags & 1);
      std::vector<uint32_t> frames = DetectionFrames(good, NaiveRun(pats, n, forced));
      if (excluded[n] & (1u << b)) {
        // Untestable faults are left out; on these models none is detectable.
        EXPECT_TRUE(frames.empty()) << what << ": excluded fault of node " << n << " detected";
        continue;
      }
      if (frames.empty()) continue;
      ++want_detected;
      mark = mark == 'X' ? static_cast<char>('0' + b) : '&';
      want_last = std::max(want_last, nodrop ? frames.back() : frames.front());
      if (nodrop)
        for (uint32_t j : frames) {
          char& m = want_table[j][n];
          m = m == 'X' ? static_cast<char>('0' + b) : '&';
        }
    }
    EXPECT_EQ(faults[n], mark) << what << ": node " << n << " (" << NodNames[n] << ")";
  }
  EXPECT_EQ(detected, want_detected) << what;
  EXPECT_EQ(last_vector, want_last) << what;
  if (nodrop) {
    for (uint32_t j = 0; j < vcount; ++j)
      EXPECT_EQ(std::string(ftable[j].begin(), ftable[j].end()),
                std::string(want_table[j].begin(), want_table[j].end()))
          << what << ": table row " << j;
  }
  // Every fault put back what it changed.
  for (uint32_t j = 0; j < vcount; ++j)
    for (uint32_t v = 0; v < VarCount - OutCount; ++v)
      ASSERT_EQ(asevects[j][v], vects[j][v]) << what << ": faulty machine not restored, row " << j;
}

void ExpectGoodMachine(const std::string& what) {
  Rows good = NaiveRun(Patterns());
  for (uint32_t j = 0; j < vcount; ++j)
    for (uint32_t v = 0; v < VarCount; ++v)
      ASSERT_EQ(vects[j][v], good[j][v]) << what << ": row " << j << " variable " << VarNames[v];
}

void RunModelChecks(std::mt19937& rng, const std::string& what, uint32_t length) {
  for (int nodrop = 0; nodrop < 2; ++nodrop) {
    for (uint32_t x_share : {0u, 8u}) {
      std::string tag = what + (nodrop ? " nodrop" : " drop") + " x1/" + std::to_string(x_share);
      CheckSequentialModel();
      verbose_mode = 1;
      untestables();
      verbose_mode = 0;
      std::vector<uint32_t> excluded = untestableMas;
      SimulateRandomSequence(rng, length, x_share, nodrop);
      ExpectGoodMachine(tag);
      ExpectSerialResults(excluded, nodrop, tag);
    }
  }
}

class SeqsimFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(SeqsimFiles, MatchSerialReference) {
  verbose_mode = 1;
  read_ag(kData + "/" + GetParam());
  verbose_mode = 0;
  std::mt19937 rng(7);
  for (int round = 0; round < 3; ++round) RunModelChecks(rng, GetParam(), 40);
}

INSTANTIATE_TEST_SUITE_P(Models, SeqsimFiles,
                         ::testing::Values("seq_mix.agm", "seq_first.agm", "seq_s27.agm", "seq_s298.agm"));

TEST(Seqsim, RandomSequentialModelsMatchSerialReference) {
  std::mt19937 rng(2024);
  for (int model = 0; model < 40; ++model) {
    MakeSequentialModel(rng);
    RunModelChecks(rng, "random model " + std::to_string(model), 24);
  }
}

// Everything one run leaves behind, for comparing two methods.
struct RunResult {
  Rows good;
  std::vector<char> marks;
  std::vector<std::vector<char>> table;
  uint32_t detected, last_vector;
};

RunResult RunOnce(const Rows& patterns, const std::vector<char>& start_marks, const std::vector<uint32_t>& excluded,
                  int nodrop, int plain) {
  seq_plain = plain;
  for (uint32_t j = 0; j < vcount; ++j) vects[j] = patterns[j];
  untestableMas = excluded;
  faults = start_marks;
  NoDrop = nodrop;
  if (nodrop) ftable.assign(vcount, std::vector<char>(NodCount, 'X'));
  init_m3simul();
  m3simul();
  init_seqsimul();
  seq_simul();
  seq_plain = 0;
  for (uint32_t j = 0; j < vcount; ++j)
    for (uint32_t v = 0; v < VarCount - OutCount; ++v)
      EXPECT_EQ(asevects[j][v], vects[j][v]) << "faulty machine not restored, row " << j;
  return {Patterns(), faults, nodrop ? ftable : std::vector<std::vector<char>>{}, detected, last_vector};
}

// The word-parallel (combinational) or fault-parallel (sequential) method
// against the frame-by-frame one on the same sequence: good machine, marks,
// table, detections and last detecting frame.  Some faults start detected,
// as with -infile.  Every input is 'x' from frame `unknown_from` on.
void ExpectFastEqualsPlain(std::mt19937& rng, uint32_t length, uint32_t x_share, bool combinational,
                           const std::string& what, uint32_t unknown_from = UINT32_MAX) {
  PrepareSequences(length);
  std::vector<uint32_t> excluded = untestableMas;
  FillInputs(rng, x_share);
  for (uint32_t j = unknown_from; j < vcount; ++j) std::fill(vects[j].begin(), vects[j].begin() + InpCount, 'x');
  Rows patterns = Patterns();
  std::vector<char> marks(NodCount, 'X');
  for (uint32_t n = 0; n < NodCount; ++n)
    if (rng() % 5 == 0) marks[n] = "01&"[rng() % 3];
  InitNextGraphs();
  alloc_m3simul();
  alloc_seqsimul();
  init_m3simul();
  ASSERT_EQ(word_m3simul(), combinational) << what << ": the word-parallel method applies or not";
  if (!combinational) {
    m3simul();
    ASSERT_TRUE(PrepareFaultWords()) << what << ": the fault-parallel method does not apply";
  }
  for (int nodrop = 0; nodrop < 2; ++nodrop) {
    std::string tag = what + (nodrop ? " nodrop" : " drop");
    RunResult plain = RunOnce(patterns, marks, excluded, nodrop, 1);
    RunResult word = RunOnce(patterns, marks, excluded, nodrop, 0);
    EXPECT_EQ(word.good, plain.good) << tag;
    EXPECT_EQ(word.marks, plain.marks) << tag;
    EXPECT_EQ(word.table, plain.table) << tag;
    EXPECT_EQ(word.detected, plain.detected) << tag;
    EXPECT_EQ(word.last_vector, plain.last_vector) << tag;
  }
}

// A random model of three flip-flops among its graphs, one node in `reread`
// reading any graph; a node that would read a later undelayed graph (which
// leaves the lane methods) reads an input instead.
void MakeLaneModel(std::mt19937& rng, uint32_t inputs, uint32_t graphs, uint32_t reread) {
  SsbddShape shape;
  shape.inputs = inputs;
  shape.graphs = graphs;
  shape.outputs = 3;
  shape.max_leaves = 6;
  MakeSsbddModel(rng, shape);
  for (int f = 0; f < 3; ++f) Vars[GraphVar(rng() % (GrpCount - OutCount))].v_flags |= VF_DELAYED;
  for (NodRec& n : Nods)
    if (rng() % reread == 0) n.n_var = GraphVar(rng() % (GrpCount - OutCount));
  for (uint32_t g = 0; g < GrpCount; ++g)
    for (uint32_t n = Grps[g].g_beg; n < Grps[g].g_beg + Grps[g].g_len; ++n) {
      uint32_t v = Nods[n].n_var;
      if (v >= InpCount + ConCount && !(Vars[v].v_flags & VF_DELAYED) && v - InpCount - ConCount >= g)
        Nods[n].n_var = rng() % InpCount;
    }
}

// A random model with no delayed graph variable (an input may be delayed).
void MakeCombinationalModel(std::mt19937& rng, uint32_t graphs, uint32_t max_leaves) {
  SsbddShape shape;
  shape.inputs = 5;
  shape.constants = rng() % 2;
  shape.graphs = graphs;
  shape.outputs = 3;
  shape.max_leaves = max_leaves;
  MakeSsbddModel(rng, shape);
  if (rng() % 2) Vars[rng() % InpCount].v_flags |= VF_DELAYED;
}

TEST(Seqword, CombinationalModelsMatchSerialReference) {
  std::mt19937 rng(99);
  for (int model = 0; model < 12; ++model) {
    MakeCombinationalModel(rng, 12, 6);
    // Past two words of frames, so a word boundary falls inside the sequence.
    RunModelChecks(rng, "combinational model " + std::to_string(model), 150);
  }
}

TEST(Seqword, CombinationalModelsMatchPlainMethod) {
  std::mt19937 rng(17);
  const uint32_t lengths[] = {2, 63, 64, 65, 129, 300};
  for (int model = 0; model < 30; ++model) {
    MakeCombinationalModel(rng, 10 + model % 20, 3 + model % 8);
    for (uint32_t x_share : {0u, 3u, 20u})
      ExpectFastEqualsPlain(rng, lengths[model % 6], x_share, true,
                            "model " + std::to_string(model) + " x1/" + std::to_string(x_share));
  }
}

class SeqwordFullScan : public ::testing::TestWithParam<const char*> {};

TEST_P(SeqwordFullScan, MatchesPlainMethod) {
  verbose_mode = 1;
  read_ag(kData + "/" + GetParam());
  verbose_mode = 0;
  std::mt19937 rng(3);
  for (uint32_t x_share : {0u, 10u}) ExpectFastEqualsPlain(rng, 200, x_share, true, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Models, SeqwordFullScan, ::testing::Values("s27fs.agm", "s298fs.agm"));

TEST(Seqfaults, SequentialModelsMatchPlainMethod) {
  std::mt19937 rng(31);
  for (const char* file : {"seq_mix.agm", "seq_first.agm", "seq_s27.agm", "seq_s298.agm"}) {
    ReadModel(file);
    for (uint32_t x_share : {0u, 6u}) ExpectFastEqualsPlain(rng, 150, x_share, false, file);
  }
  // More than one word of faults, flip-flops read from anywhere.
  for (int model = 0; model < 20; ++model) {
    SsbddShape shape;
    shape.inputs = 4;
    shape.graphs = 30;
    shape.outputs = 4;
    shape.max_leaves = 6;
    MakeSsbddModel(rng, shape);
    uint32_t flipflop = rng() % (GrpCount - OutCount);
    Vars[GraphVar(flipflop)].v_flags |= VF_DELAYED;
    for (NodRec& n : Nods)
      if (rng() % 4 == 0) n.n_var = GraphVar(flipflop);
    ExpectFastEqualsPlain(rng, 40 + model * 3, model % 3 == 0 ? 0 : 7, false, "model " + std::to_string(model));
  }
}

// Several sequences in a row on one model, each against the frame-by-frame
// method after the detections of the ones before, with more than one word
// of faults.
TEST(Seqfaults, SequencesInARowMatchThePlainMethod) {
  std::mt19937 rng(57);
  for (const char* file : {"seq_s298.agm", "seq_mix.agm"}) {
    ReadModel(file);
    for (int sequence = 0; sequence < 5; ++sequence)
      ExpectFastEqualsPlain(rng, 30 + 17 * sequence, sequence % 2 ? 5 : 0, false,
                            std::string(file) + " sequence " + std::to_string(sequence));
  }
  for (int model = 0; model < 8; ++model) {
    MakeLaneModel(rng, 3, 40, 5);
    for (int sequence = 0; sequence < 4; ++sequence)
      ExpectFastEqualsPlain(rng, 20 + 25 * sequence, sequence % 2 ? 0 : 6, false,
                            "model " + std::to_string(model) + " sequence " + std::to_string(sequence));
  }
}

// Inputs that turn unknown part way (so the outputs may stay 'x' to the
// end, or from the start), and models with several words of faults, many
// of which can never be more defined than the good machine or share their
// faulty machine with another fault of their graph.
TEST(Seqfaults, UnknownTailsAndManyWordsMatchPlainMethod) {
  std::mt19937 rng(73);
  for (const char* file : {"seq_s298.agm", "seq_s27.agm", "seq_mix.agm"}) {
    ReadModel(file);
    for (uint32_t from : {1u, 30u, 70u})
      ExpectFastEqualsPlain(rng, 100, from == 30 ? 0 : 5, false, std::string(file) + " unknown from " + std::to_string(from),
                            from);
  }
  for (int model = 0; model < 8; ++model) {
    MakeLaneModel(rng, 4, 120, 6);
    ASSERT_GT(2 * NodCount, 3 * kFaultWordLanes) << "several words of faults";
    ExpectFastEqualsPlain(rng, 60 + 10 * model, model % 2 ? 0 : 8, false, "model " + std::to_string(model),
                          model % 3 == 0 ? 40 + 10 * model : UINT32_MAX);
  }
}

// Sequences longer than the span of frames each word runs before the next
// one: the words are packed anew between spans, and faults whose machines
// have become no more defined than the good one leave them.
TEST(Seqfaults, SequencesOverManySpansMatchPlainMethod) {
  std::mt19937 rng(91);
  for (const char* file : {"seq_s298.agm", "seq_s27.agm", "seq_mix.agm"}) {
    ReadModel(file);
    ExpectFastEqualsPlain(rng, 700, 0, false, std::string(file) + " binary");
    ExpectFastEqualsPlain(rng, 900, 4, false, std::string(file) + " some unknown inputs", 650);
  }
  for (int model = 0; model < 6; ++model) {
    MakeLaneModel(rng, 4, 120, 6);
    ExpectFastEqualsPlain(rng, 600 + 100 * model, model % 2 ? 0 : 9, false, "model " + std::to_string(model),
                          model % 3 == 0 ? 500 : UINT32_MAX);
  }
}

// What seq_simul leaves for the generator after one sequence.
struct SequenceResult {
  std::vector<char> marks;
  std::vector<uint32_t> excluded;
  uint32_t detected, last_vector;
  Rows inputs;
};

SequenceResult ResultOfSequence() {
  Rows inputs;
  for (uint32_t j = 0; j < vcount; ++j) inputs.emplace_back(vects[j].begin(), vects[j].begin() + InpCount);
  return {faults, untestableMas, detected, last_vector, inputs};
}

void ExpectSameResult(const SequenceResult& got, const SequenceResult& want, const std::string& what) {
  EXPECT_EQ(got.marks, want.marks) << what;
  EXPECT_EQ(got.excluded, want.excluded) << what;
  EXPECT_EQ(got.detected, want.detected) << what;
  EXPECT_EQ(got.last_vector, want.last_vector) << what;
  EXPECT_EQ(got.inputs, want.inputs) << what;
}

// `sequences` random sequences as the generator runs them: each through
// m3simul and the frame-by-frame seq_simul after the detections of the ones
// before, against the batch of all of them taken lane by lane.  Some faults
// start detected, as with -infile; the last sequence's detections are then
// taken back, as when the kept test is full.
void ExpectBatchEqualsPlain(std::mt19937& rng, uint32_t length, uint32_t sequences, uint32_t x_share,
                            const std::string& what) {
  PrepareSequences(length);
  const std::vector<uint32_t> excluded = untestableMas;
  std::vector<char> marks(NodCount, 'X');
  for (uint32_t n = 0; n < NodCount; ++n)
    if (rng() % 6 == 0) marks[n] = "01&"[rng() % 3];
  InitNextGraphs();
  alloc_m3simul();
  alloc_seqsimul();
  NoDrop = 0;
  std::vector<Rows> inputs;
  for (uint32_t s = 0; s < sequences; ++s) {
    FillInputs(rng, s % 2 ? x_share : 0);
    inputs.push_back(Patterns());
  }
  auto draw = [&](uint32_t s) {
    for (uint32_t j = 0; j < vcount; ++j) vects[j] = inputs[s][j];
    init_m3simul();
    m3simul();
  };
  faults = marks;
  untestableMas = excluded;
  seq_plain = 1;
  std::vector<SequenceResult> want;
  for (uint32_t s = 0; s < sequences; ++s) {
    draw(s);
    init_seqsimul();
    seq_simul();
    want.push_back(ResultOfSequence());
  }
  seq_plain = 0;
  faults = marks;
  untestableMas = excluded;
  ASSERT_TRUE(BeginSequenceBatch()) << what;
  std::vector<Rows> goods;
  for (uint32_t s = 0; s < sequences; ++s) {
    draw(s);
    goods.push_back(Patterns());
    init_m3simul();  // the batch simulates the good machines itself
    ASSERT_TRUE(AddBatchSequence()) << what;
  }
  EXPECT_EQ(AddBatchSequence(), sequences < kBatchLanes) << what << ": a full batch takes no more";
  SimulateSequenceBatch();
  for (uint32_t s = 0; s < sequences; ++s) {
    LaneGoodMachine(s);
    EXPECT_EQ(Patterns(), goods[s]) << what << " sequence " << s << ": good machine";
    for (uint32_t j = 0; j < vcount; ++j) std::fill(vects[j].begin(), vects[j].end(), 0);
    TakeBatchSequence(s);
    ExpectSameResult(ResultOfSequence(), want[s], what + " sequence " + std::to_string(s));
  }
  UndoLastDetections();
  EXPECT_EQ(faults, sequences > 1 ? want[sequences - 2].marks : marks) << what << ": taken back";
  EXPECT_EQ(untestableMas, sequences > 1 ? want[sequences - 2].excluded : excluded) << what << ": taken back";
}

// Makes about every third graph of three nodes or more a multiplexer of
// its first three nodes' literals (node 0 selects node 1 or node 2; the
// other nodes are left unreached): its walk rule is not monotone, since
// with the select unknown the first walk gives node 1's value alone.
void AddMultiplexers(std::mt19937& rng) {
  for (uint32_t g = 0; g < GrpCount; ++g) {
    if (Grps[g].g_len < 3 || rng() % 3 != 0) continue;
    NodRec* n = &Nods[Grps[g].g_beg];
    n[0].n_dst[0] = 2;
    n[0].n_dst[1] = 1;
    n[1].n_dst[0] = n[1].n_dst[1] = 0;
    n[2].n_dst[0] = n[2].n_dst[1] = 0;
  }
}

TEST(Seqbatch, SequencesTakenInTurnMatchPlainMethod) {
  std::mt19937 rng(71);
  const uint32_t counts[] = {1, 2, 7, 33, 64};
  int round = 0;
  for (const char* file : {"seq_mix.agm", "seq_first.agm", "seq_s27.agm", "seq_s298.agm"}) {
    ReadModel(file);
    for (uint32_t x_share : {0u, 5u}) {
      ExpectBatchEqualsPlain(rng, 20 + 13 * (round % 4), counts[round % 5], x_share, file);
      ++round;
    }
  }
  for (int model = 0; model < 24; ++model) {
    MakeLaneModel(rng, 3 + model % 3, 20 + model, 4);
    if (model >= 16) AddMultiplexers(rng);  // some graphs not monotone
    ExpectBatchEqualsPlain(rng, 8 + 9 * (model % 5), counts[model % 5], model % 2 ? 6 : 0,
                           "model " + std::to_string(model));
  }
}

// Faults put in one group have the same faulty machine, and a fault put
// with none has the good one, on the serial reference: every variable of
// every pattern of random sequences (some inputs unknown).
TEST(Seqbatch, GroupedFaultsHaveTheSameMachine) {
  std::mt19937 rng(5);
  uint32_t grouped = 0, redundant = 0;
  for (int model = 0; model < 24; ++model) {
    if (model < 4) {
      ReadModel(std::vector<const char*>{"seq_mix.agm", "seq_first.agm", "seq_s27.agm", "seq_s298.agm"}[model]);
    } else {
      MakeSequentialModel(rng);
    }
    CheckSequentialModel();
    AllocRows(12);
    InitNextGraphs();
    if (!PrepareSequenceLanes()) continue;
    std::vector<SeqFault> list;
    for (uint32_t g = 0; g < GrpCount; ++g)
      for (uint32_t n = Grps[g].g_beg; n < Grps[g].g_beg + Grps[g].g_len; ++n)
        for (uint32_t b = 0; b < 2; ++b) list.push_back({n, b ^ (Nods[n].n_flags & 1), b, g});
    std::vector<uint32_t> rep;
    GroupEquivalentFaults(list, rep);
    ASSERT_EQ(rep.size(), list.size());
    for (int round = 0; round < 3; ++round) {
      FillInputs(rng, round == 0 ? 0 : 4);
      const Rows patterns = Patterns();
      const Rows good = NaiveRun(patterns);
      for (size_t i = 0; i < list.size(); ++i) {
        if (rep[i] == i) continue;
        const std::string what = "model " + std::to_string(model) + " fault " + std::to_string(i);
        const Rows mine = NaiveRun(patterns, list[i].node, list[i].forced_edge);
        if (rep[i] == UINT32_MAX) {
          EXPECT_EQ(mine, good) << what << ": put with the good machine";
          redundant += round == 0;
          continue;
        }
        ASSERT_LT(rep[i], i) << what;
        EXPECT_EQ(rep[rep[i]], rep[i]) << what << ": a group's first fault stands for it";
        EXPECT_EQ(list[rep[i]].graph, list[i].graph) << what;
        EXPECT_EQ(mine, NaiveRun(patterns, list[rep[i]].node, list[rep[i]].forced_edge)) << what;
        grouped += round == 0;
      }
    }
  }
  EXPECT_GT(grouped, 20u) << "hardly any fault grouped";
  EXPECT_GT(redundant, 0u) << "no fault found with the good machine";
}

// A graph taken as monotone is monotone: on the three-valued simulator,
// for every combination of its inputs' values, with and without each fault,
// setting an unknown input to 0 or 1 never changes a binary value.  Random
// models have graphs of both kinds, so the batch method's pruned and
// unpruned paths are both met by the batch tests above.
TEST(Seqbatch, GraphsTakenAsMonotoneAreMonotone) {
  std::mt19937 rng(9);
  uint32_t monotone = 0, other = 0;
  for (int model = 0; model < 40; ++model) {
    if (model < 4) {
      ReadModel(std::vector<const char*>{"seq_mix.agm", "seq_first.agm", "seq_s27.agm", "seq_s298.agm"}[model]);
    } else {
      MakeLaneModel(rng, 3 + model % 3, 20 + model, 4);
      if (model % 2) AddMultiplexers(rng);
    }
    AllocRows(4);
    InitNextGraphs();
    alloc_m3simul();
    if (!PrepareSequenceLanes()) continue;
    std::vector<unsigned char> prev(VarCount), cur(VarCount);
    for (uint32_t g = 0; g < GrpCount; ++g) {
      std::vector<std::pair<uint32_t, bool>> inputs;
      for (uint32_t n = Grps[g].g_beg; n < Grps[g].g_beg + Grps[g].g_len; ++n) {
        const std::pair<uint32_t, bool> in{Nods[n].n_var, (Vars[Nods[n].n_var].v_flags & VF_DELAYED) != 0};
        if (std::find(inputs.begin(), inputs.end(), in) == inputs.end()) inputs.push_back(in);
      }
      if (!GraphIsMonotone(g)) {
        ++other;
        continue;
      }
      ++monotone;
      if (inputs.size() > 7) continue;
      uint32_t combos = 1;
      for (size_t i = 0; i < inputs.size(); ++i) combos *= 3;
      auto eval = [&](uint32_t c, uint32_t node, uint32_t edge) {
        for (size_t i = 0; i < inputs.size(); ++i, c /= 3)
          (inputs[i].second ? prev : cur)[inputs[i].first] = c % 3 == 2 ? 'x' : static_cast<unsigned char>(c % 3);
        NextReachedCode();
        return m3eval(g, prev.data(), cur.data(), node, edge);
      };
      for (uint32_t node = Grps[g].g_beg; node <= Grps[g].g_beg + Grps[g].g_len; ++node)
        for (uint32_t edge = 0; edge < 2; ++edge) {
          const uint32_t forced = node < Grps[g].g_beg + Grps[g].g_len ? node : UINT32_MAX;
          for (uint32_t c = 0, weight; c < combos; ++c) {
            const unsigned char r = eval(c, forced, edge);
            if (r == 'x') continue;
            weight = 1;
            for (size_t i = 0; i < inputs.size(); ++i, weight *= 3)
              if (c / weight % 3 == 2)
                for (uint32_t d : {c - 2 * weight, c - weight}) {
                  ASSERT_EQ(eval(d, forced, edge), r)
                      << "model " << model << " graph " << g << " fault node " << forced << " combination " << c;
                }
          }
        }
    }
    free_m3simul();
  }
  EXPECT_GT(monotone, 100u);
  EXPECT_GT(other, 0u) << "no graph taken as not monotone";
}

TEST(Seqbatch, ModelOutsideTheLaneRulesIsRefused) {
  ReadModel("seq_s27.agm");
  AllocRows(30);
  InitNextGraphs();
  // A node reading a later graph's undelayed variable.
  Nods[0].n_var = GraphVar(GrpCount - OutCount - 1);
  Vars[Nods[0].n_var].v_flags &= ~VF_DELAYED;
  EXPECT_FALSE(BeginSequenceBatch());
}

TEST(Seqword, SequentialModelIsLeftToTheOtherMethods) {
  ReadModel("seq_s27.agm");
  AllocRows(70);
  alloc_m3simul();
  init_m3simul();
  EXPECT_FALSE(word_m3simul());
  EXPECT_FALSE(PrepareWordSimulation());
}

TEST(Seqsim, UntestableFaults) {
  verbose_mode = 1;
  read_ag(kData + "/seq_mix.agm");
  untestables();
  verbose_mode = 0;
  // h holds only itself, dead reaches no output, K1 is a constant 1.
  std::vector<uint32_t> want(NodCount, 0);
  want[1] = 3;
  want[5] = want[6] = 3;
  want[7] = 2;
  EXPECT_EQ(untestableMas, want);
  EXPECT_EQ(untestable, 7u);
}

TEST(Seqsim, ReaderOfOutputRefused) {
  ReadModel("seq_readout.agm");
  EXPECT_EXIT(CheckSequentialModel(), ::testing::ExitedWithCode(14), "y : Output variable read by a node");
}

TEST(M3simul, FirstPatternIsNeverComputed) {
  ReadModel("seq_first.agm");
  AllocRows(3);
  vects[0][0] = 0;
  vects[1][0] = 1;
  vects[2][0] = 0;
  alloc_m3simul();
  init_m3simul();
  EXPECT_EQ(vects[1][1], kUncomputed);
  m3simul();
  // Row 0 keeps 'x' although its input is binary; z reads q of row 0.
  EXPECT_EQ(std::vector<unsigned char>(vects[0].begin() + 1, vects[0].end()),
            (std::vector<unsigned char>{'x', 'x', 'x'}));
  EXPECT_EQ(std::vector<unsigned char>(vects[1].begin() + 1, vects[1].end()),
            (std::vector<unsigned char>{1, 1, 'x'}));
  EXPECT_EQ(std::vector<unsigned char>(vects[2].begin() + 1, vects[2].end()),
            (std::vector<unsigned char>{0, 0, 1}));
}

TEST(M3simul, OnePatternComputesNothing) {
  ReadModel("seq_first.agm");
  AllocRows(1);
  vects[0][0] = 1;
  alloc_m3simul();
  init_m3simul();
  m3simul();
  EXPECT_EQ(vects[0][1], 'x');
  EXPECT_EQ(vects[0][2], 'x');
}

TEST(M3simul, StampWrapKeepsResults) {
  ReadModel("seq_s298.agm");
  AllocRows(30);
  std::mt19937 rng(5);
  FillInputs(rng, 4);
  alloc_m3simul();
  init_m3simul();
  m3simul();
  Rows plain = Patterns();
  reached_code = 0xFFFFFFF0u - 3;
  std::fill(reached_mas.begin(), reached_mas.end(), 0xFFFFFFF0u - 1);
  init_m3simul();
  m3simul();
  EXPECT_EQ(Patterns(), plain);
  EXPECT_LT(reached_code, 100u);
}

TEST(M3simul, UnknownByteEndsTheRun) {
  ReadModel("seq_first.agm");
  AllocRows(2);
  vects[0][0] = 0;
  vects[1][0] = 2;
  alloc_m3simul();
  init_m3simul();
  EXPECT_EXIT(m3simul(), ::testing::ExitedWithCode(14), "a_q : Uninitialized node");
}

}  // namespace
