#include "fastgraph.h"

#include <algorithm>

#include "mudel.h"

void FastGraphs::Build() {
  readsLater = false;
  nodes.resize(NodCount);
  slotBase.resize(GrpCount);
  maxLen = 1;
  std::vector<std::vector<uint32_t>> readers(GrpCount);
  for (uint32_t g = 0; g < GrpCount; ++g) {
    uint32_t b = Grps[g].g_beg, n = Grps[g].g_len;
    maxLen = std::max(maxLen, n);
    slotBase[g] = b + 2 * g;
    for (uint32_t k = b; k < b + n; ++k) {
      const NodRec& nd = Nods[k];
      nodes[k] = FastNode{nd.n_var, (nd.n_flags & 1) ? ~0u : 0u, nd.n_dst[1] ? nd.n_dst[1] : n,
                          nd.n_dst[0] ? nd.n_dst[0] : n + 1};
      if (nd.n_var >= GraphVar(g)) readsLater = true;
      if (nd.n_var < GraphVar(0)) continue;
      std::vector<uint32_t>& r = readers[nd.n_var - GraphVar(0)];
      if (r.empty() || r.back() != g) r.push_back(g);
    }
  }
  readStart.assign(GrpCount + 1, 0);
  reads.clear();
  for (uint32_t g = 0; g < GrpCount; ++g) {
    reads.insert(reads.end(), readers[g].begin(), readers[g].end());
    readStart[g + 1] = static_cast<uint32_t>(reads.size());
  }
}

size_t FastGraphs::SlotCount() const { return size_t(NodCount) + 2 * size_t(GrpCount); }

void PendingGraphs::Reset(uint32_t graphs) {
  bits_.assign((graphs + 63) / 64, 0);
  words_.assign((bits_.size() + 63) / 64, 0);
  count_ = 0;
}

void PendingGraphs::Clear() {
  std::fill(bits_.begin(), bits_.end(), 0);
  std::fill(words_.begin(), words_.end(), 0);
  count_ = 0;
}
