#include "diagnosis.h"

#include <algorithm>
#include <cstdio>

#include "fsimul.h"
#include "messages.h"
#include "mudel.h"
#include "vector.h"

std::vector<char> out_ftable;
std::vector<std::vector<char>> etalon_outputs;
std::vector<char> out_faults;
std::vector<OutGroups> out_groups;
int out_fsimul_compact = 0;

namespace {

// The outputs marked in out_faults, so they can be listed and cleared fast.
std::vector<uint32_t> reached;

void MarkOutput(uint32_t o) {
  if (!out_faults[o]) {
    out_faults[o] = 1;
    reached.push_back(o);
  }
}

// Spreads the inverted value of non-output graph m to every graph it
// reaches, marking each output that changes.
void SpreadAll(uint32_t m, const unsigned char* row) {
  uint32_t first_out = GrpCount - OutCount;
  SpreadChange(m, row, [first_out](uint32_t t) {
    MarkOutput(t - first_out);
    return false;
  });
}

void SimulateRow(uint32_t j) {
  unsigned char* row = vects[j].data();
  uint32_t first_out = GrpCount - OutCount;
  // Fault-free pass marking every node on each graph's path.
  MarkPass(j, false);
  for (uint32_t g = first_out; g < GrpCount; ++g) etalon_outputs[j][g - first_out] = row[GraphVar(g)] ? '1' : '0';
  std::copy(row, row + VarCount, fltvec.begin());
  OutGroups* groups = out_fsimul_compact ? &out_groups[j] : nullptr;
  for (uint32_t m = 0; m < GrpCount; ++m) {
    for (uint32_t o : reached) out_faults[o] = 0;
    reached.clear();
    bool spread = false;
    if (m >= first_out) {
      MarkOutput(m - first_out);
      spread = true;
    }
    bool grouped = false;
    uint32_t beg = Grps[m].g_beg;
    ForEachChangingFault(m, row, [&](uint32_t c, char mark) {
      if (!spread) {
        spread = true;
        SpreadAll(m, row);
      }
      if (reached.empty()) return false;  // every later change of m shares this outcome
      if (groups == nullptr) {
        for (uint32_t o : reached) out_ftable[OutIndex(o, j, beg + c)] = mark;
        return true;
      }
      if (!grouped) {
        grouped = true;
        std::vector<uint32_t> outs = reached;
        std::sort(outs.begin(), outs.end());
        groups->outs.insert(groups->outs.end(), outs.begin(), outs.end());
        groups->out_end.push_back(static_cast<uint32_t>(groups->outs.size()));
        groups->node_end.push_back(static_cast<uint32_t>(groups->nodes.size()));
      }
      groups->nodes.push_back(beg + c);
      groups->marks.push_back(mark);
      groups->node_end.back() = static_cast<uint32_t>(groups->nodes.size());
      return true;
    });
  }
  for (uint32_t o : reached) out_faults[o] = 0;
  reached.clear();
  if (groups != nullptr) {
    groups->outs.shrink_to_fit();
    groups->nodes.shrink_to_fit();
    groups->marks.shrink_to_fit();
    groups->out_end.shrink_to_fit();
    groups->node_end.shrink_to_fit();
  }
}

}  // namespace

namespace {
// The node count of the model the table was made for: a caller may load
// another model (the specification) while it still reads the table.
uint32_t table_nodes = 0;
}  // namespace

size_t OutIndex(uint32_t o, uint32_t j, uint32_t node) {
  return (static_cast<size_t>(o) * vcount + j) * table_nodes + node;
}

void init_out_fsimul() {
  out_ftable.clear();
  out_groups.clear();
  table_nodes = NodCount;
  if (out_fsimul_compact)
    out_groups.resize(vcount);
  else
    out_ftable.assign(static_cast<size_t>(OutCount) * vcount * NodCount, 'X');
  etalon_outputs.assign(vcount, std::vector<char>(OutCount, '0'));
  out_faults.assign(OutCount, 0);
  reached.clear();
}

void out_fsimul() {
  for (uint32_t j = vcount; j-- > 0;) SimulateRow(j);
}

char OutMark(uint32_t o, uint32_t j, uint32_t node) {
  if (!out_fsimul_compact) return out_ftable[OutIndex(o, j, node)];
  const OutGroups& g = out_groups[j];
  uint32_t out_beg = 0, node_beg = 0;
  for (size_t k = 0; k < g.out_end.size(); ++k) {
    uint32_t out_end = g.out_end[k], node_end = g.node_end[k];
    if (std::binary_search(g.outs.begin() + out_beg, g.outs.begin() + out_end, o))
      for (uint32_t i = node_beg; i < node_end; ++i)
        if (g.nodes[i] == node) return g.marks[i];
    out_beg = out_end;
    node_beg = node_end;
  }
  return 'X';
}

void print_out_fsimul() {
  for (uint32_t o = 0; o < OutCount; ++o) {
    printf("\n\ndebug info for output %u\n", o);
    for (uint32_t j = 0; j < vcount; ++j) {
      for (uint32_t k = 0; k < table_nodes; ++k) putchar(OutMark(o, j, k));
      putchar('\n');
    }
  }
  printf("\n\n");
  for (uint32_t o = 0; o < OutCount; ++o) {
    printf("\n\nvalues for output %u\n", o);
    for (uint32_t j = 0; j < vcount; ++j) putchar(etalon_outputs[j][o]);
  }
  printf("\n\n");
  fflush(stdout);
}
