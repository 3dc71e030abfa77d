// Runs the real megasim and analyze programs on random models and patterns:
// for a table of option sets megasim must find what analyze finds, and its
// random runs must be reproducible and re-simulate unchanged.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "messages.h"
#include "mudel.h"
#include "random_model.h"
#include "vector.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Megasim() {
  std::string analyze = ANALYZE_PATH;
  return analyze.substr(0, analyze.rfind('/') + 1) + "megasim";
}

// Status of a shell command (-1 when it did not end normally).
int Shell(const std::string& cmd) {
  int st = system(cmd.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// The line that starts with `prefix` in `text` ("" when none).
std::string LineOf(const std::string& text, const std::string& prefix) {
  size_t at = text.rfind("\n" + prefix);
  if (at == std::string::npos) return "";
  size_t end = text.find('\n', at + 1);
  return text.substr(at + 1, end - at - 1);
}

// The first line after a section keyword such as ".FAULTS".
std::string SectionRow(const std::string& file, const std::string& key) {
  size_t at = file.find("\n" + key + "\n\n");
  if (at == std::string::npos) return "?";
  at += key.size() + 3;
  return file.substr(at, file.find('\n', at) - at);
}

std::vector<std::string> TableRows(const std::string& file) {
  std::vector<std::string> rows;
  size_t at = file.find("\n.TABLE\n\n");
  if (at == std::string::npos) return rows;
  std::istringstream in(file.substr(at + 9));
  std::string line;
  while (std::getline(in, line) && !line.empty()) rows.push_back(line);
  return rows;
}

class Workdir {
 public:
  Workdir() {
    char tmpl[] = "/tmp/megasimXXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  ~Workdir() { Shell("rm -rf " + dir_); }
  const std::string& path() const { return dir_; }

 private:
  std::string dir_;
};

// Writes a random model and an inputs-only pattern file as <base>.agm/.tst.
void WriteDesign(std::mt19937& rng, const std::string& base, uint32_t patterns, uint32_t minGraphs) {
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  RandomModelShape shape{2 + pick(6), pick(3), minGraphs + pick(30), 1 + pick(4), 1 + pick(6)};
  MakeRandomModel(rng, shape);
  vcount = patterns;
  verbose_mode = 1;
  alloc_vec();
  for (uint32_t v = 0; v < vcount; ++v) vects[v] = RandomRow(rng, true);
  write_ag(base + ".agm");
  write_vec(base + ".tst", 7);
  verbose_mode = 0;
}

enum class Expect { Identical, SameFaults, SameFaultsTableSubset, StatsMatchTable };

struct OptionSet {
  const char* options;  // "K" stands for half the internal graphs
  Expect expect;
};

class MegasimOptions : public ::testing::TestWithParam<OptionSet> {};

TEST_P(MegasimOptions, FindsWhatAnalyzeFinds) {
  const OptionSet& set = GetParam();
  Workdir wd;
  std::mt19937 rng(99 + static_cast<unsigned>(std::string(set.options).size()));
  const uint32_t counts[] = {1, 31, 32, 33, 63, 64, 65, 100};
  int accepted = 0;
  for (uint32_t trial = 0; trial < 16; ++trial) {
    std::string base = wd.path() + "/d";
    WriteDesign(rng, base, counts[trial % 8], 8);
    uint32_t internal = GrpCount - OutCount;
    std::string opts = set.options;
    size_t k = opts.find('K');
    if (k != std::string::npos) opts.replace(k, 1, std::to_string(internal / 2));
    ASSERT_EQ(Shell("cp " + base + ".tst " + wd.path() + "/a.tst && cp " + base + ".agm " + wd.path() + "/a.agm"), 0);
    ASSERT_EQ(Shell(ANALYZE_PATH + std::string(" ") + wd.path() + "/a >" + wd.path() + "/a.out"), 0);
    int status = Shell(Megasim() + " " + opts + " " + base + " >" + base + ".out 2>" + base + ".err");
    std::string err = Slurp(base + ".err");
    SCOPED_TRACE("trial " + std::to_string(trial) + ": megasim " + opts);
    // The split estimate may leave a slice empty; that is refused, never simulated.
    if (status == 14 && err == "\nError: Illegal split range!\n" && opts.find("-split_range") == std::string::npos)
      continue;
    ASSERT_EQ(status, 0) << err;
    ++accepted;
    std::string ana = Slurp(wd.path() + "/a.tst"), mega = Slurp(base + ".tst");
    std::string covered = LineOf(Slurp(wd.path() + "/a.out"), "Covered ");
    ASSERT_FALSE(covered.empty());
    ASSERT_EQ(LineOf(Slurp(base + ".out"), "Covered "), covered);
    switch (set.expect) {
      case Expect::Identical:
        ASSERT_EQ(mega, ana);
        break;
      case Expect::SameFaultsTableSubset: {
        std::vector<std::string> a = TableRows(ana), m = TableRows(mega);
        ASSERT_EQ(a.size(), m.size());
        for (size_t v = 0; v < a.size(); ++v)
          for (size_t n = 0; n < a[v].size(); ++n)
            if (m[v][n] != 'X') {
              ASSERT_EQ(m[v][n], a[v][n]) << "pattern " << v << " node " << n;
            }
      }
        [[fallthrough]];
      case Expect::SameFaults:
        ASSERT_EQ(SectionRow(mega, ".FAULTS"), SectionRow(ana, ".FAULTS"));
        ASSERT_EQ(SectionRow(mega, ".COVERAGE"), SectionRow(ana, ".COVERAGE"));
        break;
      case Expect::StatsMatchTable: {
        std::vector<std::string> a = TableRows(ana);
        std::istringstream in(mega.substr(mega.find(".FAULT_STATS\n\n") + 14));
        for (uint32_t n = 0; n < NodCount; ++n) {
          uint32_t node, zeros, ones, z = 0, o = 0;
          ASSERT_TRUE(in >> node >> zeros >> ones);
          for (const std::string& row : a) {
            z += row[n] == '0';
            o += row[n] == '1';
          }
          ASSERT_EQ(node, n);
          ASSERT_EQ(zeros, z) << "node " << n;
          ASSERT_EQ(ones, o) << "node " << n;
        }
        ASSERT_EQ(LineOf(mega, ".VECTORS"), LineOf(ana, ".VECTORS"));
        break;
      }
    }
  }
  ASSERT_GT(accepted, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Options, MegasimOptions,
    ::testing::Values(OptionSet{"", Expect::Identical}, OptionSet{"-split 2 -split_range K", Expect::Identical},
                      OptionSet{"-split 3", Expect::Identical},
                      OptionSet{"-split 2 -split_prev -split_range K", Expect::Identical},
                      OptionSet{"-split 4 -split_prev", Expect::Identical},
                      OptionSet{"-packet_size 1", Expect::Identical},
                      OptionSet{"-packet_size 2 -split 3 -split_prev", Expect::Identical},
                      OptionSet{"-drop_faults", Expect::SameFaults},
                      OptionSet{"-drop_faults -split 2 -split_range K", Expect::SameFaults},
                      OptionSet{"-drop_faults -split 3 -split_prev", Expect::SameFaults},
                      OptionSet{"-drop_faults -fault_table", Expect::SameFaultsTableSubset},
                      OptionSet{"-drop_faults -fault_table -split 2 -split_prev -split_range K",
                                Expect::SameFaultsTableSubset},
                      OptionSet{"-fault_stats", Expect::StatsMatchTable},
                      OptionSet{"-fault_stats -split 3 -split_prev", Expect::StatsMatchTable}),
    [](const ::testing::TestParamInfo<OptionSet>& info) {
      std::string name;
      for (const char* c = info.param.options; *c; ++c)
        if (isalnum(static_cast<unsigned char>(*c))) name += *c;
        else if (*c == ' ') name += '_';
      return name.empty() ? std::string("defaults") : name;
    });

// Random runs: one seed gives one stream of patterns, whatever the packet
// size; the written file is what analyze re-simulates unchanged.
TEST(MegasimRandom, OneSeedOneStreamAndTheFileReSimulatesUnchanged) {
  Workdir wd;
  std::mt19937 rng(5);
  const uint32_t totals[] = {10, 100, 200};
  for (uint32_t total : totals) {
    std::string base = wd.path() + "/d";
    WriteDesign(rng, base, 1, 6);
    std::string faultsRow, covered, stats;
    for (const char* packet : {"", "-packet_size 1", "-packet_size 2", "-packet_size 7"}) {
      SCOPED_TRACE("total " + std::to_string(total) + " " + packet);
      auto run = [&](const std::string& extra) {
        return Megasim() + " -random " + std::to_string(total) + " -random_seed 17 " + packet + " " + extra + " " + base;
      };
      ASSERT_EQ(Shell(run("") + " >" + base + ".out"), 0);
      std::string file = Slurp(base + ".tst");
      std::string out = Slurp(base + ".out");
      // Fewer patterns than one packet: only those rows are written.
      uint32_t rows = total;
      if (packet[0] != '\0') rows = std::min<uint32_t>(total, 32u * static_cast<uint32_t>(atoi(packet + 13)));
      ASSERT_EQ(LineOf(file, ".VECTORS"), ".VECTORS " + std::to_string(rows));
      if (faultsRow.empty()) {
        faultsRow = SectionRow(file, ".FAULTS");
        covered = LineOf(out, "Covered ");
      }
      ASSERT_EQ(SectionRow(file, ".FAULTS"), faultsRow);
      ASSERT_EQ(LineOf(out, "Covered "), covered);
      ASSERT_EQ(Shell(run("") + " >/dev/null && cp " + base + ".tst " + base + ".first"), 0);
      ASSERT_EQ(Slurp(base + ".first"), file) << "two runs with one seed differ";
      ASSERT_EQ(Shell(std::string(ANALYZE_PATH) + " " + base + " >/dev/null"), 0);
      ASSERT_EQ(Slurp(base + ".tst"), file) << "analyze changed the file";
      ASSERT_EQ(Shell(run("-fault_stats") + " >" + base + ".out"), 0);
      if (stats.empty()) stats = Slurp(base + ".tst");
      ASSERT_EQ(Slurp(base + ".tst"), stats);
      // The status sums every packet's detections: the coverage is the same.
      ASSERT_EQ(LineOf(Slurp(base + ".out"), "Covered "), covered) << "-fault_stats";
      // Dropping finds what the default mode finds, in any packets.
      ASSERT_EQ(Shell(run("-drop_faults") + " >" + base + ".out"), 0);
      ASSERT_EQ(SectionRow(Slurp(base + ".tst"), ".FAULTS"), faultsRow) << "-drop_faults";
      ASSERT_EQ(LineOf(Slurp(base + ".out"), "Covered "), covered) << "-drop_faults";
    }
  }
}

TEST(MegasimRandom, StatisticsRunsInPacketsOf3200) {
  Workdir wd;
  std::mt19937 rng(8);
  std::string base = wd.path() + "/d";
  WriteDesign(rng, base, 1, 6);
  ASSERT_EQ(Shell(Megasim() + " -random 10000 -random_seed 3 -fault_stats " + base + " >" + base + ".out"), 0);
  std::string out = Slurp(base + ".out");
  std::string expect;
  const uint32_t sizes[] = {3200, 3200, 3200, 400};
  for (uint32_t i = 0; i < 4; ++i)
    expect += "\n*** Simulating packet of vectors " + std::to_string(i) + " (size " + std::to_string(sizes[i]) + " vectors)";
  std::string got;
  for (size_t at = out.find("\n*** Simulating"); at != std::string::npos; at = out.find("\n*** Simulating", at + 1))
    got += out.substr(at, out.find('\n', at + 1) - at);
  ASSERT_EQ(got, expect);
  std::string file = Slurp(base + ".tst");
  ASSERT_EQ(file.rfind("\n.VECTORS 10000\n\n; Statistics of fault discovery\n", 0), 0u);
  ASSERT_NE(out.find("\n10000 vectors simulated\n"), std::string::npos);
}

}  // namespace
