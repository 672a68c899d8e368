// The tool's entry: one command per run, chosen from the argument vector.
#pragma once

// argv[0] is the program name, argv[1] the command word, argv[2] and on the
// operands; all narrow NUL-terminated strings. Returns the exit status.
int ToolMain(int argc, char* argv[]);
