// A word scanner for simple text files: words are runs of printable
// non-blank characters; LineNum counts the new lines passed, for messages.
#pragma once
#include <cstdio>
#include <string>

extern int LineNum;

// Skips white space; 1 at a word (left unread), 0 at the end of the file.
int GotoString(FILE* f);
// At most n word characters; the character that stopped it stays unread.
std::string GetString(FILE* f, size_t n);
// Decimal digits; no digit at all ends the run with "Invalid expression".
int GetInt(FILE* f);
long double GetFloat(FILE* f);
// Compares the next word (at most strlen(keyword) characters) with keyword.
// mode 0 always puts it back, 1 consumes it on a match, 2 always consumes.
int TestString(FILE* f, const char* keyword, char mode);
int NewLine(FILE* f);
void StepBack(FILE* f);
// 0 "Invalid expression", 1 "Invalid number", 2 "Unexpected end of file"
// (with LineNum), 3 "Can't open file"; other codes are returned.
char Err(char code);
