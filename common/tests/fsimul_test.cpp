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
