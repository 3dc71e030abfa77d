#include "bench_netlist.h"

#include <cctype>
#include <unordered_map>

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// Names are whatever other .bench tools take: no blanks and none of the
// characters the line syntax uses.
bool ValidName(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (std::isspace(c) || c == '(' || c == ')' || c == ',' || c == '=' || c == '#') return false;
  return true;
}

struct Word {
  const char* text;
  BenchKind kind;
};
const Word kGates[] = {{"NOT", BenchKind::Not}, {"BUFF", BenchKind::Buff}, {"AND", BenchKind::And},
                       {"OR", BenchKind::Or},   {"NAND", BenchKind::Nand}, {"NOR", BenchKind::Nor},
                       {"XOR", BenchKind::Xor}, {"XNOR", BenchKind::Xnor}};

// "WORD(args)" with nothing after the ')': the word and the raw arguments.
bool SplitCall(const std::string& s, std::string& word, std::string& args) {
  size_t open = s.find('(');
  if (open == std::string::npos || s.back() != ')') return false;
  word = Trim(s.substr(0, open));
  args = s.substr(open + 1, s.size() - open - 2);
  return args.find_first_of("()") == std::string::npos;
}

struct Parser {
  bool sequential = false;
  BenchNetlist net;
  std::unordered_map<std::string, uint32_t> index;  // defined signals
  // Names read by gates and OUTPUT lines, resolved once the file is read.
  struct Ref {
    std::string name;
    int line;
    uint32_t gate;  // reading signal, or UINT32_MAX for an OUTPUT line
  };
  std::vector<Ref> refs;
  std::vector<std::vector<std::string>> args;  // per signal, until resolved

  uint32_t Define(const std::string& name, BenchKind kind, int line) {
    if (!ValidName(name)) throw BenchError("bad signal name \"" + name + "\"", line);
    auto found = index.find(name);
    if (found != index.end())
      throw BenchError("signal " + name + " defined twice (first at line " +
                           std::to_string(net.signals[found->second].line) + ")",
                       line);
    uint32_t k = static_cast<uint32_t>(net.signals.size());
    BenchSignal s;
    s.name = name;
    s.kind = kind;
    s.line = line;
    net.signals.push_back(s);
    index.emplace(name, k);
    return k;
  }

  void Line(const std::string& raw, int line) {
    std::string s = Trim(raw.substr(0, raw.find('#')));
    if (s.empty()) return;
    size_t eq = s.find('=');
    std::string word, list;
    if (eq == std::string::npos) {
      if (!SplitCall(s, word, list)) throw BenchError("unreadable line", line);
      std::string name = Trim(list);
      if (word == "INPUT") {
        net.inputs.push_back(Define(name, BenchKind::Input, line));
      } else if (word == "OUTPUT") {
        if (!ValidName(name)) throw BenchError("bad signal name \"" + name + "\"", line);
        refs.push_back({name, line, UINT32_MAX});
      } else {
        throw BenchError("unreadable line", line);
      }
      return;
    }
    std::string name = Trim(s.substr(0, eq));
    if (!SplitCall(Trim(s.substr(eq + 1)), word, list)) throw BenchError("unreadable gate line", line);
    if (word == "DFF" && sequential) {
      uint32_t k = Define(name, BenchKind::Dff, line);
      net.flipflops.push_back(k);
      std::string arg = Trim(list);
      if (!ValidName(arg)) throw BenchError("bad argument \"" + arg + "\" of " + name, line);
      refs.push_back({arg, line, k});
      return;
    }
    if (word == "DFF")
      throw BenchError("DFF " + name + ": flip-flops are not combinational; check the full-scan view (bench/fullscan.sh)",
                       line);
    const Word* gate = nullptr;
    for (const Word& w : kGates)
      if (word == w.text) gate = &w;
    if (gate == nullptr) throw BenchError("gate " + word + " not supported", line);
    std::vector<std::string> names;
    size_t from = 0;
    for (;;) {
      size_t comma = list.find(',', from);
      names.push_back(Trim(list.substr(from, comma == std::string::npos ? std::string::npos : comma - from)));
      if (!ValidName(names.back())) throw BenchError("bad argument \"" + names.back() + "\" of " + name, line);
      if (comma == std::string::npos) break;
      from = comma + 1;
    }
    bool single = gate->kind == BenchKind::Not || gate->kind == BenchKind::Buff;
    if (single && names.size() != 1) throw BenchError(word + " " + name + " needs exactly one argument", line);
    uint32_t k = Define(name, gate->kind, line);
    for (const std::string& a : names) refs.push_back({a, line, k});
  }

  void Resolve() {
    for (const Ref& r : refs) {
      auto found = index.find(r.name);
      if (found == index.end()) throw BenchError("signal " + r.name + " is read but never defined", r.line);
      ++net.signals[found->second].readers;
      if (r.gate == UINT32_MAX)
        net.outputs.push_back(found->second);
      else
        net.signals[r.gate].fanin.push_back(found->second);
    }
    if (net.outputs.empty()) throw BenchError("no OUTPUT line", 0);
  }

  // Inputs and flip-flop outputs start each frame.
  static bool IsSource(const BenchSignal& s) { return s.kind == BenchKind::Input || s.kind == BenchKind::Dff; }

  // Kahn's order over the gates; what is left over lies on a loop.
  void Order() {
    size_t n = net.signals.size();
    std::vector<uint32_t> waiting(n, 0);
    std::vector<std::vector<uint32_t>> users(n);
    std::vector<uint32_t> ready;
    for (uint32_t k = 0; k < n; ++k) {
      const BenchSignal& s = net.signals[k];
      if (IsSource(s)) continue;
      waiting[k] = static_cast<uint32_t>(s.fanin.size());
      for (uint32_t f : s.fanin) {
        if (IsSource(net.signals[f]))
          --waiting[k];
        else
          users[f].push_back(k);
      }
      if (waiting[k] == 0) ready.push_back(k);
    }
    while (!ready.empty()) {
      uint32_t k = ready.back();
      ready.pop_back();
      net.order.push_back(k);
      for (uint32_t u : users[k])
        if (--waiting[u] == 0) ready.push_back(u);
    }
    for (uint32_t k = 0; k < n; ++k)
      if (waiting[k] != 0)
        throw BenchError("combinational loop through " + net.signals[k].name, net.signals[k].line);
  }
};

}  // namespace

BenchNetlist ParseBench(std::istream& in, bool sequential) {
  Parser p;
  p.sequential = sequential;
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) p.Line(raw, ++line);
  if (in.bad()) throw BenchError("read error", line);
  p.Resolve();
  p.Order();
  return std::move(p.net);
}

std::vector<uint64_t> EvalBench(const BenchNetlist& net, const std::vector<uint64_t>& inputs) {
  std::vector<uint64_t> v(net.signals.size(), 0);
  for (size_t i = 0; i < net.inputs.size() && i < inputs.size(); ++i) v[net.inputs[i]] = inputs[i];
  for (uint32_t k : net.order) {
    const BenchSignal& s = net.signals[k];
    uint64_t r = v[s.fanin[0]];
    for (size_t j = 1; j < s.fanin.size(); ++j) {
      uint64_t a = v[s.fanin[j]];
      switch (s.kind) {
        case BenchKind::And: case BenchKind::Nand: r &= a; break;
        case BenchKind::Or: case BenchKind::Nor: r |= a; break;
        default: r ^= a; break;  // XOR, XNOR
      }
    }
    bool inverted = s.kind == BenchKind::Not || s.kind == BenchKind::Nand || s.kind == BenchKind::Nor ||
                    s.kind == BenchKind::Xnor;
    v[k] = inverted ? ~r : r;
  }
  return v;
}
