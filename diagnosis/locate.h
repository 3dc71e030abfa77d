// Location of the changed gate: exoneration of node faults by the correct
// (pattern, output) pairs, carried along each node's gate path.
#pragma once

void LocateGate_init();
// Marks of the per-output table become bit codes: '1' 1, '0' 2, 'X' 0.
void Modify_out_ftable();
void LocateGate();
// The location without seeding: the random pairs come from the shared
// generator as it stands (LocateGate seeds it from the clock first).
void LocateGateWithSeed();
