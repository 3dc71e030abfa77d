// Opening an input file.  fopen succeeds on a folder, whose reads then fail
// as if the file were empty; a reader must refuse it like a missing file.
#pragma once
#include <cstdio>
#include <string>

// fopen(path, mode), or nullptr when the path cannot be opened or names a folder.
FILE* OpenInput(const std::string& path, const char* mode);
