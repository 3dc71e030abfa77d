#include "random_model.h"

#include <string>

#include "mudel.h"

void ResetModel(std::mt19937& rng, uint32_t inputs, uint32_t constants, uint32_t graphs, uint32_t outputs,
                const char* input_prefix, const char* const_prefix) {
  InpCount = inputs;
  ConCount = constants;
  GrpCount = graphs;
  OutCount = outputs;
  VarCount = InpCount + ConCount + GrpCount;
  ModelType = 0;
  Vars.assign(VarCount, VarRec{0});
  VarNames.assign(VarCount, "");
  Grps.clear();
  Nods.clear();
  NodNames.clear();
  for (uint32_t i = 0; i < InpCount; ++i) {
    Vars[i].v_flags = VF_INPUT;
    VarNames[i] = input_prefix + std::to_string(i);
  }
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) {
    Vars[i].v_flags = VF_CONST | ((rng() & 1) ? VF_CONST1 : VF_CONST0);
    VarNames[i] = const_prefix + std::to_string(i);
  }
}

void MakeRandomModel(std::mt19937& rng, const RandomModelShape& s) {
  ResetModel(rng, s.inputs, s.constants, s.graphs, s.outputs, "in", "c");
  uint32_t firstOut = GrpCount - OutCount;
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t var = InpCount + ConCount + g;
    VarNames[var] = "g" + std::to_string(g);
    if (g >= firstOut) Vars[var].v_flags = VF_OUTPUT;
    // Variables a node may test: inputs, constants, earlier non-output graphs.
    uint32_t readable = InpCount + ConCount + std::min(g, firstOut);
    uint32_t len = 1 + rng() % s.max_len;
    uint32_t beg = static_cast<uint32_t>(Nods.size());
    Grps.push_back(GrpRec{beg, len});
    for (uint32_t i = 0; i < len; ++i) {
      NodRec n{};
      n.n_flags = rng() & 1;
      n.n_var = readable ? rng() % readable : 0;
      for (int e = 0; e < 2; ++e) {
        uint32_t later = len - 1 - i;  // nodes after this one
        n.n_dst[e] = (later == 0 || rng() % 3 == 0) ? 0 : i + 1 + rng() % later;
      }
      Nods.push_back(n);
      NodNames.push_back("n" + std::to_string(beg + i));
    }
  }
  NodCount = static_cast<uint32_t>(Nods.size());
}

std::vector<uint8_t> EvalSerial(const std::vector<unsigned char>& row, long fault_node, int stuck) {
  std::vector<uint8_t> val(VarCount, 0);
  for (uint32_t i = 0; i < InpCount + ConCount; ++i) val[i] = row[i] != 0;
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t b = Grps[g].g_beg, k = 0;
    uint8_t e = 0;
    for (;;) {
      const NodRec& n = Nods[b + k];
      uint8_t x = (static_cast<long>(b + k) == fault_node) ? static_cast<uint8_t>(stuck) : val[n.n_var];
      e = x ^ (n.n_flags & 1);
      uint32_t next = n.n_dst[e];
      if (next == 0) break;
      k = next;
    }
    val[InpCount + ConCount + g] = e;
  }
  return val;
}

std::vector<unsigned char> RandomRow(std::mt19937& rng, bool allow_x) {
  std::vector<unsigned char> row(VarCount, 'x');
  for (uint32_t i = 0; i < InpCount; ++i) {
    uint32_t r = rng() % (allow_x ? 5 : 2);
    row[i] = r == 4 ? 'x' : static_cast<unsigned char>(r & 1);
  }
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) row[i] = (Vars[i].v_flags & VF_CONST0) ? 0 : 1;
  return row;
}
