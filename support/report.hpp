// The one failure line of a command whose request failed.
#pragma once

#include <cstdint>

// Prints "<what>, Completion Code=XXh" and returns kStatusFailed (11), the
// exit status of a command that ends with that line.
int ReportFailure(const char* what, uint8_t completionCode);
