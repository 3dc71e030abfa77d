// Number scanning with the rules of the C library's atoi and strtoul, on
// std::string positions, so readers never step past the end of a line.
#pragma once
#include <cstddef>
#include <string>

// atoi rules: leading white space, an optional sign, digits; 0 without digits.
// The value saturates instead of overflowing.
long long AtoiAt(const std::string& s, size_t pos);

// An unsigned number after optional white space; false when no digit is found
// or the number does not fit 32 bits.  `pos` moves past the digits.
bool ScanUnsigned(const std::string& s, size_t& pos, unsigned long& value);
