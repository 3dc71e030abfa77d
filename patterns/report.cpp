// report: text reports over a design's model and test file, on the terminal
// or into a report file that is then shown.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "messages.h"
#include "mudel.h"
#include "outfile.h"
#include "reporter.h"
#include "textnum.h"
#include "vector.h"

namespace {

enum Section { COVERAGE, PATTERNS, TESTED, NOT_TESTED, UNTESTABLE, SIGNALS, PORTS, TABLE, PROGRESS, SECTIONS };

const char* const section_words[SECTIONS] = {"-coverage", "-patterns", "-tested", "-not_tested", "-untestable",
                                             "-signals",  "-ports",    "-table",  "-progress"};

std::string extension = ".tst";
std::string report_file;
std::string block;
const char* cycle_text = nullptr;
ReportRange range;
int requests[SECTIONS];

[[noreturn]] void usage() {
  Error("Usage: report [options] <design>\nOptions:\n"
        "-file <ReportFile>          Report is written in a file ReportFile.\n"
        "-coverage                   Shows the fault coverage data.\n"
        "-patterns                   Shows the number of test patterns.\n"
        "-tested                     Shows the list of tested faults.\n"
        "-not_tested                 Shows the list of not tested faults.\n"
        "-untestable                 Shows the list of untestable faults.\n"
        "-signals                    Shows model variable names and their values\n"
        "                            at every clock cycle.\n"
        "-ports                      Same as previous but includes I/O ports only.\n"
        "-table                      Shows the fault table information.\n"
        "-cycle <t>                  Displays data for clock cycle t.\n"
        "                            Use with -table, -ports or -signals option only.\n"
        "-progress                   Shows achieved stuck-at fault coverages\n"
        "                            after each pattern.\n"
        "-block <Instance>           Considers only nodes associated with\n"
        "                            subinstance Instance in a hierarchical design.\n"
        "-extension <FileExtension>  File extension of input patterns file.\n"
        "                            Default is \"tst\".\n",
        -1);
}

void ParseReportOptions(int argc, char** argv) {
  for (int i = 1; i < argc - 1; ++i) {
    const char* word = argv[i];
    bool known = false;
    for (int s = 0; s < SECTIONS; ++s)
      if (strcmp(word, section_words[s]) == 0) requests[s] = known = true;
    if (known) continue;
    // A value option takes the next argument, whatever it is.
    bool value_option = strcmp(word, "-file") == 0 || strcmp(word, "-cycle") == 0 || strcmp(word, "-block") == 0 ||
                        strcmp(word, "-extension") == 0;
    if (!value_option) Errors("Illegal option", word, -1);
    const char* value = argv[++i];
    if (strcmp(word, "-file") == 0) {
      report_file = value;
    } else if (strcmp(word, "-cycle") == 0) {
      range.cycle = static_cast<uint32_t>(NumberOption(value, 0, 0xffffffffLL));
      range.one = true;
      cycle_text = value;
    } else if (strcmp(word, "-block") == 0) {
      block = std::string(value) + ">";
    } else {
      extension = std::string(".") + value;
    }
  }
  bool any = false;
  for (int s = 0; s < SECTIONS; ++s) any = any || requests[s];
  if (!any) Error("No activity specified", -1);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void NeedFaults(const std::string& patterns_file, bool status, bool table) {
  if ((status && !FAULT_VECTOR) || (table && !FAULT_TABLE))
    Errors(patterns_file, "file contains no fault simulation data", -1);
}

void WriteSections(FILE* out, const std::string& design, const std::string& patterns_file) {
  if (requests[COVERAGE]) NeedFaults(patterns_file, true, false), ReportCoverage(out);
  if (requests[PATTERNS]) ReportPatterns(out);
  if (requests[TESTED]) NeedFaults(patterns_file, true, false), ReportTested(out, block);
  if (requests[NOT_TESTED]) NeedFaults(patterns_file, true, false), ReportNotTested(out, block);
  if (requests[UNTESTABLE]) ReportUntestable(out, design + ".red");
  if (requests[SIGNALS] || requests[PORTS]) {
    std::vector<std::string> rows = ReadPatternRows(patterns_file, vcount);
    if (requests[SIGNALS]) ReportSignals(out, rows, range);
    if (requests[PORTS]) ReportPorts(out, rows, range);
  }
  if (requests[TABLE]) NeedFaults(patterns_file, false, true), ReportTable(out, range);
  if (requests[PROGRESS]) NeedFaults(patterns_file, true, true), ReportProgress(out);
}

void ShowFile(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rt");
  if (f == nullptr) Errors(path, "Can't open file", -1);
  char buf[256];
  while (fgets(buf, sizeof buf, f)) TextOut(buf);
  fclose(f);
}

int report_main(int argc, char** argv) {
  TextOut("Generating Report\n");
  if (argc < 2) usage();
  ParseReportOptions(argc, argv);
  std::string design = argv[argc - 1];
  std::string patterns_file = design + extension;
  if (!report_file.empty()) {
    // The report must never replace one of the files it is made from.
    bool clash = SameFile(report_file, design + ".agm") || SameFile(report_file, patterns_file) ||
                 (requests[UNTESTABLE] && SameFile(report_file, design + ".red"));
    if (clash) Errors(report_file, "Report file is an input file", -1);
  }
  read_ag(design + ".agm");
  read_vec(patterns_file);
  if (range.one && range.cycle >= vcount) Errors(cycle_text, "Cycle is not below the number of patterns", -1);
  if (report_file.empty()) {
    WriteSections(stdout, design, patterns_file);
    fflush(stdout);
    return 0;
  }
  OutFile out;
  OpenOutput(out, report_file);
  WriteSections(out.fp(), design, patterns_file);
  CommitOutput(out, report_file);
  ShowFile(report_file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(report_main, argc, argv); }
