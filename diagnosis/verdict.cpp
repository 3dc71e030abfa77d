// verdict: the teacher's program that unscrambles the recorded answer of a
// design-error exercise: one word, or every word of a report file.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "messages.h"
#include "outfile.h"
#include "scramble.h"

namespace {

const char* infile = nullptr;
const char* outfile = nullptr;
std::string message;
bool have_message = false;
char SCREEN = 0;

void usage() {
  TextOut(
      "\nTeacher's Tool\n"
      "\nUsage: verdict [options] -f <file>;"
      "\n   or: verdict [options] -m <message>\n"
      "\n\t<file>   \tfile containing encrypted message"
      "\n\t<message>\tstring of printable ASCII characters (encrypted message)\n"
      "\noptions:"
      "\n\t-o <file>\toutput file (default: decrypted)"
      "\n\t-s       \tprint output also on the screen"
      "\n\t         \t(default: if -f specified - don't, otherwise - yes)"
      "\n\t-h       \tshow this help"
      "\n");
}

[[noreturn]] void usage_error(const char* text) {
  usage();
  Error(text, -1);
}

void options(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* w = argv[i];
    if (strcmp(w, "-f") == 0) {
      if (i + 1 >= argc) usage_error("The name of the input file is missing");
      ++i;
      if (have_message)
        TextOut("\nWhat? -f and -m are specified at the same time?!\nPlease, don't do it again!\n");
      else
        infile = argv[i];
    } else if (strcmp(w, "-m") == 0) {
      if (i + 1 >= argc) usage_error("Encrypted message is missing");
      ++i;
      if (infile != nullptr) {
        TextOut("\nWhat? -f and -m are specified at the same time?!\nPlease, don't do it again!\n");
      } else {
        message = argv[i];
        have_message = true;
      }
    } else if (strcmp(w, "-o") == 0) {
      if (i + 1 >= argc) usage_error("The name of the output file is missing");
      outfile = argv[++i];
    } else if (strcmp(w, "-s") == 0) {
      SCREEN = 1;
    } else if (strcmp(w, "-h") == 0) {
      usage();
      exit(14);
    } else {
      usage_error("Bad switch");
    }
  }
}

// The word typed at the prompt: up to the new line or the end of the input.
void prompt() {
  TextOut("\nPlease, type one encrypted word and press Enter\nEncrypted message: ");
  std::string word;
  for (;;) {
    int c = getchar();
    if (c == EOF || c == '\n') break;
    if (c == ' ' || c == '\t') Error("Sorry, no spaces are allowed in the message body", -1);
    if (word.size() == 255) Error("The message is too long. Max 255 characters allowed", -1);
    word += static_cast<char>(c);
  }
  TextOut("\n");
  if (word.empty()) Error("Encrypted message is missing", -1);
  message = word;
  have_message = true;
}

// The same file under two names would be truncated before it is read.
bool SameFile(const char* a, const char* b) {
  if (strcmp(a, b) == 0) return true;
  struct stat sa, sb;
  return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void Write(FILE* f, const std::string& text) {
  if (f != nullptr) fwrite(text.data(), 1, text.size(), f);
  if (SCREEN) TextOut(text);
}

int verdict_main(int argc, char** argv) {
  if (argc == 1) {
    SCREEN = 1;
    prompt();
  } else {
    options(argc, argv);
  }
  if (infile == nullptr && !have_message) Error("Neither encrypted message nor file are given", -1);
  if (infile == nullptr) SCREEN = 1;
  if (infile != nullptr && outfile == nullptr) outfile = "decrypted";
  if (SCREEN) TextOut("\nTeacher's Tool\n");
  if (infile != nullptr && SameFile(infile, outfile))
    Errors(outfile, "The output file must differ from the input file", -1);
  OutFile out;
  if (outfile != nullptr) OpenOutput(out, outfile);
  if (infile != nullptr) {
    FILE* in = fopen(infile, "rt");
    if (in == nullptr) Error(Format("Can't open input file %s", infile), -1);
    // One table for every word, as the words of a report are unscrambled alike.
    if (PrimCount == 0) {
      PrimCount = 500;
      Primes_init();
      MarkPrimes();
    }
    if (SCREEN) TextOut("\nDecrypted message: \n");
    for (;;) {
      int c = getc(in);
      if (c == EOF) break;
      if (isgraph(c)) {
        // Words of any length: a record can pass the 254 characters of a line
        // buffer.  getc/ungetc only, so a pipe reads as well as a file.
        std::string word;
        while (c != EOF && isgraph(c)) {
          word += static_cast<char>(c);
          c = getc(in);
        }
        if (c != EOF) ungetc(c, in);
        Decrypt(word);
        Write(out.fp(), word);
      } else {
        Write(out.fp(), std::string(1, static_cast<char>(c)));
      }
    }
    if (ferror(in)) Errors(infile, "Can't read input file", -1);
    fclose(in);
    if (SCREEN) TextOut("\n\n");
  } else {
    Decrypt(message);
    if (SCREEN) TextOut("Decrypted message: " + message + "\n");
    if (out.fp() != nullptr) fwrite(message.data(), 1, message.size(), out.fp());
    TextOut("\n");
  }
  if (outfile != nullptr) CommitOutput(out, outfile);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(verdict_main, argc, argv); }
