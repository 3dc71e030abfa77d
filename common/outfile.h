// A result file that appears only when it is complete: the text goes to a
// temporary file beside the target, which is renamed into place on Commit.
// A failed run (or a write error) leaves any earlier file untouched.
#pragma once
#include <cstdio>
#include <string>

class OutFile {
 public:
  // Returns false (and creates nothing) when the temporary file cannot be made.
  bool Open(const std::string& path);
  FILE* fp() const { return fp_; }
  // Flushes, closes and renames; false on any write or close error.
  bool Commit();
  ~OutFile();

 private:
  std::string path_, tmp_;
  FILE* fp_ = nullptr;
};

// Opens `path` for writing or ends the run with "Can't create output file".
// Commit failures end the run the same way.
void OpenOutput(OutFile& f, const std::string& path);
void CommitOutput(OutFile& f, const std::string& path);
