// Controller identification: which family of BMC answers, by its system GUID or,
// failing that, by its IPMI 2.0 capability (controller/controller_family.hpp).
#pragma once

#include <cstdint>

#include "controller/controller_family.hpp"

// The last identification of this run (kBmcTypeNone before the first).
extern uint8_t BmcType;

// Sets BmcType and returns 00h when the identification concluded, or the
// completion code of the last request when the controller answered neither the
// plain Get Channel Authentication Capabilities nor Get Device ID.
uint8_t IdentifyBmc();
