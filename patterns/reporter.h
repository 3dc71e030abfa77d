// The sections of `report`: coverage, pattern count, fault lists, value
// dumps, the fault table and the coverage reached after each pattern.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ReportRange {
  bool one = false;  // only pattern `cycle`
  uint32_t cycle = 0;
};

// The pattern rows of a test file as written, one text per pattern (the
// ".PATTERNS" section read like the shared reader walks it).  Used for the
// value dumps, which show every column without simulating.
std::vector<std::string> ReadPatternRows(const std::string& path, uint32_t rows);

// Value of column `col` in a written row: '0', '1' or 'X' ('l'/'L' 0,
// 'h'/'H' 1, anything else or a missing column X).
char RowValue(const std::string& row, uint32_t col);

// True for a fault-status mark that records no detection ('X' or 'x').
inline bool NotDetected(char m) { return m == 'X' || m == 'x'; }

void ReportCoverage(FILE* out);
void ReportPatterns(FILE* out);
void ReportTested(FILE* out, const std::string& prefix);
void ReportNotTested(FILE* out, const std::string& prefix);
// Copies the untestable-fault list; ends the run when the file is missing.
void ReportUntestable(FILE* out, const std::string& red_path);
void ReportSignals(FILE* out, const std::vector<std::string>& rows, const ReportRange& range);
void ReportPorts(FILE* out, const std::vector<std::string>& rows, const ReportRange& range);
void ReportTable(FILE* out, const ReportRange& range);
// Consumes the fault status as it counts.
void ReportProgress(FILE* out);
