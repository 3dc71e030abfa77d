// patman: interactive editor of the input patterns of a design's test file.
#include "dialogue.h"
#include "messages.h"

int main(int argc, char** argv) { return RunProgram(PatmanRun, argc, argv); }
