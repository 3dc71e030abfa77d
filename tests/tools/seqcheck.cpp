// seqcheck: the reference for the three-valued good machine of a sequential
// circuit, computed gate by gate on its ISCAS'89 ".bench" netlist.
//
//   seqcheck patterns <model.agm> <count> <seed> <x-percent> <out.tst>
//     writes <count> random input patterns for the model (about x-percent
//     of the values unknown, 'x').
//   seqcheck compare <file.bench> <model.agm> <result.tst>
//     compares the output values of a file written by `sequential
//     -faultfree` from its second pattern on with the netlist simulated in
//     0/1/x, every flip-flop unknown before the second pattern.
//
// Names as the ISCAS'89 synthesis gives them: model inputs carry their
// INPUT names, model outputs their OUTPUT names with "_OUT" appended.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <unordered_map>

#include "bench_netlist.h"
#include "messages.h"
#include "mudel.h"
#include "textnum.h"
#include "vector.h"

namespace {

const unsigned char X = 2;  // unknown
const uint32_t kReported = 10;

uint32_t Number(const char* text, long long hi, const char* what) {
  long long v;
  if (!WholeNumber(text, 0, hi, v)) Errors(what, text, -1);
  return static_cast<uint32_t>(v);
}

int Patterns(char** argv) {
  read_ag(argv[2]);
  vcount = Number(argv[3], 1000000, "Bad pattern count");
  uint32_t seed = Number(argv[4], 0xffffffffLL, "Bad seed");
  uint32_t xpct = Number(argv[5], 100, "Bad x percentage");
  alloc_vec();
  std::mt19937 rng(seed);
  for (uint32_t j = 0; j < vcount; ++j)
    for (uint32_t i = 0; i < InpCount; ++i)
      vects[j][i] = rng() % 100 < xpct ? 'x' : static_cast<unsigned char>(rng() & 1);
  write_vec(argv[6], 7);
  return 0;
}

unsigned char Gate(const BenchSignal& s, const std::vector<unsigned char>& v) {
  unsigned char r = 0;
  switch (s.kind) {
    case BenchKind::Buff: case BenchKind::Not: r = v[s.fanin[0]]; break;
    case BenchKind::And: case BenchKind::Nand: {
      bool unknown = false;
      r = 1;
      for (uint32_t f : s.fanin) {
        if (v[f] == 0) { r = 0; unknown = false; break; }
        if (v[f] == X) unknown = true;
      }
      if (unknown) r = X;
      break;
    }
    case BenchKind::Or: case BenchKind::Nor: {
      bool unknown = false;
      r = 0;
      for (uint32_t f : s.fanin) {
        if (v[f] == 1) { r = 1; unknown = false; break; }
        if (v[f] == X) unknown = true;
      }
      if (unknown) r = X;
      break;
    }
    default:  // XOR, XNOR
      for (uint32_t f : s.fanin) {
        if (v[f] == X) return X;
        r ^= v[f];
      }
      break;
  }
  bool inverted = s.kind == BenchKind::Not || s.kind == BenchKind::Nand || s.kind == BenchKind::Nor ||
                  s.kind == BenchKind::Xnor;
  return (inverted && r != X) ? r ^ 1 : r;
}

// The .PATTERNS rows of a result file, each VarCount characters.
std::vector<std::string> ResultRows(const char* path) {
  std::ifstream in(path);
  if (!in) Errors(path, "Can't open file", -1);
  std::vector<std::string> rows;
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '.') {
      inside = line.compare(0, 9, ".PATTERNS") == 0;
      continue;
    }
    if (inside && !line.empty()) {
      if (line.size() != VarCount) Errors(path, "pattern row of the wrong length", -1);
      rows.push_back(line);
    }
  }
  return rows;
}

int Compare(char** argv) {
  std::ifstream bench(argv[2]);
  if (!bench) Errors(argv[2], "Can't open file", -1);
  BenchNetlist net;
  try {
    net = ParseBench(bench, true);
  } catch (const BenchError& e) {
    Errors(argv[2], e.what(), e.line ? e.line : -1);
  }
  read_ag(argv[3]);
  std::vector<std::string> rows = ResultRows(argv[4]);

  std::unordered_map<std::string, uint32_t> signal;
  for (uint32_t k = 0; k < net.signals.size(); ++k) signal.emplace(net.signals[k].name, k);
  std::vector<uint32_t> model_input(InpCount);
  for (uint32_t v = 0; v < InpCount; ++v) {
    auto found = signal.find(VarNames[v]);
    if (found == signal.end() || net.signals[found->second].kind != BenchKind::Input)
      Errors("model input is no INPUT of the netlist", VarNames[v], -1);
    model_input[v] = found->second;
  }
  std::vector<uint32_t> model_output(OutCount);
  for (uint32_t k = 0; k < OutCount; ++k) {
    const std::string& name = VarNames[VarCount - OutCount + k];
    if (name.size() < 5 || name.compare(name.size() - 4, 4, "_OUT") != 0)
      Errors("model output name does not end in _OUT", name, -1);
    auto found = signal.find(name.substr(0, name.size() - 4));
    if (found == signal.end()) Errors("model output has no signal in the netlist", name, -1);
    model_output[k] = found->second;
  }

  std::vector<unsigned char> v(net.signals.size(), X), before(net.signals.size(), X);
  uint32_t compared = 0, mismatches = 0;
  for (size_t t = 1; t < rows.size(); ++t) {
    // Flip-flops take the D values of the frame before; unknown in frame 1.
    for (uint32_t q : net.flipflops) v[q] = t == 1 ? X : before[net.signals[q].fanin[0]];
    for (uint32_t i : net.inputs) v[i] = X;  // an input the model does not read
    for (uint32_t m = 0; m < InpCount; ++m) {
      char c = rows[t][m];
      v[model_input[m]] = c == '0' ? 0 : c == '1' ? 1 : X;
    }
    for (uint32_t k : net.order) v[k] = Gate(net.signals[k], v);
    for (uint32_t k = 0; k < OutCount; ++k) {
      char c = rows[t][VarCount - OutCount + k];
      unsigned char got = c == 'L' ? 0 : c == 'H' ? 1 : c == 'x' ? X : 255;
      unsigned char want = v[model_output[k]];
      ++compared;
      if (got == want) continue;
      if (++mismatches <= kReported)
        std::printf("pattern %zu: output %s: model %c, netlist %c\n", t, VarNames[VarCount - OutCount + k].c_str(),
                    c, want == X ? 'x' : char('0' + want));
    }
    before = v;
  }
  if (mismatches) {
    std::printf("%zu patterns, %u outputs: %u of %u values differ\n", rows.size(), OutCount, mismatches, compared);
    return 1;
  }
  std::printf("%zu patterns, %u outputs: all equal\n", rows.size(), OutCount);
  return 0;
}

int seqcheck_main(int argc, char** argv) {
  verbose_mode = 1;  // only the verdict and errors
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "patterns" && argc == 7) return Patterns(argv);
  if (mode == "compare" && argc == 5) return Compare(argv);
  Error("Usage: seqcheck patterns <model.agm> <count> <seed> <x-percent> <out.tst>\n"
        "       seqcheck compare <file.bench> <model.agm> <result.tst>",
        -1);
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(seqcheck_main, argc, argv); }
