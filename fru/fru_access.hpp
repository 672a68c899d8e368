// Access to the BMC's FRU inventory device.
#pragma once

// Use the alternative FRU device and board layout ("-fru1"); set by the
// dispatcher for every FRU command.
extern bool fru1Mode;
