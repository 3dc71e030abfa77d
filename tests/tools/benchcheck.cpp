// benchcheck: checks that an SSBDD model computes the function of the
// combinational ".bench" netlist it was synthesised from, on random patterns.
//
// Names, as the ISCAS'89 synthesis gives them:
// - an input variable of the model carries the name of its INPUT line
//   unchanged; an input that nothing reads gets no input variable (it may
//   be absent from the model), every input that is read must be there;
// - the output variable made for an OUTPUT line is that line's name with
//   "_OUT" appended, one per OUTPUT line, so a repeated OUTPUT line gives
//   as many outputs of the same name and an output that is also an input is
//   "<input>_OUT";
// - the variables in between (gates, branch stems, constants) are not
//   compared.
// Any other name is an error, not a skip.
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
#include "random_model.h"

namespace {

const char kSuffix[] = "_OUT";
const uint32_t kReported = 10;  // mismatches printed in full

uint32_t Number(const char* text, const char* what) {
  char* end = nullptr;
  unsigned long n = std::strtoul(text, &end, 10);
  if (*text == '\0' || *end != '\0' || text[0] == '-' || n > 0xffffffffUL) Errors(what, text, -1);
  return static_cast<uint32_t>(n);
}

BenchNetlist ReadBench(const std::string& path) {
  std::ifstream in(path);
  if (!in) Errors("Can't open file", path, -1);
  try {
    return ParseBench(in);
  } catch (const BenchError& e) {
    Errors(path, e.what(), e.line ? e.line : -1);
  }
}

int benchcheck_main(int argc, char** argv) {
  if (argc < 3 || argc > 5) Error("Usage: benchcheck <file.bench> <model.agm> [patterns] [seed]", -1);
  uint32_t patterns = argc > 3 ? Number(argv[3], "Bad pattern count") : 320;
  uint32_t seed = argc > 4 ? Number(argv[4], "Bad seed") : 1;
  if (patterns == 0) Errors("Bad pattern count", argv[3], -1);

  BenchNetlist net = ReadBench(argv[1]);
  read_ag(argv[2]);

  // Model inputs by name to INPUT lines.
  std::unordered_map<std::string, uint32_t> input_line;
  for (uint32_t i = 0; i < net.inputs.size(); ++i) input_line.emplace(net.signals[net.inputs[i]].name, i);
  std::vector<uint32_t> model_input(InpCount);
  std::vector<char> present(net.inputs.size(), 0);
  for (uint32_t v = 0; v < InpCount; ++v) {
    auto found = input_line.find(VarNames[v]);
    if (found == input_line.end()) Errors("model input is no INPUT of the netlist", VarNames[v], -1);
    if (present[found->second]) Errors("model input named twice", VarNames[v], -1);
    present[found->second] = 1;
    model_input[v] = found->second;
  }
  for (uint32_t i = 0; i < net.inputs.size(); ++i)
    if (!present[i] && net.signals[net.inputs[i]].readers > 0)
      Errors("netlist input is read but is no input of the model", net.signals[net.inputs[i]].name, -1);

  // Model outputs by name to OUTPUT lines, repeats matched in file order.
  std::map<std::string, std::vector<uint32_t>> output_lines;
  for (uint32_t o = 0; o < net.outputs.size(); ++o) output_lines[net.signals[net.outputs[o]].name].push_back(o);
  std::vector<uint32_t> model_output(OutCount);
  const size_t suffix = sizeof kSuffix - 1;
  for (uint32_t k = 0; k < OutCount; ++k) {
    const std::string& name = VarNames[VarCount - OutCount + k];
    if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, kSuffix) != 0)
      Errors("model output name does not end in _OUT", name, -1);
    auto found = output_lines.find(name.substr(0, name.size() - suffix));
    if (found == output_lines.end() || found->second.empty())
      Errors(found == output_lines.end() ? "model output has no OUTPUT line in the netlist"
                                         : "model output has more variables than the netlist OUTPUT lines",
             name, -1);
    model_output[k] = found->second.back();
    found->second.pop_back();
  }
  for (const auto& [name, left] : output_lines)
    if (!left.empty()) Errors("netlist OUTPUT has no output variable in the model", name, -1);

  // Random patterns: 64 per word for the netlist, one row each for the model.
  std::mt19937_64 rng(seed);
  uint32_t words = (patterns + 63) / 64;
  std::vector<std::vector<uint64_t>> in_words(words, std::vector<uint64_t>(net.inputs.size()));
  for (auto& w : in_words)
    for (uint64_t& x : w) x = rng();

  uint32_t mismatches = 0, bad_patterns = 0;
  std::vector<unsigned char> row(VarCount, 0);
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) row[i] = (Vars[i].v_flags & VF_CONST0) ? 0 : 1;
  for (uint32_t w = 0; w < words; ++w) {
    std::vector<uint64_t> values = EvalBench(net, in_words[w]);
    for (uint32_t b = 0; b < 64 && w * 64 + b < patterns; ++b) {
      for (uint32_t v = 0; v < InpCount; ++v) row[v] = (in_words[w][model_input[v]] >> b) & 1;
      std::vector<uint8_t> model = EvalSerial(row);
      bool bad = false;
      for (uint32_t k = 0; k < OutCount; ++k) {
        int want = static_cast<int>((values[net.outputs[model_output[k]]] >> b) & 1);
        int got = model[VarCount - OutCount + k];
        if (got == want) continue;
        bad = true;
        if (++mismatches > kReported) continue;
        std::string pattern;
        for (uint64_t x : in_words[w]) pattern += ((x >> b) & 1) ? '1' : '0';
        std::printf("pattern %u (inputs %s): output %s: model %d, netlist %d\n", w * 64 + b, pattern.c_str(),
                    VarNames[VarCount - OutCount + k].c_str(), got, want);
      }
      bad_patterns += bad;
    }
  }
  if (mismatches > 0) {
    std::printf("%u patterns, %u outputs: %u mismatches in %u patterns\n", patterns, OutCount, mismatches,
                bad_patterns);
    return 1;
  }
  std::printf("%u patterns, %u outputs: all equal\n", patterns, OutCount);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(benchcheck_main, argc, argv); }
