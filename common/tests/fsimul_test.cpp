#include "fsimul.h"

#include <gtest/gtest.h>

#include <random>

#include "mudel.h"
#include "random_model.h"
#include "vector.h"

namespace {

// Fills vcount rows with random inputs (some 'x') on a fresh random model.
void RandomSetup(std::mt19937& rng, const RandomModelShape& shape, uint32_t rows) {
  MakeRandomModel(rng, shape);
  vcount = rows;
  alloc_vec();
  for (uint32_t j = 0; j < vcount; ++j) {
    std::vector<unsigned char> r = RandomRow(rng, true);
    std::copy(r.begin(), r.begin() + InpCount, vects[j].begin());
  }
}

bool OutputsDiffer(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  for (uint32_t v = VarCount - OutCount; v < VarCount; ++v)
    if (a[v] != b[v]) return true;
  return false;
}

// The mark that serial simulation says pattern j detects at node k ('X' none).
char ReferenceMark(uint32_t j, uint32_t k) {
  std::vector<uint8_t> good = EvalSerial(vects[j]);
  int stuck = good[Nods[k].n_var] ? 0 : 1;  // only the opposite value can show
  return OutputsDiffer(good, EvalSerial(vects[j], k, stuck)) ? static_cast<char>('0' + stuck) : 'X';
}

char Merge(char f, char m) {
  if (m == 'X') return f;
  if (f == 'X' || f == 'x') return m;
  if ((f == '0' && m == '1') || (f == '1' && m == '0')) return '&';
  return f;
}

}  // namespace

TEST(Fsimul, MatchesSerialReferenceOnRandomModels) {
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    RandomModelShape shape;
    shape.inputs = 1 + rng() % 6;
    shape.constants = rng() % 3;
    shape.graphs = 1 + rng() % 12;
    shape.outputs = 1 + rng() % shape.graphs;
    shape.max_len = 1 + rng() % 6;
    RandomSetup(rng, shape, 1 + rng() % 9);
    init_fsimul();
    fsimul();
    std::vector<char> expect(NodCount, 'X');
    for (uint32_t j = 0; j < vcount; ++j) {
      std::vector<uint8_t> good = EvalSerial(vects[j]);
      for (uint32_t v = InpCount + ConCount; v < VarCount; ++v) ASSERT_EQ(vects[j][v], good[v]);
      for (uint32_t k = 0; k < NodCount; ++k) {
        char m = ReferenceMark(j, k);
        ASSERT_EQ(ftable[j][k], m) << "round " << round << " row " << j << " node " << k;
        expect[k] = Merge(expect[k], m);
      }
    }
    ASSERT_EQ(std::string(faults.begin(), faults.end()), std::string(expect.begin(), expect.end()));
    free_fsimul();
  }
}

TEST(Fsimul, SimulGivesSerialValuesAndXCountsAsOne) {
  std::mt19937 rng(11);
  RandomModelShape shape;
  shape.graphs = 10;
  shape.constants = 2;
  RandomSetup(rng, shape, 6);
  vects[0][0] = 'x';
  simul();
  for (uint32_t j = 0; j < vcount; ++j) {
    std::vector<unsigned char> as_one = vects[j];
    for (uint32_t i = 0; i < InpCount; ++i)
      if (as_one[i] == 'x') as_one[i] = 1;
    std::vector<uint8_t> good = EvalSerial(as_one);
    for (uint32_t v = InpCount; v < VarCount; ++v) EXPECT_EQ(vects[j][v], good[v]) << j << " " << v;
  }
}

// Dropping skips what the status already holds; 'x' counts as undetected.
// With dropping and update both on, table rows keep earlier marks.
TEST(Fsimul, DroppingAndUpdateSwitches) {
  std::mt19937 rng(3);
  for (int round = 0; round < 40; ++round) {
    RandomModelShape shape;
    shape.inputs = 2 + rng() % 4;
    shape.graphs = 2 + rng() % 8;
    shape.outputs = 1 + rng() % 2;
    RandomSetup(rng, shape, 4);
    init_fsimul();
    const char pool[] = {'X', 'x', '0', '1', '&'};
    for (char& f : faults) f = pool[rng() % 5];
    std::vector<char> start = faults;
    for (uint32_t j = 0; j < vcount; ++j)
      for (char& m : ftable[j]) m = (rng() % 4 == 0) ? '1' : 'X';
    std::vector<std::vector<char>> old_table = ftable;
    SetFsimulDropping();
    bool update = round % 2 == 0;
    if (update) set_fsimul_faults_update(); else no_fsimul_faults_update();
    fsimul();
    std::vector<char> expect = start;
    for (uint32_t j = vcount; j-- > 0;) {
      for (uint32_t k = 0; k < NodCount; ++k) {
        char m = ReferenceMark(j, k);
        char f = update ? expect[k] : start[k];
        bool skipped = (m == '0' && !(f == 'X' || f == 'x' || f == '1')) ||
                       (m == '1' && !(f == 'X' || f == 'x' || f == '0'));
        if (skipped) m = 'X';
        char want = m;
        if (update && m == 'X') want = old_table[j][k];
        if (update && m != 'X' && old_table[j][k] != 'X' ) want = m;  // a detected mark overwrites
        ASSERT_EQ(ftable[j][k], want) << round << " " << j << " " << k;
        if (update) expect[k] = Merge(expect[k], m);
      }
    }
    ASSERT_EQ(std::string(faults.begin(), faults.end()), std::string(expect.begin(), expect.end()));
    free_fsimul();
  }
}

// A graph whose counter is raised by 256 changed readers in one spread must
// still be evaluated: buffer b of input a feeds 256 buffers that all feed the
// output, an AND of them.
TEST(Fsimul, GraphReachedByManyChangedReadersIsEvaluated) {
  const uint32_t fan = 256;
  InpCount = 1;
  ConCount = 0;
  GrpCount = fan + 2;
  OutCount = 1;
  VarCount = InpCount + GrpCount;
  Vars.assign(VarCount, VarRec{0});
  Vars[0].v_flags = VF_INPUT;
  VarNames.assign(VarCount, "v");
  Nods.clear();
  Grps.clear();
  auto add_graph = [](const std::vector<NodRec>& nodes) {
    Grps.push_back(GrpRec{static_cast<uint32_t>(Nods.size()), static_cast<uint32_t>(nodes.size())});
    Nods.insert(Nods.end(), nodes.begin(), nodes.end());
  };
  add_graph({NodRec{0, 0, {0, 0}}});                         // b = a
  for (uint32_t i = 0; i < fan; ++i) add_graph({NodRec{0, 1, {0, 0}}});  // buffers of b
  std::vector<NodRec> out;
  for (uint32_t i = 0; i < fan; ++i) out.push_back(NodRec{0, 2 + i, {0, i + 1 < fan ? i + 1 : 0}});
  add_graph(out);
  NodCount = static_cast<uint32_t>(Nods.size());
  NodNames.assign(NodCount, "n");
  vcount = 1;
  alloc_vec();
  vects[0][0] = 1;
  init_fsimul();
  fsimul();
  EXPECT_EQ(ftable[0][0], '0');  // a stuck-at-0 turns every buffer and the output to 0
  EXPECT_EQ(faults[0], '0');
  free_fsimul();
}

TEST(Fsimul, ZeroPatternsDoNothing) {
  std::mt19937 rng(5);
  RandomSetup(rng, RandomModelShape{}, 0);
  init_fsimul();
  simul();
  fsimul();
  EXPECT_EQ(std::string(faults.begin(), faults.end()), std::string(NodCount, 'X'));
  free_fsimul();
}
