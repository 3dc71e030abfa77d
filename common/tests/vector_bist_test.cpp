// The BIST programs' variant of the test-file module, on and off.
#include <gtest/gtest.h>

#include "messages.h"
#include "mudel.h"
#include "test_files.h"
#include "vector.h"

namespace {

// Two inputs, `cons` constants (value 1), two graph variables (the last one
// an output); three nodes.
void Model(uint32_t cons) {
  free_ag();
  InpCount = 2;
  ConCount = cons;
  GrpCount = 2;
  OutCount = 1;
  VarCount = InpCount + ConCount + GrpCount;
  Vars.assign(VarCount, VarRec{0});
  for (uint32_t i = 0; i < InpCount; ++i) Vars[i].v_flags = VF_INPUT;
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) Vars[i].v_flags = VF_CONST | VF_CONST1;
  NodCount = 3;
}

struct BistFile : testing::Test {
  std::string dir = TempDir();
  void SetUp() override { verbose_mode = 1; }
  void TearDown() override {
    SetBistVariant(false);
    verbose_mode = 0;
  }
  std::string File(const std::string& text) { return WriteFile(dir, "t.tst", text); }
};

TEST_F(BistFile, OffByDefaultAndMode8IsMode0) {
  EXPECT_FALSE(::BistVariant());
  Model(0);
  vcount = 1;
  alloc_vec();
  vects[0] = {1, 0, 1, 0};
  faults = {'&', '0', 'X'};
  write_vec(dir + "/m8.tst", 8);
  write_vec(dir + "/m0.tst", 0);
  EXPECT_EQ(ReadFile(dir + "/m8.tst"), ReadFile(dir + "/m0.tst"));
  // The reader takes the inputs only.
  read_vec(File("\n.VECTORS 1\n\n.PATTERNS\n\n01hL\n"));
  EXPECT_EQ(vects[0], (std::vector<unsigned char>{0, 1, 'x', 'x'}));
}

TEST_F(BistFile, Mode8WritesTheFaultRowAlone) {
  SetBistVariant(true);
  Model(0);
  NodCount = 5;
  vcount = 1;
  alloc_vec();
  faults = {'&', '0', 'X', '0', 'X'};
  write_vec(dir + "/f.tst", 8);
  EXPECT_EQ(ReadFile(dir + "/f.tst"), "\n.FAULTS\n\n&0X0X\n\n.COVERAGE\n\n4 / 10 = 40.000000 %\n\n");
  faults.assign(5, 'X');
  read_faults(dir + "/f.tst");
  EXPECT_EQ(faults, (std::vector<char>{'&', '0', 'X', '0', 'X'}));
}

TEST_F(BistFile, WholeRowReader) {
  SetBistVariant(true);
  Model(0);
  read_vec(File("\n.VECTORS 3\n\n.PATTERNS\n\n01hL\n10\r\n1x\n"));
  EXPECT_EQ(vects[0], (std::vector<unsigned char>{0, 1, 1, 0}));
  EXPECT_EQ(vects[1], (std::vector<unsigned char>{1, 0, 0, 0}));
  EXPECT_EQ(vects[2], (std::vector<unsigned char>{1, 'x', 0, 0}));
  Model(1);
  read_vec(File("\n.VECTORS 1\n\n.PATTERNS\n\n10\n"));
  EXPECT_EQ(vects[0], (std::vector<unsigned char>{1, 0, 1, 0, 0}));
  // A row written with every column reads back whole, the constants from
  // the model; "\r\n" advances the row count once.
  read_vec(File("\n.VECTORS 2\n\n.PATTERNS\n\n10lhL\r\n01hlH extra\n"));
  EXPECT_EQ(vects[0], (std::vector<unsigned char>{1, 0, 1, 1, 0}));
  EXPECT_EQ(vects[1], (std::vector<unsigned char>{0, 1, 1, 0, 1}));
  std::string bad = File("\n.VECTORS 2\n\n.PATTERNS\n\n10lhL\r\n0 1\n");
  EXPECT_EXIT(read_vec(bad), testing::ExitedWithCode(14), "^\nError at line 7: Unknown symbol in patterns file!\n$");
}

}  // namespace
