// Path-oriented deterministic search for a test of one stuck-at fault on the
// SSBDD graphs, over the two machines of testsim.
//
// Building with -DPODEM_TRACE prints every objective, decision and backtrack
// of the search on the error stream (a debugging aid, no run-time switch).
#pragma once
#include <cstdint>

extern uint32_t BacktrackLim;
extern uint32_t backtrack_count;
extern uint32_t PODEMflag;

// Objective: variable (-1 none), value, node that yielded it, row it was found in.
extern int32_t backtraceVar;
extern uint32_t backtraceValue;
extern uint32_t backtraceNode;
extern uint32_t backtraceVec;

// D-frontier scan position.
extern int32_t D_pointer;
extern int32_t lastXBranch;
extern int32_t Current_D;

// 0 test found (good row's inputs), 1 untestable, 2 aborted.
int ag_podem();

int InitialObjectiveOK();
int FaultGraphCheck();
int32_t FindDfront();
int XPathCheck(uint32_t var);
int Backtrace(uint32_t graph);
int GraphBacktrace(uint32_t graph, uint32_t node);
int ActivatePath(uint32_t graph, uint32_t node);
int FindDerivative(uint32_t graph, uint32_t node);
void MakeBacktrace();
int Backtrack();
