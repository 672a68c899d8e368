// -selftest: the BMC's power-on self test result, in words.
#pragma once

#include <cstdint>

int ShowSelfTest();

// Get Self Test Results reply: the result code and its detail byte.
struct SelfTestResult {
  uint8_t code;
  uint8_t detail;
};
// Prints the decoding of the result code and its detail byte.
void PrintSelfTestResult(const SelfTestResult& result);
