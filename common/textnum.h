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

// A numeric option value: a whole decimal number (digits only, a leading '-'
// where the range admits negatives) inside [lo, hi], and nothing else.
// False for empty text, other characters, or a value out of range.
bool WholeNumber(const char* text, long long lo, long long hi, long long& value);

// The same check for a program's option parser: a bad value ends the run
// with Errors(message, text, -1), so the message names the value given.
long long NumberOption(const char* text, long long lo, long long hi, const char* message = "Illegal option");
