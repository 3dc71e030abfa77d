// The few string helpers the cell-library compiler needs.  They live in their
// own namespace so that they never collide with the synthesis programs'
// helpers of the same purpose when both are linked into one test binary.
#pragma once
#include <string>

namespace cellcomp {

// 'a'..'z' become upper case; nothing else changes.
std::string strupr(std::string s);
// 'A'..'Z' become lower case; nothing else changes.
std::string strlwr(std::string s);

}  // namespace cellcomp
