// Writes a random synthesised-looking SSBDD model, for benchmarks and
// fixtures: make_agm <file.agm> <seed> <inputs> <graphs> <outputs> [max_leaves] [constants]
#include <cstdlib>
#include <random>

#include "messages.h"
#include "mudel.h"
#include "ssbdd_model.h"

int main(int argc, char** argv) {
  if (argc < 6) {
    fprintf(stderr, "usage: make_agm <file.agm> <seed> <inputs> <graphs> <outputs> [max_leaves] [constants]\n");
    return 2;
  }
  SsbddShape s;
  s.inputs = static_cast<uint32_t>(atoi(argv[3]));
  s.graphs = static_cast<uint32_t>(atoi(argv[4]));
  s.outputs = static_cast<uint32_t>(atoi(argv[5]));
  if (argc > 6) s.max_leaves = static_cast<uint32_t>(atoi(argv[6]));
  if (argc > 7) s.constants = static_cast<uint32_t>(atoi(argv[7]));
  if (s.inputs == 0 || s.outputs == 0 || s.outputs > s.graphs || s.max_leaves == 0) {
    fprintf(stderr, "make_agm: need inputs > 0 and 0 < outputs <= graphs\n");
    return 2;
  }
  std::mt19937 rng(static_cast<uint32_t>(atoi(argv[2])));
  MakeSsbddModel(rng, s);
  verbose_mode = 1;
  write_ag(argv[1]);
  return 0;
}
