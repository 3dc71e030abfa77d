// A combinational ".bench" netlist read independently of the synthesis
// programs, and its direct word-parallel evaluation: the reference against
// which synthesised SSBDD models are checked.
#pragma once
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

enum class BenchKind { Input, Buff, Not, And, Or, Nand, Nor, Xor, Xnor, Dff };

struct BenchSignal {
  std::string name;
  BenchKind kind = BenchKind::Input;
  std::vector<uint32_t> fanin;  // signal indexes
  int line = 0;                 // line of its INPUT or gate line
  uint32_t readers = 0;         // gate arguments and OUTPUT lines naming it
};

struct BenchNetlist {
  std::vector<BenchSignal> signals;
  std::vector<uint32_t> inputs;   // INPUT lines in file order
  std::vector<uint32_t> outputs;  // OUTPUT lines in file order (repeats kept)
  std::vector<uint32_t> order;    // every gate after all of its arguments
  std::vector<uint32_t> flipflops;  // DFF lines in file order (sequential netlists only)
};

// A fault of the file; line 0 when it concerns no single line.
struct BenchError : std::runtime_error {
  int line;
  BenchError(const std::string& what, int at) : std::runtime_error(what), line(at) {}
};

// Reads INPUT(name), OUTPUT(name) and "name = GATE(a, b, ...)" lines with
// the gates NOT, BUFF, AND, OR, NAND, NOR, XOR and XNOR; '#' starts a
// comment, blank lines are passed over.  Flip-flops are refused unless
// `sequential` is set: the model checks are combinational, so a sequential
// circuit goes in its full-scan view.  With `sequential`, "q = DFF(d)" makes
// q a source of each time frame (like an input) whose value is d's in the
// frame before.  Throws BenchError.
BenchNetlist ParseBench(std::istream& in, bool sequential = false);

// Values of every signal for 64 patterns per word: inputs[i] holds INPUT
// line i.  Returns one word per signal (indexes of `signals`).
std::vector<uint64_t> EvalBench(const BenchNetlist& net, const std::vector<uint64_t>& inputs);
