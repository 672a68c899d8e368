// -ver: the BMC's firmware revision, in the form its controller family uses.
#pragma once

#include <cstdint>

// 0, or 11 when the controller could not be identified or its version could
// not be read (an unidentified controller prints no version and gives 0).
int ShowFirmwareVersion();

// The OEM form (32-bit values, no line break after them): major and minor, and
// the third when the reply carries it. Returns the completion code; CEh when the
// reply carries less than two whole values.
uint8_t ShowOemFirmwareVersion();
