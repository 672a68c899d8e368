// The -raw command: any IPMI request typed in hexadecimal.
#pragma once

#include <cstdint>
#include <span>

// operands: the network function, the command, then the data bytes, each as
// typed. Prints the response data in hexadecimal. 0 on completion code 00h, 11
// on any other result, 12 when there are more data bytes than one request
// carries (nothing is sent then).
int RawRequest(std::span<char* const> operands);

// One hexadecimal operand as -raw reads it: blanks and tabs skipped, then leading
// zeros, an "x" or "X" right after a skipped zero, then digits up to the first
// other character; the low 8 bits are kept. Text without digits gives 0.
uint8_t ReadHexOperand(const char* text);
