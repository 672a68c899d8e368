// The -raw command: any IPMI request typed in hexadecimal.
#pragma once

#include <cstdint>

// argc is the whole argument count of the run; operands is the argument vector
// from the network function on (NetFn, command, then argc - 4 data bytes).
// Prints the response data in hexadecimal. 0 on completion code 00h, 11 on any
// other result, 12 when there are more data bytes than one request carries
// (nothing is sent then).
int RawRequest(int argc, char* operands[]);

// One hexadecimal operand as -raw reads it: blanks and tabs skipped, then leading
// zeros, an "x" or "X" right after a skipped zero, then digits up to the first
// other character; the low 8 bits are kept. Text without digits gives 0.
uint8_t ReadHexOperand(const char* text);
