#include "randtest.h"

#include <utility>

#include "fsimul.h"
#include "messages.h"
#include "mudel.h"
#include "packsim.h"
#include "randfill.h"
#include "vector.h"

uint32_t CountNewFaults(const std::vector<char>& row, const std::vector<char>& status) {
  uint32_t n = 0;
  for (size_t k = 0; k < row.size(); ++k)
    if (NewFault(row[k], status[k])) ++n;
  return n;
}

std::vector<StatusChange> MergeFaults(const std::vector<char>& row, std::vector<char>& status) {
  std::vector<StatusChange> changed;
  for (size_t k = 0; k < row.size(); ++k) {
    char m = row[k];
    if (m != '0' && m != '1') continue;
    char& f = status[k];
    char before = f;
    if (f == 'X' || f == 'x')
      f = m;
    else if ((f == '0' && m == '1') || (f == '1' && m == '0'))
      f = '&';
    if (f != before) changed.push_back({static_cast<uint32_t>(k), before});
  }
  return changed;
}

namespace {

// A merge only ever turns new marks into old ones, so a later row's count
// falls by the changed nodes whose mark was new before and is not now.
void Recount(std::vector<uint32_t>& counts, size_t after, const std::vector<StatusChange>& changed,
             bool plain) {
  for (size_t r = after; r < counts.size(); ++r) {
    if (plain) {
      counts[r] = CountNewFaults(ftable[r], faults);
      continue;
    }
    const std::vector<char>& row = ftable[r];
    for (const StatusChange& c : changed)
      if (NewFault(row[c.node], c.before) && !NewFault(row[c.node], faults[c.node])) --counts[r];
  }
}

}  // namespace

RandomResult RandomPackages(const RandomParams& params) {
  RandomResult result;
  result.tested = CountDetected(faults, false);
  std::vector<uint32_t> counts(vcount);
  uint32_t failures = 0;
  PackSimulator sim;
  TextOut("\n\nStarting random test pattern generation\n\n");
  for (uint32_t pkg = 0; pkg < params.packages; ++pkg) {
    FillRandomInputs(functionals, vcount);
    if (params.plain_simulation) {
      fsimul();
      for (uint32_t r = 0; r < vcount; ++r) counts[r] = CountNewFaults(ftable[r], faults);
    } else {
      sim.Simulate(counts);
    }
    ExchangeSort(counts, [](size_t i, size_t j) {
      std::swap(vects[i], vects[j]);
      std::swap(ftable[i], ftable[j]);
    });
    uint32_t kept_here = 0;
    for (uint32_t r = 0; r < vcount; ++r) {
      if (counts[r] < params.criterion) continue;
      result.kept.push_back(vects[r]);
      std::vector<StatusChange> changed = MergeFaults(ftable[r], faults);
      result.tested += counts[r];
      ++kept_here;
      if (params.select_max != 0 && kept_here >= params.select_max) break;
      Recount(counts, r + 1, changed, params.plain_recount);
    }
    if (kept_here == 0) {
      // A limit of 0 stops at the first fruitless package, like a limit of 1.
      if (++failures >= params.failure_limit) break;
    } else {
      failures = 0;
    }
  }
  uint32_t total = 2 * NodCount;
  long double coverage = total ? static_cast<long double>(result.tested) / total * 100 : 0;
  TextOut(Format("\nTested %u of %u faults\nFault coverage: %Lf %%\n%u vectors generated\n", result.tested, total,
                 coverage, static_cast<uint32_t>(result.kept.size())));
  return result;
}
