// Register arithmetic of the BIST programs: one clock of a linear feedback
// shift register (standard or modular form), optionally compacting a
// pattern's outputs (MISR); the copy of a state into a pattern's inputs; the
// simulation of one pattern with at most one stuck-at node; bit strings.
#pragma once
#include <string>
#include <vector>

// 0 standard (feedback into position 0), 1 modular (polynomial added when a
// '1' leaves position 0).  Standard until setLFSRType is called.
extern int gener_c_LFSR_type;
void setLFSRType(int type);

using PatternRows = std::vector<std::vector<unsigned char>>;

// One clock: state[vekt_nr + 1] from state[vekt_nr] with the polynomial
// `feedback` of `len` stages.  With `vects` the outputs of pattern vekt_nr
// are injected: `end` 0 into the first positions, 1 into the last ones.
void LFSR(std::string* state, const std::string& feedback, int len, int vekt_nr, int end, const PatternRows* vects);
void standardLFSR(std::string* state, const std::string& feedback, int len, int vekt_nr, int end,
                  const PatternRows* vects);
void modularLFSR(std::string* state, const std::string& feedback, int len, int vekt_nr, int end,
                 const PatternRows* vects);

// Copies the first stages of `state` into the inputs of one pattern row.
void insert_vect(const std::string& state, int len, int end, std::vector<unsigned char>& row);

// Node whose stuck-at fault spec_simul injects (-1 none) and its value.
extern int FaultyNode;
extern int Fault;
// Simulates pattern row vektor_nr over every graph, with node FaultyNode
// stuck at Fault, writing each graph's value into the row.
void spec_simul(int vektor_nr, int FaultyNode, int Fault);

char xorbinary(char a, char b);
char convert_num(int value);
// Every one of the first `width` characters must be '0' or '1', else the
// run ends with "Bad <name>".
void check(const std::string& text, int width, const std::string& name);
