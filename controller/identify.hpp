// Controller identification: which family of BMC answers, by its system GUID or,
// failing that, by its IPMI 2.0 capability. The family chooses the firmware
// version form and the factory-default request.
#pragma once

#include <cstdint>

// BmcType values.
inline constexpr uint8_t kBmcTypeNone = 0;  // not identified yet in this run
inline constexpr uint8_t kBmcTypeIpmi20 = 2;
inline constexpr uint8_t kBmcTypeUnidentified = 121;  // 'y': taken for an IPMI 1.5 controller

// The last identification of this run (kBmcTypeNone before the first).
extern uint8_t BmcType;

// Sets BmcType and returns 00h when the identification concluded, or the
// completion code of the last request when the controller answered neither the
// plain Get Channel Authentication Capabilities nor Get Device ID.
uint8_t IdentifyBmc();

// The family a system GUID names (bytes as Get System GUID returns them; only the
// count received is read), or kBmcTypeNone when it matches no known pattern.
uint8_t BmcTypeFromGuid(const uint8_t* guid, uint32_t count);
