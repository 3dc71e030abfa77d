// The pattern editor's dialogue: command line, names, menus, insertion,
// deletion, the pattern table and saving.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Where answers are read from (the terminal, or a pipe).
extern FILE* term;
extern int changes_were_made;

// One line without its new line; a last line without one still counts.
// End of input at any prompt ends the run: nothing is written.
std::string ReadAnswerLine();
// Longest word answer; a longer word is no known answer.
constexpr size_t kAnswerMax = 255;
// One blank-delimited word (at most kAnswerMax + 1 characters of it are
// kept); the rest of its line is discarded.
std::string ReadAnswerWord();

// A fresh row: inputs 0, constants from the model, graph columns unset.
void AppendRow();

void PrintVects();
void VecInsert();
void VecDelete();
// Runs the whole dialogue; returns the exit status (always 14).
int PatmanRun(int argc, char** argv);
