// The tool's entry: one command per run, chosen from the argument vector.
#pragma once

#include "app/run_state.hpp"

// argv[0] is the program name, argv[1] the command word, argv[2] and on the
// operands; all narrow NUL-terminated strings. run: the run's state, as zero
// as a fresh process leaves it. Returns the exit status.
int ToolMain(int argc, char* argv[], RunState& run);
