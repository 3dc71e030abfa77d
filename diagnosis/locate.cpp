#include "locate.h"

#include <algorithm>

#include "diagnosis.h"
#include "diagreport.h"
#include "gatepaths.h"
#include "messages.h"
#include "mudel.h"
#include "random.h"
#include "vector.h"

namespace {

char Code(char mark) {
  switch (mark) {
    case '1': return 1;
    case '0': return 2;
    case 'X': return 0;
    default: Error("Error in outputs' fault table", -1);
  }
}

// FfreeNodes from every correct pair: the codes of the faults it shows.
void Exonerate() {
  std::fill(FfreeNodes.begin(), FfreeNodes.end(), 0);
  if (!out_fsimul_compact) {
    for (uint32_t o = 0; o < OutCount; ++o)
      for (uint32_t v = 0; v < vcount; ++v) {
        if (FaultyOuts[v][o]) continue;
        const char* row = &out_ftable[OutIndex(o, v, 0)];
        for (uint32_t k = 0; k < DesignNodes; ++k) FfreeNodes[k] |= static_cast<unsigned char>(row[k]);
      }
    return;
  }
  // A group's faults show at all its outputs alike: one correct output
  // among them is enough.
  for (uint32_t v = 0; v < vcount; ++v) {
    const OutGroups& g = out_groups[v];
    const std::vector<char>& failing = FaultyOuts[v];
    uint32_t out_beg = 0, node_beg = 0;
    for (size_t k = 0; k < g.out_end.size(); ++k) {
      bool correct = false;
      for (uint32_t i = out_beg; i < g.out_end[k] && !correct; ++i) correct = !failing[g.outs[i]];
      if (correct)
        for (uint32_t i = node_beg; i < g.node_end[k]; ++i)
          FfreeNodes[g.nodes[i]] |= static_cast<unsigned char>(g.marks[i]);
      out_beg = g.out_end[k];
      node_beg = g.node_end[k];
    }
  }
}

uint32_t Suspect() {
  std::fill(FaultyGates.begin(), FaultyGates.end(), 3);
  for (uint32_t k = 0; k < DesignNodes; ++k) {
    unsigned char f = FfreeNodes[k];
    if (f == 0) continue;
    for (int gate : Node_Gate[k].gates) {
      if (f != 3 && GateType[gate].type < 3) f ^= 3;
      FaultyGates[gate] &= static_cast<unsigned char>(~f);
    }
  }
  uint32_t count = 0;
  for (unsigned char g : FaultyGates)
    if (g) ++count;
  return count;
}

}  // namespace

void LocateGate_init() {
  FaultyOuts.assign(vcount, std::vector<char>(OutCount + 1, 0));
  FfreeNodes.assign(DesignNodes, 0);
  FaultyGates.assign(static_cast<size_t>(GateCount), 0);
}

void Modify_out_ftable() {
  for (char& m : out_ftable) m = Code(m);
  for (OutGroups& g : out_groups)
    for (char& m : g.marks) m = Code(m);
  Printable = 0;
}

void LocateGate() {
  Randomize();
  LocateGateWithSeed();
}

void LocateGateWithSeed() {
  uint32_t g_min = static_cast<uint32_t>(std::min(5, GateCount));
  uint64_t n = 4;
  Modify_out_ftable();
  uint64_t c = static_cast<uint64_t>(vcount) * OutCount - CompareOutputs();
  for (int pass = 0;; ++pass) {
    if (pass > 0 && vcount > 0 && OutCount > 0) {
      // Treat a few more correct pairs as failing, from a random start.
      n = std::min(n, c);
      uint32_t r1 = GetRnd() / (4294967295u / vcount);
      uint32_t r2 = GetRnd() / (4294967295u / OutCount);
      uint64_t count = 0;
      for (uint32_t k = 0; k < OutCount && count < n; ++k)
        for (uint32_t u = 0; u < vcount; u += 3) {
          uint32_t v = static_cast<uint32_t>((static_cast<uint64_t>(r1) + u) % vcount);
          uint32_t o = static_cast<uint32_t>((static_cast<uint64_t>(r2) + k) % OutCount);
          if (!FaultyOuts[v][o]) {
            FaultyOuts[v][o] = 1;
            ++count;
            --c;
          }
          if (count >= n) break;
        }
    }
    for (std::vector<char>& row : FaultyOuts)
      row[OutCount] = std::find(row.begin(), row.begin() + OutCount, 1) != row.begin() + OutCount ? 1 : 0;
    Exonerate();
    if (Suspect() >= g_min) break;
  }
}
