#include "vector.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "infile.h"
#include "messages.h"
#include "mudel.h"
#include "outfile.h"
#include "textnum.h"

std::vector<std::vector<unsigned char>> vects;
uint32_t vcount = 0;
uint32_t functionals = 0;
std::vector<std::vector<char>> ftable;
std::vector<char> faults;
int FAULT_TABLE = 0;
int FAULT_VECTOR = 0;
uint32_t READ_FAULT_TABLE = 1;
void (*TableRowSource)(uint32_t v, char* row) = nullptr;
uint32_t CurrentRow = 0;
std::string gener_poly, gener_init, analyser_poly, analyser_init, analyser_state, cstp_poly, cstp_init;

std::vector<unsigned char> BlankRow() {
  std::vector<unsigned char> row(VarCount, 0);
  for (uint32_t i = InpCount + ConCount; i < VarCount; ++i) row[i] = 'x';
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) row[i] = (Vars[i].v_flags & VF_CONST0) ? 0 : 1;
  return row;
}

namespace {

FILE* vecfile = nullptr;  // the reader's open file
bool bistVariant = false;

int Row() { return static_cast<int>(CurrentRow); }

// Skips to the start of the next line, counting it.
void waistln() {
  int c;
  while ((c = getc_unlocked(vecfile)) != EOF)
    if (c == '\n') {
      ++CurrentRow;
      return;
    }
}

void stepback(int c) {
  if (c != EOF) ungetc(c, vecfile);
}

// Reads the rest of a line (keyword lines); the new line is consumed and counted.
std::string KeywordLine() {
  std::string s;
  int c;
  while ((c = getc_unlocked(vecfile)) != EOF && c != '\n') s.push_back(static_cast<char>(c));
  ++CurrentRow;
  return s;
}

// Skips lines that begin with white space; returns false at end of file.
bool SkipBlankLines() {
  for (;;) {
    int c = getc_unlocked(vecfile);
    if (c == EOF) return false;
    if (!isspace(c)) {
      stepback(c);
      return true;
    }
    stepback(c);
    waistln();
  }
}

void SetConstants(std::vector<unsigned char>& row);

// The BIST variant's reader: every column of the row, in variable order; a
// short row keeps 0 in the columns it lacks, and a line end ends it.
bool readWholePattern(uint32_t r) {
  std::vector<unsigned char>& row = vects[r];
  row.assign(row.size(), 0);
  for (uint32_t i = 0; i < VarCount; ++i) {
    int c = getc_unlocked(vecfile);
    if (c == EOF) break;
    if (c == '\n' || c == '\r') {
      stepback(c);
      break;
    }
    switch (c) {
      case '0': case 'L': case 'l': row[i] = 0; break;
      case '1': case 'H': case 'h': row[i] = 1; break;
      case 'x': row[i] = 'x'; break;
      default: Error("Unknown symbol in patterns file", Row());
    }
  }
  SetConstants(row);
  waistln();
  return true;
}

// The rows of the patterns and the table are read a line at a time (a
// character at a time was most of the time of a whole simulation run).
char* lineBuf = nullptr;
size_t lineCap = 0;

// The rest of the current line, with its new line when it has one; the
// length, 0 at the end of the file.  The new line is not counted here.
size_t ReadLine() {
  ssize_t n = getline(&lineBuf, &lineCap, vecfile);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

void EndLine(size_t len) {
  if (len > 0 && lineBuf[len - 1] == '\n') ++CurrentRow;
}

std::vector<unsigned char> blankRow;  // BlankRow() of the model being read

// Pattern row r; false when the file ends before the row is complete.
bool readPattern(uint32_t r) {
  if (r == vects.size()) vects.push_back(blankRow);
  if (bistVariant) return readWholePattern(r);
  std::vector<unsigned char>& row = vects[r];
  const size_t len = ReadLine();
  // A new line within the inputs is an unknown symbol, so a line shorter
  // than the inputs ends the file.
  if (len < InpCount) {
    for (size_t i = 0; i < len; ++i) {
      unsigned char c = static_cast<unsigned char>(lineBuf[i]);
      if (c != '0' && c != 'L' && c != 'l' && c != '1' && c != 'H' && c != 'h' && c != 'x')
        Error("Unknown symbol in patterns file", Row());
    }
    return false;
  }
  const char* line = lineBuf;
  for (uint32_t i = 0; i < InpCount; ++i) {
    switch (line[i]) {
      case '0': case 'L': case 'l': row[i] = 0; break;
      case '1': case 'H': case 'h': row[i] = 1; break;
      case 'x': row[i] = 'x'; break;
      default: Error("Unknown symbol in patterns file", Row());
    }
  }
  SetConstants(row);
  EndLine(len);
  return true;
}

void SetConstants(std::vector<unsigned char>& row) {
  for (uint32_t i = InpCount; i < InpCount + ConCount; ++i) {
    if (Vars[i].v_flags & VF_CONST0)
      row[i] = 0;
    else if (Vars[i].v_flags & VF_CONST1)
      row[i] = 1;
    else
      Error("Constant variable expected", Row());
  }
}

// The fault marks: '0', '1', 'X', 'x', '&' and the transition marks, so
// files written with delay marks read back whole.
struct MarkSymbols {
  bool in[256] = {};
  MarkSymbols() {
    for (const char* p = "01Xx/\\&"; *p; ++p) in[static_cast<unsigned char>(*p)] = true;
  }
};
const MarkSymbols markSymbols;

// The number of marks at the start of the n characters p.  Where the base
// instruction set has 16-byte compares, whole runs of 16 are tested at once;
// the first other character is then looked for in its run.
size_t MarkRun(const char* p, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i m0 = _mm_set1_epi8('0'), m1 = _mm_set1_epi8('1'), mX = _mm_set1_epi8('X'), mx = _mm_set1_epi8('x');
  const __m128i mSlash = _mm_set1_epi8('/'), mBack = _mm_set1_epi8('\\'), mAmp = _mm_set1_epi8('&');
  for (; i + 16 <= n; i += 16) {
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i ok = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, m0), _mm_cmpeq_epi8(c, m1)),
                              _mm_or_si128(_mm_cmpeq_epi8(c, mX), _mm_cmpeq_epi8(c, mx)));
    ok = _mm_or_si128(ok, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, mSlash), _mm_cmpeq_epi8(c, mBack)),
                                       _mm_cmpeq_epi8(c, mAmp)));
    if (_mm_movemask_epi8(ok) != 0xffff) break;
  }
#endif
  while (i < n && markSymbols.in[static_cast<unsigned char>(p[i])]) ++i;
  return i;
}

// Reads marks into `row` (none kept when it is null) up to the first other
// character; the rest of the line is passed over.  Returns the marks' count
// (they stay at the start of lineBuf).
size_t ReadMarks(char* row, const char* too_long) {
  const size_t len = ReadLine();
  const size_t n = MarkRun(lineBuf, std::min<size_t>(len, NodCount));
  if (n == NodCount && n < len && markSymbols.in[static_cast<unsigned char>(lineBuf[n])]) Error(too_long, Row());
  if (n > 0 && row != nullptr) memcpy(row, lineBuf, n);
  EndLine(len);
  return n;
}

// The kinds of single mark (StuckAtMarks, TransitionMarks) in the first table
// row of the file read that holds any: the model that wrote the table, also
// when its rows are checked and not kept.
enum { StuckAtMarks = 1, TransitionMarks = 2 };
unsigned firstTableMarks = 0;

void NoteTableMarks(const char* row, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const char c = row[i];
    if (c == '0' || c == '1') firstTableMarks |= StuckAtMarks;
    if (c == '/' || c == '\\') firstTableMarks |= TransitionMarks;
  }
}

void readTable(uint32_t r) {
  char* row = nullptr;
  if (READ_FAULT_TABLE != 2) {
    if (r == ftable.size()) ftable.emplace_back(NodCount, 'X');
    row = ftable[r].data();
  }
  const size_t n = ReadMarks(row, "Line of table too long");
  if (firstTableMarks == 0) NoteTableMarks(lineBuf, n);
}
void readFaults() { ReadMarks(faults.data(), "FAULTS section too long"); }

// Moves to the next line that begins with '.' and reads it (the text between
// sections is passed over); false at the end of the file.  `row` is its line.
bool NextKeyword(std::string& key, int& row) {
  for (;;) {
    int c = getc_unlocked(vecfile);
    if (c == EOF) return false;
    if (c == '\n') {
      ++CurrentRow;
      continue;
    }
    if (c != '.') {
      waistln();
      continue;
    }
    stepback(c);
    row = Row();
    key = KeywordLine();
    return true;
  }
}

// True when a line follows that is not a keyword line.
bool RowLineAhead() {
  int c = getc_unlocked(vecfile);
  stepback(c);
  return c != EOF && c != '.';
}

// Walks `vcount` rows of a section; a row is read by `read` (or skipped).
// Rows without columns (a model without inputs or nodes) are written as empty
// lines, so there every line up to the next keyword is a row.
template <class F>
void ReadRows(const char* section, bool no_columns, F read) {
  uint32_t r = 0;
  while (r < vcount) {
    if (!(no_columns ? RowLineAhead() : SkipBlankLines())) Errors(section, "Too few rows in section", Row());
    if (!read(r)) Errors(section, "Too few rows in section", Row());
    ++r;
  }
}

}  // namespace

void SetBistVariant(bool on) { bistVariant = on; }
bool BistVariant() { return bistVariant; }

void read_vec(const std::string& path) {
  BeginProcessing("Reading test patterns file " + path);
  blankRow = BlankRow();
  vecfile = OpenInput(path, "rt");
  if (vecfile == nullptr) Errors(path, "Can't open file", -1);
  functionals = 0;
  FAULT_TABLE = 0;
  FAULT_VECTOR = 0;
  CurrentRow = 1;
  firstTableMarks = 0;
  bool haveVectors = false;
  bool havePatterns = false;
  std::string key;
  int keyRow;
  while (NextKeyword(key, keyRow)) {
    auto is = [&](const char* word) { return key.compare(1, strlen(word), word) == 0; };
    auto needVectors = [&]() {
      if (!haveVectors) Error("Section before .VECTORS", keyRow);
    };
    if (is("VECTORS")) {
      long long n = AtoiAt(key, 8);
      if (n < 0 || n > 0xffffffffLL) Error("Bad number of vectors", keyRow);
      vcount = static_cast<uint32_t>(n);
      // Rows are made as their lines are read, so the count alone costs no
      // memory: a count without the rows behind it is refused below.
      vects.clear();
      ftable.clear();
      faults.assign(NodCount, 'X');
      firstTableMarks = 0;
      haveVectors = true;
      havePatterns = false;
    } else if (is("FUNCTIONAL")) {
      long long n = AtoiAt(key, 11);
      functionals = static_cast<uint32_t>(n < 0 ? 0 : n);
    } else if (is("PATTERNS")) {
      needVectors();
      ReadRows(".PATTERNS", InpCount == 0, [](uint32_t r) { return readPattern(r); });
      havePatterns = true;
    } else if (is("TABLE")) {
      needVectors();
      if (READ_FAULT_TABLE) {
        ReadRows(".TABLE", NodCount == 0, [](uint32_t r) {
          readTable(r);
          return true;
        });
        FAULT_TABLE = 1;
      }
    } else if (is("FAULTS")) {
      needVectors();
      if (SkipBlankLines()) readFaults();
      FAULT_VECTOR = 1;
    } else if (is("COVERAGE") || is("GENERATOR") || is("ANALYZER") || is("INITIAL_") || is("POLYNOMI") ||
               is("SIGNATUR")) {
      // register settings and coverage figures are not read back
    } else {
      Error("Unknown keyword", keyRow);
    }
  }
  // Without a count line the file holds no test at all (an empty file, text,
  // coverage figures alone); the programs have nothing to simulate or keep.
  if (!haveVectors) Error("No test vectors found", -1);
  // The patterns a .VECTORS count announces must be in the file.
  if (vcount > 0 && !havePatterns) Errors(".PATTERNS", "Too few rows in section", Row());
  if (READ_FAULT_TABLE == 1) ftable.resize(vcount, std::vector<char>(NodCount, 'X'));
  fclose(vecfile);
  vecfile = nullptr;
  EndProcessing();
}

void read_faults(const std::string& path) {
  BeginProcessing("Reading fault info file " + path);
  vecfile = OpenInput(path, "rt");
  if (vecfile == nullptr) Errors(path, "Can't open file", -1);
  CurrentRow = 1;
  std::string key;
  int keyRow;
  while (NextKeyword(key, keyRow)) {
    if (key.compare(1, 6, "FAULTS") == 0) {
      if (SkipBlankLines()) readFaults();
      FAULT_VECTOR = 1;
    } else {
      waistln();
    }
  }
  fclose(vecfile);
  vecfile = nullptr;
  EndProcessing();
}

void ReadFaultInfo(const std::string& path) {
  FAULT_VECTOR = 0;
  read_faults(path);
  if (!FAULT_VECTOR) Errors(path, "file contains no fault simulation data", -1);
}

namespace {

bool Holds(const std::vector<char>& row, const char* marks) {
  return std::find_first_of(row.begin(), row.end(), marks, marks + strlen(marks)) != row.end();
}

}  // namespace

void ForgetOtherModelStatus(bool delay_model) {
  const char* own = delay_model ? "/\\" : "01";
  const char* other = delay_model ? "01" : "/\\";
  // Only the other model writes its single marks; a row that mixes both
  // kinds is no status of this model either.
  bool otherModel = Holds(faults, other);
  if (!otherModel && !Holds(faults, own) && Holds(faults, "&"))
    otherModel = firstTableMarks & (delay_model ? StuckAtMarks : TransitionMarks);
  if (otherModel) faults.assign(faults.size(), 'X');
}

void alloc_vec() {
  BeginProcessing("Allocating test patterns");
  vects.assign(vcount, BlankRow());
  ftable.assign(vcount, std::vector<char>(NodCount, 'X'));
  faults.assign(NodCount, 'X');
  EndProcessing();
}

void free_vec() {
  std::vector<std::vector<unsigned char>>().swap(vects);
  std::vector<std::vector<char>>().swap(ftable);
  std::vector<char>().swap(faults);
}

uint32_t CountDetected(const std::vector<char>& marks, bool delay_marks) {
  uint32_t n = 0;
  for (char m : marks) {
    if (m == '&')
      n += 2;
    else if (delay_marks ? (m == '/' || m == '\\') : (m == '0' || m == '1'))
      n += 1;
  }
  return n;
}

void write_vec(const std::string& path, int mode) {
  BeginProcessing("Writing test patterns file " + path);
  OutFile out;
  OpenOutput(out, path);
  FILE* f = out.fp();
  if (mode == 8 && bistVariant) {
    // The fault row and its coverage alone, as read_faults reads it back.
    fputs("\n.FAULTS\n\n", f);
    if (NodCount) fwrite(faults.data(), 1, NodCount, f);
    uint32_t count = CountDetected(faults, false);
    uint32_t total = 2 * NodCount;
    double pct = total ? static_cast<double>(count) / total * 100.0 : 0.0;
    fprintf(f, "\n\n.COVERAGE\n\n%u / %u = %f %%\n\n", count, total, pct);
    CommitOutput(out, path);
    EndProcessing();
    return;
  }
  if (mode < 0 || mode > 7) mode = 0;
  // Mode 6 leaves pattern 0 out; with no patterns there is nothing to leave.
  uint32_t first = (mode == 6 && vcount > 0) ? 1 : 0;
  fprintf(f, "\n.VECTORS %u\n\n", vcount - first);
  if (functionals) fprintf(f, "\n.FUNCTIONAL %u\n\n", functionals);
  if (mode == 4) {
    fprintf(f, "\n.GENERATOR\n\n.INITIAL_STATE %s\n.POLYNOMIAL %s\n\n", gener_init.c_str(), gener_poly.c_str());
    fprintf(f, "\n.ANALYZER\n\n.INITIAL_STATE %s\n.POLYNOMIAL %s\n.SIGNATURE %s\n\n", analyser_init.c_str(),
            analyser_poly.c_str(), analyser_state.c_str());
  } else if (mode == 3) {
    fprintf(f, "\n.ANALYZER\n\n.INITIAL_STATE %s\n.POLYNOMIAL %s\n.SIGNATURE %s\n\n", cstp_init.c_str(),
            cstp_poly.c_str(), analyser_state.c_str());
  }
  fputs("\n.PATTERNS\n\n", f);
  uint32_t internalEnd = VarCount - OutCount;
  const uint32_t cols = mode == 7 ? InpCount : VarCount;
  // Per column its digits for 0 and 1; any other value is written as it is.
  std::vector<char> zero(cols), one(cols), line(cols + 1, '\n');
  for (uint32_t i = 0; i < cols; ++i) {
    const char* digits = (mode == 6 || i < InpCount) ? "01" : (i < internalEnd ? "lh" : "LH");
    zero[i] = digits[0];
    one[i] = digits[1];
  }
  for (uint32_t v = first; v < vcount; ++v) {
    const unsigned char* row = vects[v].data();
    char* out = line.data();
    uint32_t i = 0;
#if defined(__SSE2__)
    // 16 columns at a time: the digit where the value is 0 or 1, else the value.
    for (; i + 16 <= cols; i += 16) {
      __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
      __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zero.data() + i));
      __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(one.data() + i));
      __m128i isZero = _mm_cmpeq_epi8(b, _mm_setzero_si128()), isOne = _mm_cmpeq_epi8(b, _mm_set1_epi8(1));
      __m128i digit = _mm_or_si128(_mm_and_si128(isZero, z), _mm_and_si128(isOne, o));
      __m128i other = _mm_andnot_si128(_mm_or_si128(isZero, isOne), b);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(digit, other));
    }
#endif
    for (; i < cols; ++i) {
      unsigned char b = row[i];
      out[i] = b == 0 ? zero[i] : b == 1 ? one[i] : static_cast<char>(b);
    }
    fwrite(out, 1, cols + 1, f);
  }
  if (mode != 1 && mode != 2 && mode != 6 && mode != 7) {
    fputs("\n.TABLE\n\n", f);
    const std::vector<char> none(NodCount, 'X');  // when the table was not loaded
    std::vector<char> made(NodCount + 1, '\n');
    for (uint32_t v = 0; v < vcount; ++v) {
      if (TableRowSource != nullptr) {
        TableRowSource(v, made.data());
        fwrite(made.data(), 1, NodCount + 1, f);
        continue;
      }
      const std::vector<char>& row = v < ftable.size() ? ftable[v] : none;
      // A model without nodes has empty rows, whose data() may be null.
      if (NodCount) fwrite(row.data(), 1, NodCount, f);
      fputc('\n', f);
    }
  }
  if (mode != 2 && mode != 6 && mode != 7) {
    fputs("\n.FAULTS\n\n", f);
    // A model without nodes has an empty row (and no storage behind it).
    if (NodCount) fwrite(faults.data(), 1, NodCount, f);
    uint32_t count = CountDetected(faults, mode == 5);
    uint32_t total = 2 * NodCount;
    // A model without nodes has no faults to cover: 0 %, not a division by zero.
    double pct = total ? static_cast<double>(count) / total * 100.0 : 0.0;
    fprintf(f, "\n\n.COVERAGE\n\n%u / %u = %f %%\n\n", count, total, pct);
  }
  CommitOutput(out, path);
  EndProcessing();
}
