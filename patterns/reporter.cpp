#include "reporter.h"

#include <cctype>
#include <fstream>

#include "messages.h"
#include "mudel.h"
#include "vector.h"

std::vector<std::string> ReadPatternRows(const std::string& path, uint32_t rows) {
  std::vector<std::string> result(rows);
  std::ifstream in(path);
  if (!in) Errors(path, "Can't open file", -1);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 9, ".PATTERNS") != 0) continue;
    uint32_t r = 0;
    while (r < rows && std::getline(in, line)) {
      if (line.empty() || isspace(static_cast<unsigned char>(line[0]))) continue;
      result[r++] = line;
    }
  }
  return result;
}

char RowValue(const std::string& row, uint32_t col) {
  if (col >= row.size()) return 'X';
  switch (row[col]) {
    case '0': case 'l': case 'L': return '0';
    case '1': case 'h': case 'H': return '1';
    default: return 'X';
  }
}

namespace {

uint32_t TotalFaults() { return 2 * NodCount; }

double Percent(uint32_t count) { return TotalFaults() ? count * 100.0 / TotalFaults() : 0.0; }

bool InBlock(uint32_t node, const std::string& prefix) {
  return NodNames[node].compare(0, prefix.size(), prefix) == 0;
}

void NodeLine(FILE* out, uint32_t node, int stuck) {
  fprintf(out, "Node %u (%s): sa-%d\n", node, NodNames[node].c_str(), stuck);
}

void Total(FILE* out, const char* what, uint32_t n) {
  fputs("\n------------------------\n", out);
  fprintf(out, "Total of %u %s\n\n", n, what);
}

bool InRange(uint32_t p, const ReportRange& range) { return !range.one || p == range.cycle; }

void ValueLine(FILE* out, uint32_t var, const std::vector<std::string>& rows, const ReportRange& range) {
  std::string line = VarNames[var] + ": ";
  for (uint32_t p = 0; p < rows.size(); ++p)
    if (InRange(p, range)) line.push_back(RowValue(rows[p], var));
  line.push_back('\n');
  fputs(line.c_str(), out);
}

}  // namespace

void ReportCoverage(FILE* out) {
  uint32_t sum = 0;
  for (char m : faults) sum += m == '&' ? 2 : NotDetected(m) ? 0 : 1;
  fprintf(out, "\nFault coverage: %f %% (%u/%u)\n\n", Percent(sum), sum, TotalFaults());
}

void ReportPatterns(FILE* out) { fprintf(out, "\nNumber of patterns: %u\n\n", vcount); }

void ReportTested(FILE* out, const std::string& prefix) {
  fputs("\nTested faults:\n\n", out);
  uint32_t n = 0;
  for (uint32_t i = 0; i < NodCount; ++i) {
    if (!InBlock(i, prefix)) continue;
    char m = faults[i];
    if (m == '0' || m == '&') NodeLine(out, i, 0), ++n;
    if (m == '1' || m == '&') NodeLine(out, i, 1), ++n;
  }
  Total(out, "nodes tested", n);
}

void ReportNotTested(FILE* out, const std::string& prefix) {
  fputs("\nNot tested faults:\n\n", out);
  uint32_t n = 0;
  for (uint32_t i = 0; i < NodCount; ++i) {
    if (!InBlock(i, prefix)) continue;
    char m = faults[i];
    if (NotDetected(m) || m == '1') NodeLine(out, i, 0), ++n;
    if (NotDetected(m) || m == '0') NodeLine(out, i, 1), ++n;
  }
  Total(out, "nodes not tested", n);
}

void ReportUntestable(FILE* out, const std::string& red_path) {
  std::ifstream in(red_path);
  // A name that opens but cannot be read (a folder) is no list of faults.
  in.peek();
  if (!in || in.bad()) Errors(red_path, "File not found", -1);
  fputs("\nUntestable faults:\n\n", out);
  uint32_t n = 0;
  std::string line;
  while (std::getline(in, line)) {
    fputs(line.c_str(), out);
    if (!in.eof()) fputc('\n', out);  // a last line without a new line is copied as it stands
    ++n;
  }
  if (in.bad()) Errors(red_path, "File not found", -1);
  Total(out, "faults untestable", n);
}

void ReportSignals(FILE* out, const std::vector<std::string>& rows, const ReportRange& range) {
  fputs("\nVariable values dump:\n\n", out);
  for (uint32_t v = 0; v < VarCount; ++v) ValueLine(out, v, rows, range);
}

void ReportPorts(FILE* out, const std::vector<std::string>& rows, const ReportRange& range) {
  fputs("\nVariable values dump:\n\n", out);
  for (uint32_t v = 0; v < InpCount; ++v) ValueLine(out, v, rows, range);
  for (uint32_t v = VarCount - OutCount; v < VarCount; ++v) ValueLine(out, v, rows, range);
}

void ReportTable(FILE* out, const ReportRange& range) {
  fputs("\nFault table report:\n\n", out);
  std::string line;
  for (uint32_t i = 0; i < NodCount; ++i) {
    line = Format("%-24.24s : ", NodNames[i].c_str());
    for (uint32_t p = 0; p < vcount; ++p)
      if (InRange(p, range)) line.push_back(ftable[p][i]);
    line.push_back('\n');
    fputs(line.c_str(), out);
  }
}

void ReportProgress(FILE* out) {
  fputs("\nCoverage progress report:\n\n", out);
  uint32_t count = 0;
  for (uint32_t p = 0; p < vcount; ++p) {
    for (uint32_t i = 0; i < NodCount; ++i) {
      char t = ftable[p][i];
      char& f = faults[i];
      if (t == '1') {
        if (f == '&') f = '0', ++count;
        else if (f == '1') f = 'X', ++count;
      } else if (t == '0') {
        if (f == '&') f = '1', ++count;
        else if (f == '0') f = 'X', ++count;
      }
    }
    fprintf(out, "Pattern %u: coverage %f %% (%u/%u)\n", p + 1, Percent(count), count, TotalFaults());
  }
}
