// faultloc: locates the changed gate of a design-error exercise by
// comparing the design with its specification over a test, and appends the
// suspected nodes and gates to the exercise report.
#include <cstdio>

#include "diagreport.h"
#include "gatepaths.h"
#include "locate.h"
#include "messages.h"
#include "mudel.h"

namespace {

int faultloc_main(int argc, char** argv) {
  TextOut("\n\nDiagnostic Tool for Single Gate Design Errors\n");
  TestInput(argc, argv, true);
  ReadPaths(2, design);
  ReadDesign("faultloc");
  if (static_cast<uint32_t>(NodeCount) != NodCount)
    Errors(design + ".pat", Format("The path file has %d nodes, the design %u", NodeCount, NodCount), -1);
  LocateGate_init();
  ReadSpecification("faultloc");
  BeginProcessing("\nAnalyzing");
  StartTimer();
  LocateGate();
  EndProcessing();
  EndTimer();
  // The design again, for the node names of the report.
  verbose_mode = 1;
  free_ag();
  read_ag(SSBDD);
  verbose_mode = 0;
  if (SCREEN) {
    if (FVECT) PrintDetect(nullptr, 0);
    if (SNODS) PrintNodes(nullptr, 0);
    if (SGATS) PrintGates(nullptr, 0);
  } else {
    long start = 0;
    FILE* f = OpenReport(start);
    fputs("\n\n\tAUTOMATIC DIAGNOSIS STEP:\n", f);
    PrintVects(f, 1);
    if (FVECT) PrintDetect(f, 2);
    if (SNODS) PrintNodes(f, 2);
    if (SGATS) PrintGates(f, 2);
    CloseReport(f, start);
  }
  TextOut("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(faultloc_main, argc, argv); }
