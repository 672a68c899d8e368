// Process-wide switches the dispatcher sets before it calls an operation.
#pragma once

// After a cold reset or factory default, wait until the BMC answers again.
extern bool waitAfterReset;
// Use the alternative FRU command set ("-fru1").
extern bool fru1Mode;
