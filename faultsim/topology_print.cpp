#include "topology_print.h"

#include "messages.h"
#include "mudel.h"

namespace {

const double MB = 1048576.0;

// Ratio for the statistics; an empty divisor gives 0, never nan.
double Ratio(double a, double b) { return b != 0 ? a / b : 0.0; }

}  // namespace

std::string formula_print(const Formula* f) {
  if (f == nullptr) return "";
  std::string s;
  if (f->member >= 0 && static_cast<uint32_t>(f->member) < GrpCount)
    s = Format("%c[%u]", IsOutputGraph(static_cast<uint32_t>(f->member)) ? 'O' : ' ', f->member);
  else
    s = " []";
  switch (f->kind) {
    case FormulaKind::Graph:
      s += "F(";
      for (size_t j = 0; j < f->args.size(); ++j) {
        if (j) s += ",";
        if (f->args[j] >= 0) s += std::to_string(f->args[j]);
      }
      s += ")";
      break;
    case FormulaKind::Prev:
      s += Format("%u*P%u(%u)", f->source, f->index, f->prevMember >= 0 ? f->prevMember : f->member);
      break;
    case FormulaKind::Node:
      return s + Format("%u*%u(%u) ", f->source, f->member, f->index);
    case FormulaKind::Start:
      return s + Format("?%u", f->member);
  }
  if (f->shared != 0) s += Format("    <shared %u>", f->shared - 1);
  return s;
}

void topology_print(FILE* file) {
  std::string out;
  uint32_t internal = InternalGraphs();
  for (uint32_t r = 0; r < internal && r < steps.size(); ++r) {
    if (steps[r].empty()) continue;
    out += Format("\nFor graph %s [%u] (count %u)\n  ", VarNames[GraphVar(r)].c_str(), r, steps[r][0].formula->usage);
    for (const Step& st : steps[r]) out += formula_print(st.formula) + "\n  ";
    fputs(out.c_str(), file);
    out.clear();
  }
  fputs("\n\n--------------------", file);
  for (uint32_t m = 0; m < GrpCount; ++m) {
    out = Format("Formulas of graph: %u\n", m);
    for (const Formula* f = graphs[m]; f != nullptr; f = f->next)
      out += Format("count: %3u  ", f->usage) + formula_print(f) + "\n";
    fputs(out.c_str(), file);
  }
  fputs("\n\n--------------------", file);
  for (uint32_t d = 0; d < internal; ++d) {
    out = Format("Previous results for graph: %u\n", d);
    for (const Formula* f = prevs[d]; f != nullptr; f = f->next)
      out += Format("count: %3u  ", f->usage) + formula_print(f) + "\n";
    fputs(out.c_str(), file);
  }
}

std::string topology_stats() {
  uint64_t stepsTotal = 0, maxSteps = 0, lists = 0;
  for (const std::vector<Step>& list : steps) {
    if (list.empty()) continue;
    uint64_t n = list.size() + 1;  // with the closing null entry
    stepsTotal += n;
    if (n > maxSteps) maxSteps = n;
    ++lists;
  }
  uint64_t G = 0, A = 0, A1 = 0, UG = 0, Gs = 0, sharedBytes = 0;
  for (const Formula* head : graphs)
    for (const Formula* f = head; f != nullptr; f = f->next) {
      ++G;
      A += f->args.size();
      for (int32_t a : f->args) A1 += a >= 0;
      UG += static_cast<uint64_t>(f->usage);
      if (f->shared != 0) {
        ++Gs;
        sharedBytes += 64 + 8 * f->args.size();
      }
    }
  uint64_t P = 0, UP = 0, Ps = 0, H = 0;
  for (const Formula* head : prevs)
    for (const Formula* f = head; f != nullptr; f = f->next) {
      ++P;
      UP += static_cast<uint64_t>(f->usage);
      if (f->shared != 0) ++Ps;
      if (!f->history.empty()) H += 4 * f->history.size();
    }
  uint64_t wasted = 0;
  for (unsigned char made : nodeMade) wasted += !made;
  uint64_t BG = 64 * G + 8 * A;
  uint64_t BFplain = BG + 64ull * NodCount + 64 * P;
  uint64_t BF = BFplain + ((Ps != 0 || Gs != 0 || H != 0) ? H : 0);
  uint64_t overhead = 88ull * GrpCount + 24;
  uint64_t total = BF + 8 * stepsTotal + overhead;
  std::string s = "\n------- STATISTICS ---\n";
  s += Format("Total simulation steps: \t%10u  \t(%5.2f MB)\n", static_cast<unsigned>(stepsTotal), 8 * stepsTotal / MB);
  s += Format("Max simulation steps: \t\t%10u \n", static_cast<unsigned>(maxSteps));
  s += Format("Average number of steps: \t%10u \n", static_cast<unsigned>(lists ? stepsTotal / lists : 0));
  s += "\n";
  s += Format("Total formulas: \t\t%10u  \t(%5.2f MB)\n", static_cast<unsigned>(NodCount + G + P), BFplain / MB);
  s += Format("Total graph formulas: \t\t%10u  \t(%5.2f MB)\n", static_cast<unsigned>(G), BG / MB);
  s += Format("Total nodes formulas: \t\t%10u  \t(%5.2f MB)  (%4.2f%% wasted)\n", NodCount, 64.0 * NodCount / MB,
              Ratio(wasted * 100.0, NodCount));
  s += Format("Total previous results formulas: %10u  \t(%5.2f MB)\n", static_cast<unsigned>(P), 64 * P / MB);
  s += Format("Overhead (supplementary structures)\t\t(%5.2f MB)\n", overhead / MB);
  if (H != 0 || Ps != 0) s += Format("Shared previous formulas: %10u\t(%5.2f MB)\n", static_cast<unsigned>(Ps), H / MB);
  s += "\n";
  s += Format("Total topology size: \t\t\t\t(%5.2f MB)  (%5.2f KB)\n", total / MB, total / 1024.0);
  s += Format("\nGraph formulas usage: %10u  (average %.2f times per formula)\n", static_cast<unsigned>(UG),
              Ratio(static_cast<double>(UG), static_cast<double>(G)));
  s += Format("Graph formulas total arguments: %10u\n", static_cast<unsigned>(A));
  s += Format("Graph formulas substituted arguments: %10u (%4.2f%%)\n", static_cast<unsigned>(A1),
              Ratio(A1 * 100.0, static_cast<double>(A)));
  s += Format("\nPrevious results formulas usage: %10u  (average %.2f times per formula)\n", static_cast<unsigned>(UP),
              Ratio(static_cast<double>(UP), static_cast<double>(P)));
  if (Ps != 0 || Gs != 0) {
    s += "Shared usage:\n";
    s += Format("Shared graph formulas: \t\t%10u  \t(%5.2f MB)\n", static_cast<unsigned>(Gs), sharedBytes / MB);
    s += Format("Shared prev formulas: \t\t%10u  \t(%5.2f MB)\n", static_cast<unsigned>(Ps), 64 * Ps / MB);
  }
  return s;
}

void topology_print_stats(FILE* file) { fputs(topology_stats().c_str(), file); }

uint32_t estimate(const std::vector<uint32_t>& cone, const std::vector<ConeGraph>& graphs) {
  uint64_t bytes = 0;
  for (size_t i = 1; i < cone.size(); ++i) {
    uint32_t g = cone[i];
    const ConeGraph& c = graphs[g];
    if (c.removed) continue;
    if (c.marked) {
      bytes += 72;
    } else if (c.single != 0xffffffffu) {
      bytes += 8;
    } else {
      bytes += 72 + 4ull * Grps[g].g_len;
    }
  }
  return bytes > 0xffffffffu ? 0xffffffffu : static_cast<uint32_t>(bytes);
}

void topology_estimate_split(uint32_t n, std::vector<uint32_t>& bounds) {
  uint32_t internal = InternalGraphs();
  estimation.assign(GrpCount, 0);
  if (internal > 0) topology_build_ext(BUILD_ESTIMATE, 0, internal - 1, 0);
  uint64_t sum = 0;
  for (uint32_t k = 0; k < internal; ++k) sum += estimation[k];
  // A slice ends once its share of the estimate is passed, but never empty,
  // and a bound is forced where only as many graphs are left as slices are
  // still to start: with at least n internal graphs every bound is set.
  bounds[0] = 0;
  uint64_t running = 0;
  uint32_t next = 1;
  for (uint32_t k = 0; k < internal && next < n; ++k) {
    running += estimation[k];
    bool passed = sum / n < running && k > bounds[next - 1];
    if (passed || internal - k == n - next) {
      bounds[next++] = k;
      running = 0;
    }
  }
  bounds[n] = internal;
  std::vector<uint32_t>().swap(estimation);
}
