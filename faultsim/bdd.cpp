#include "bdd.h"

#include "mudel.h"

std::vector<BddNod> BddNods;
std::vector<BddArg> BddArgs;

namespace {

// Operator of each node of graph g: a 0-edge that ends the walk makes the
// node a conjunct (AND), a 1-edge that ends it a disjunct (OR).
std::vector<BddOp> make_structure(uint32_t g) {
  uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
  std::vector<BddOp> ops(n);
  for (uint32_t i = 0; i < n; ++i) {
    const NodRec& nd = Nods[b + i];
    ops[i] = nd.n_dst[0] == 0 ? BddOp::And : nd.n_dst[1] == 0 ? BddOp::Or : BddOp::Mixed;
  }
  return ops;
}

// A run of nodes with one operator becomes one record; the first run's
// record takes the records of the later runs as nested arguments.
void bdd_convert(uint32_t g, const std::vector<BddOp>& ops) {
  uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
  std::vector<std::pair<uint32_t, uint32_t>> runs;  // [begin, end) positions
  for (uint32_t i = 0; i < n;) {
    uint32_t j = i;
    while (j < n && ops[j] == ops[i]) ++j;
    runs.emplace_back(i, j);
    i = j;
  }
  uint32_t outer = static_cast<uint32_t>(BddNods.size());
  uint32_t nested = static_cast<uint32_t>(runs.size()) - 1;
  BddNods.push_back(BddNod{ops[0], g, static_cast<uint32_t>(BddArgs.size()), runs[0].second + nested});
  for (uint32_t i = 0; i < runs[0].second; ++i) BddArgs.push_back(BddArg{b + i, false});
  for (uint32_t k = 1; k <= nested; ++k) BddArgs.push_back(BddArg{outer + k, true});
  for (uint32_t k = 1; k <= nested; ++k) {
    BddNods.push_back(BddNod{ops[runs[k].first], g, static_cast<uint32_t>(BddArgs.size()), runs[k].second - runs[k].first});
    for (uint32_t i = runs[k].first; i < runs[k].second; ++i) BddArgs.push_back(BddArg{b + i, false});
  }
}

}  // namespace

void alloc_bdd() {
  BddNods.clear();
  BddArgs.clear();
  BddNods.reserve(NodCount);
  BddArgs.reserve(2 * NodCount);
}

void bdd_build() {
  for (uint32_t g = 0; g < GrpCount; ++g)
    if (Grps[g].g_len > 1) bdd_convert(g, make_structure(g));
}

void free_bdd() {
  std::vector<BddNod>().swap(BddNods);
  std::vector<BddArg>().swap(BddArgs);
}
