#include "scanner.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

#include "infile.h"
#include "messages.h"
#include "random.h"
#include "textnum.h"

int scan_input(int argc, char** argv, const int* act, const char* const* keys,
               std::vector<std::optional<std::string>>& values, int ct, const char* needs_value) {
  values.assign(static_cast<size_t>(ct), std::nullopt);
  if (argc < 2) return 0;
  int i = 1;
  while (i < argc) {
    int k = 0;
    while (k < ct && strcmp(argv[i], keys[k]) != 0) ++k;
    if (k == ct) {
      if (i != argc - 1) {
        fprintf(stderr, "Unknown argument : %s\n", argv[i]);
        return -1;
      }
      return i;
    }
    if (values[k]) Warning(Format("Argument %s redefined!", keys[k]), -1);
    if (act[k]) {
      if (i == argc - 1) {
        fprintf(stderr, needs_value, keys[k]);
        return -1;
      }
      values[k] = std::string(argv[i + 1]);
      i += 2;
    } else {
      values[k] = std::string("ON");
      i += 1;
    }
  }
  return i;
}

int CheckDigit(const char* str) {
  if (str == nullptr) return 1;
  for (const char* p = str; *p; ++p)
    if (*p < '0' || *p > '9') return 1;
  return 0;
}

bool NumberValue(const std::string& text, int& value) {
  if (CheckDigit(text.c_str()) != 0) return false;
  if (text.empty()) {
    value = 0;
    return true;
  }
  long long v = 0;
  if (!WholeNumber(text.c_str(), 0, 2147483647LL, v)) return false;
  value = static_cast<int>(v);
  return true;
}

namespace {

template <class Draw>
std::string RandomBits(int len, int bits, Draw draw) {
  std::string s;
  try {
    s.assign(static_cast<size_t>(len > 0 ? len : 0), '0');
  } catch (const std::bad_alloc&) {
    fflush(stdout);
    fputs("Not enough memory.\n", stderr);
    exit(255);
  }
  unsigned long word = 0;
  int left = 0;
  for (char& c : s) {
    if (left == 0) {
      word = draw();
      left = bits;
    }
    c = (word & 1) ? '0' : '1';
    word >>= 1;
    --left;
  }
  return s;
}

}  // namespace

std::string GenRandVect(int len) {
  return RandomBits(len, 31, [] { return static_cast<unsigned long>(lrand48()); });
}

std::string GenRandVect32(int len) {
  return RandomBits(len, 32, [] { return static_cast<unsigned long>(GetRnd()); });
}

Read::Read(const std::string& name) {
  fp = OpenInput(name, "rb");
}

Read::~Read() {
  if (fp) fclose(fp);
}

const char* Read::GetLine() {
  if (fp == nullptr || end) return nullptr;
  buffer.clear();
  int c;
  while ((c = getc(fp)) != EOF && c != '\n' && c != '\r') buffer.push_back(static_cast<char>(c));
  if (c == EOF) end = 1;
  len = static_cast<int>(buffer.size());
  return buffer.c_str();
}

int Read::AtEnd() const { return fp ? end : 1; }

int Read::GetLen() const { return fp ? len : -1; }

bool readTST(const std::string& fname, std::vector<std::optional<std::string>>& values) {
  // Option indexes of the four register strings.
  enum { GPOLY = 4, GINIT = 5, APOLY = 6, AINIT = 7 };
  Read in(fname);
  if (!in.IsOpen()) return false;
  int section = 0;  // 1 generator, 2 analyser
  while (const char* line = in.GetLine()) {
    if (in.GetLen() < 1) continue;
    if (strcasecmp(line, ".GENERATOR") == 0) {
      section = 1;
      continue;
    }
    if (strcasecmp(line, ".ANALYZER") == 0) {
      section = 2;
      continue;
    }
    bool poly = strncasecmp(line, ".POLYNOMIAL", 11) == 0;
    bool init = strncasecmp(line, ".INITIAL_STATE", 14) == 0;
    if (!poly && !init) continue;
    const char* v = line + (poly ? 11 : 14);
    while (*v && *v != '0' && *v != '1') ++v;
    if (*v == '\0') {
      fputs("Reading tst file : bad polynomial\n", stderr);
      fflush(stdout);
      exit(255);
    }
    if (section == 0) continue;
    int k = section == 1 ? (poly ? GPOLY : GINIT) : (poly ? APOLY : AINIT);
    if (!values[k]) values[k] = std::string(v);
  }
  return true;
}

LIST* CreateRecord() { return new LIST(); }

LIST* InsertRecord(LIST* juurikas, LIST* uus) {
  if (uus == nullptr) {
    TextOut("NULL viit uuele kirjele !!!\n\r");
    return juurikas;
  }
  LIST** at = &juurikas;
  while (*at != nullptr) {
    LIST* r = *at;
    if (r->coverage < uus->coverage || (r->coverage == uus->coverage && r->count > uus->count)) break;
    at = &r->next;
  }
  uus->next = *at;
  *at = uus;
  return juurikas;
}

void FreeRecords(LIST* head) {
  while (head) {
    LIST* n = head->next;
    delete head;
    head = n;
  }
}
