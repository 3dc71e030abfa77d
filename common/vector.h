// The test data of a design (patterns, fault table, fault status, BIST
// register settings) and its ".tst" reader and writer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One row per pattern, one byte per model variable: 0, 1 or 'x'.
extern std::vector<std::vector<unsigned char>> vects;
extern uint32_t vcount;
extern uint32_t functionals;
// One row of NodCount fault marks per pattern.
extern std::vector<std::vector<char>> ftable;
// Fault status, one mark per node.
extern std::vector<char> faults;
extern int FAULT_TABLE;
extern int FAULT_VECTOR;
// 1 (the default) reads the .TABLE rows into ftable; 0 passes the section
// over; 2 checks its rows as 1 does (the same errors) but keeps none, for a
// program that writes a table of its own.
extern uint32_t READ_FAULT_TABLE;
// When set, write_vec takes row v of the .TABLE section (NodCount marks)
// from this function instead of ftable.
extern void (*TableRowSource)(uint32_t v, char* row);
extern uint32_t CurrentRow;
extern std::string gener_poly, gener_init, analyser_poly, analyser_init, analyser_state, cstp_poly, cstp_init;

void read_vec(const std::string& path);
void read_faults(const std::string& path);
// The -infile of the generators and simulators: the fault status of a test
// file; a file without a fault section ends the run with "file contains no
// fault simulation data".
void ReadFaultInfo(const std::string& path);
// A fault status read from a file written under the other fault model
// counts as none: a stuck-at run (delay_model false) clears a status of
// transition marks, a delay run one of stuck-at marks.  A status of '&'
// marks alone is told by the table of the file just read (also when its rows
// were checked and not kept); one the table cannot tell is kept, as both
// models mean the same by '&'.  Call it right after read_vec.
void ForgetOtherModelStatus(bool delay_model);
void write_vec(const std::string& path, int mode);
void alloc_vec();
// A fresh pattern row: inputs 0, graph columns not set ('x'), constants from
// the model.
std::vector<unsigned char> BlankRow();
void free_vec();

// The BIST programs' variant of this module, off by default: when on,
// write_vec also knows mode 8 (the fault row and coverage alone) and the
// reader takes back every column of a pattern row, not only the inputs.
void SetBistVariant(bool on);
bool BistVariant();

// Coverage count of a fault row: '0' and '1' (or, with delay marks, '/' and
// '\') count one, '&' two.
uint32_t CountDetected(const std::vector<char>& marks, bool delay_marks);
