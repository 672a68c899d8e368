// -fan: the BMC's fan speed mode, through one OEM command whose first data byte
// selects the function.
#pragma once

#include <cstdint>

// 0, or 11 when the current mode cannot be read.
int ShowFanMode();

// The modes the BMC supports, or all five when it does not say; never fails.
void ListFanModes();

// mode 0..4, already checked by the dispatcher. 0, or 11 when refused.
int SetFanMode(uint8_t mode);
