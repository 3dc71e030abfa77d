#include <gtest/gtest.h>

#include <random>
#include <set>

#include "messages.h"
#include "mudel.h"
#include "psimul.h"
#include "register.h"
#include "vector.h"

#ifndef TEST_DATA
#define TEST_DATA "tests/data"
#endif

namespace {

// A model of `outs` output graphs and nothing else: enough for the
// registers, which read only the output columns of a row.
void OutputsOnly(uint32_t outs) {
  verbose_mode = 1;
  free_ag();
  InpCount = 0;
  ConCount = 0;
  OutCount = outs;
  GrpCount = outs;
  VarCount = outs;
  NodCount = 0;
}

// The register as an integer, bit i = stage i, stepped by the definitions.
uint32_t NaiveStep(uint32_t s, uint32_t fb, int L, bool modular, bool inject, uint32_t outs, int P, int end) {
  uint32_t inj = 0;
  if (inject)
    for (int k = 0; k < P; ++k)
      if (outs >> k & 1) {
        int pos = end == 0 ? k : L - P + k;
        if (end == 0 && k >= L) continue;
        inj |= 1u << pos;
      }
  uint32_t mask = (1u << L) - 1;
  if (!modular) {
    uint32_t f = __builtin_parity(s & fb);
    return (((s << 1) | f) & mask) ^ inj;
  }
  uint32_t b = s & 1;
  return ((s >> 1) ^ (b ? fb : 0) ^ inj) & mask;
}

std::string Bits(uint32_t v, int L) {
  std::string s;
  for (int i = 0; i < L; ++i) s.push_back(v >> i & 1 ? '1' : '0');
  return s;
}

TEST(Register, BothFormsAgainstTheDefinitions) {
  std::mt19937 rng(7);
  for (int L = 1; L <= 8; ++L) {
    for (int P = 0; P <= L; ++P) {
      OutputsOnly(static_cast<uint32_t>(P));
      for (uint32_t fb = 0; fb < (1u << L); ++fb) {
        std::string poly = Bits(fb, L);
        for (uint32_t s = 0; s < (1u << L); ++s) {
          uint32_t outs = P ? rng() & ((1u << P) - 1) : 0;
          PatternRows rows(1, std::vector<unsigned char>(VarCount));
          for (int k = 0; k < P; ++k) rows[0][k] = outs >> k & 1;
          for (int modular = 0; modular < 2; ++modular) {
            setLFSRType(modular);
            std::string st[2] = {Bits(s, L), ""};
            LFSR(st, poly, L, 0, 0, nullptr);
            ASSERT_EQ(st[1], Bits(NaiveStep(s, fb, L, modular, false, 0, P, 0), L));
            for (int end = 0; end < 2; ++end) {
              LFSR(st, poly, L, 0, end, &rows);
              ASSERT_EQ(st[1], Bits(NaiveStep(s, fb, L, modular, true, outs, P, end), L))
                  << "L=" << L << " P=" << P << " poly=" << poly << " modular=" << modular << " end=" << end;
            }
          }
        }
      }
    }
  }
  setLFSRType(0);
}

TEST(Register, EdgeCasesOfBothForms) {
  OutputsOnly(2);
  std::string st[3] = {"1000", "", ""};
  setLFSRType(0);
  LFSR(st, "1001", 4, 0, 0, nullptr);
  LFSR(st, "1001", 4, 1, 0, nullptr);
  EXPECT_EQ(st[1], "1100");
  EXPECT_EQ(st[2], "1110");
  setLFSRType(1);
  LFSR(st, "0011", 4, 0, 0, nullptr);
  EXPECT_EQ(st[1], "0011");
  st[0] = "0110";
  LFSR(st, "1111", 4, 0, 0, nullptr);
  EXPECT_EQ(st[1], "1100");
  setLFSRType(0);
  // MISR, L = 5, P = 2: outputs 1 and 1 into positions 0, 1 or 3, 4.
  PatternRows rows(1, {1, 1});
  std::string m[2] = {"00000", ""};
  standardLFSR(m, "00000", 5, 0, 0, &rows);
  EXPECT_EQ(m[1], "11000");
  standardLFSR(m, "00000", 5, 0, 1, &rows);
  EXPECT_EQ(m[1], "00011");
}

TEST(Register, PrimitiveFeedbackVisitsEveryNonzeroState) {
  OutputsOnly(0);
  // x^8 + x^6 + x^5 + x^4 + 1 and x^4 + x + 1.
  for (const char* poly : {"01110001", "1001"}) {
    int L = static_cast<int>(strlen(poly));
    for (int modular = 0; modular < 2; ++modular) {
      setLFSRType(modular);
      std::vector<std::string> st(1u << L);
      st[0] = std::string(L - 1, '0') + "1";
      std::set<std::string> seen{st[0]};
      for (int i = 0; i + 1 < (1 << L); ++i) {
        LFSR(st.data(), poly, L, i, 0, nullptr);
        seen.insert(st[i + 1]);
      }
      EXPECT_EQ(seen.size(), (1u << L) - 1) << poly << " modular=" << modular;
      EXPECT_EQ(seen.count(std::string(L, '0')), 0u);
    }
  }
  setLFSRType(0);
}

TEST(Register, InsertVectCopiesOnlyInputs) {
  OutputsOnly(0);
  InpCount = 2;
  VarCount = 4;
  std::vector<unsigned char> row(4, 7);
  insert_vect("1011", 4, 0, row);
  EXPECT_EQ(row, (std::vector<unsigned char>{1, 0, 7, 7}));
  testing::internal::CaptureStderr();
  insert_vect("00", -1, 0, row);
  insert_vect("00", 2, 2, row);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "insert_vect : bad arguments!\ninsert_vect : bad arguments!\n");
  EXPECT_EQ(row, (std::vector<unsigned char>{1, 0, 7, 7}));
}

TEST(Register, CheckRefusesOtherCharacters) {
  check("0101", 4, "gpoly vector");
  check("01x", 2, "gpoly vector");
  check("", 0, "gpoly vector");
  EXPECT_EXIT(check("0121", 4, "gpoly vector"), testing::ExitedWithCode(14), "^\nError: Bad gpoly vector!\n$");
  EXPECT_EQ(xorbinary('1', '1'), '0');
  EXPECT_EQ(xorbinary('0', '1'), '1');
  EXPECT_EQ(convert_num(1), '1');
}

// spec_simul against the word-parallel simulator on full-scan circuits: the
// same fault-free values, and a node fault changes an output exactly on the
// patterns whose table row marks it.
class SpecSimul : public testing::TestWithParam<const char*> {};

TEST_P(SpecSimul, AgreesWithWordParallelSimulator) {
  verbose_mode = 1;
  read_ag(std::string(TEST_DATA) + "/" + GetParam());
  vcount = 70;
  alloc_vec();
  std::mt19937 rng(3);
  for (auto& row : vects)
    for (uint32_t i = 0; i < InpCount; ++i) row[i] = rng() & 1;
  alloc_psimul();
  init_psimul();
  psimul();
  serial_vec();
  PatternRows good = vects;
  for (uint32_t v = 0; v < vcount; ++v) {
    vects[v] = good[v];
    for (uint32_t i = InpCount; i < VarCount; ++i) vects[v][i] = 'x';
    spec_simul(static_cast<int>(v), -1, 0);
    ASSERT_EQ(vects[v], good[v]) << "pattern " << v;
    for (uint32_t n = 0; n < NodCount; ++n)
      for (int value = 0; value < 2; ++value) {
        spec_simul(static_cast<int>(v), static_cast<int>(n), value);
        bool changed = !std::equal(vects[v].end() - OutCount, vects[v].end(), good[v].end() - OutCount);
        char m = ftable[v][n];
        bool marked = m == (value ? '1' : '0') || m == '&';
        ASSERT_EQ(changed, marked) << "pattern " << v << " node " << n << " stuck at " << value;
      }
  }
  free_vec();
  free_ag();
  verbose_mode = 0;
}

INSTANTIATE_TEST_SUITE_P(FullScan, SpecSimul, testing::Values("s27fs.agm", "s298fs.agm"));

}  // namespace
