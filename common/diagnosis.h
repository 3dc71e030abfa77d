// Per-output fault simulation for diagnosis: for every primary output,
// pattern and node, the stuck-at fault of the node that changes that output,
// and the fault-free output values.  Needs init_fsimul; leaves ftable and
// faults untouched.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Two forms of the same table.  The plain form is OutCount x vcount rows of
// NodCount marks ('X', '0', '1').  The compact form keeps, per pattern, one
// group per graph whose changed value reached an output: the outputs
// reached and the graph's nodes whose fault changed it (all faults of one
// graph that change its value change it alike, so they share the outputs).
// Both give the same mark for every (output, pattern, node).
extern std::vector<char> out_ftable;  // plain form, empty in compact mode
extern std::vector<std::vector<char>> etalon_outputs;  // vcount rows of OutCount '0'/'1'
extern std::vector<char> out_faults;  // OutCount: outputs reached by the current graph

struct OutGroups {
  std::vector<uint32_t> outs;      // output indices of all groups, group after group
  std::vector<uint32_t> nodes;     // node numbers of all groups
  std::vector<char> marks;         // the nodes' marks (or codes, see Modify_out_ftable)
  std::vector<uint32_t> out_end;   // per group: end of its outputs in `outs`
  std::vector<uint32_t> node_end;  // per group: end of its nodes in `nodes`
};
// Compact form: one entry per pattern.
extern std::vector<OutGroups> out_groups;
// Nonzero: init_out_fsimul/out_fsimul build the compact form instead of the plain one.
extern int out_fsimul_compact;

void init_out_fsimul();
void out_fsimul();
void print_out_fsimul();

// The mark of (output o, pattern j, node) in whichever form is filled.
char OutMark(uint32_t o, uint32_t j, uint32_t node);
// Position of (output o, pattern j, node) in the plain form.
size_t OutIndex(uint32_t o, uint32_t j, uint32_t node);
