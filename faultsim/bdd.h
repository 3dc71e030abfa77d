// The operator structure of the model's graphs: each node of a graph of more
// than one node is an AND or an OR operator (by which of its edges ends the
// walk), nested sub-expressions grouped, laid out as operator records over
// argument slots.
#pragma once
#include <cstdint>
#include <vector>

enum class BddOp : uint8_t { And, Or, Mixed };

struct BddNod {
  BddOp op;
  uint32_t graph;   // graph the operator belongs to
  uint32_t first;   // first argument slot in BddArgs
  uint32_t count;   // argument slots
};

// An argument: a node of the graph (its variable, inverted or not) or a
// nested operator record.
struct BddArg {
  uint32_t node;     // node index, or the record index when nested
  bool nested;
};

extern std::vector<BddNod> BddNods;
extern std::vector<BddArg> BddArgs;

void alloc_bdd();
void bdd_build();
void free_bdd();
