// -selftest: the BMC's power-on self test result, in words.
#pragma once

#include <cstdint>

int ShowSelfTest();

// Prints the decoding of the result code (response[0]) and its detail byte (response[1]).
void PrintSelfTestResult(const uint8_t* response);
