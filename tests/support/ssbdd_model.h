// Random models that look like synthesised ones: every graph is built from a
// random AND/OR tree of (possibly inverted) leaves, so each graph's value is
// monotone in its nodes' edge values, as in a real SSBDD.
#pragma once
#include <cstdint>
#include <random>

struct SsbddShape {
  uint32_t inputs = 5;
  uint32_t constants = 0;
  uint32_t graphs = 8;
  uint32_t outputs = 2;
  uint32_t max_leaves = 4;  // nodes per graph, 1..max_leaves
  // Share of leaves (in percent) that read an earlier graph rather than an
  // input or constant, when one exists; makes fan-out and reconvergence.
  uint32_t graph_leaf_percent = 60;
};

void MakeSsbddModel(std::mt19937& rng, const SsbddShape& shape);
