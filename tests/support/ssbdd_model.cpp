#include "ssbdd_model.h"

#include <string>
#include <vector>

#include "mudel.h"
#include "random_model.h"

namespace {

using Nodes = std::vector<NodRec>;

// A sub-diagram's terminal edges are successors 0; joining B behind A sends
// A's 1-terminals (AND) or 0-terminals (OR) to B's root.
Nodes Join(const Nodes& a, const Nodes& b, int edge) {
  Nodes out = a;
  uint32_t off = static_cast<uint32_t>(a.size());
  for (NodRec& n : out)
    if (n.n_dst[edge] == 0) n.n_dst[edge] = off;
  for (NodRec n : b) {
    for (uint32_t& d : n.n_dst)
      if (d) d += off;
    out.push_back(n);
  }
  return out;
}

// Graphs no node reads yet; leaves prefer them so that little logic is dead.
std::vector<uint32_t> unread;

Nodes Build(std::mt19937& rng, uint32_t leaves, uint32_t readable_base, uint32_t readable_graphs,
            const SsbddShape& s) {
  if (leaves == 1) {
    NodRec n{};
    n.n_flags = rng() & 1;
    uint32_t base = s.inputs + s.constants;
    if (readable_graphs && rng() % 100 < s.graph_leaf_percent) {
      if (!unread.empty() && rng() % 4 != 0) {
        size_t pick = rng() % unread.size();
        n.n_var = base + unread[pick];
        unread.erase(unread.begin() + static_cast<long>(pick));
      } else {
        n.n_var = base + rng() % readable_graphs;
      }
    }
    else
      n.n_var = rng() % readable_base;
    return {n};
  }
  uint32_t k = 1 + rng() % (leaves - 1);
  Nodes a = Build(rng, k, readable_base, readable_graphs, s);
  Nodes b = Build(rng, leaves - k, readable_base, readable_graphs, s);
  return Join(a, b, static_cast<int>(rng() & 1));
}

}  // namespace

void MakeSsbddModel(std::mt19937& rng, const SsbddShape& s) {
  ResetModel(rng, s.inputs, s.constants, s.graphs, s.outputs, "i", "k");
  uint32_t first_out = GrpCount - OutCount;
  unread.clear();
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t var = InpCount + ConCount + g;
    VarNames[var] = (g >= first_out ? "o" : "g") + std::to_string(g);
    if (g >= first_out) Vars[var].v_flags = VF_OUTPUT;
    Nodes nodes = Build(rng, 1 + rng() % s.max_leaves, InpCount + ConCount, std::min(g, first_out), s);
    if (g < first_out) unread.push_back(g);
    uint32_t beg = static_cast<uint32_t>(Nods.size());
    Grps.push_back(GrpRec{beg, static_cast<uint32_t>(nodes.size())});
    for (const NodRec& n : nodes) {
      NodNames.push_back(VarNames[n.n_var] + "_" + std::to_string(Nods.size()));
      Nods.push_back(n);
    }
  }
  NodCount = static_cast<uint32_t>(Nods.size());
}
