// Controller identification: which family of BMC answers, by its system GUID or,
// failing that, by its IPMI 2.0 capability (controller/controller_family.hpp).
#pragma once

#include <cstdint>

#include "controller/controller_commands.hpp"
#include "controller/controller_family.hpp"

// Sets *bmcType (BmcType) and returns 00h when the identification concluded,
// or the completion code of the last request when the controller answered
// neither the plain Get Channel Authentication Capabilities nor Get Device ID
// (*bmcType is then kBmcTypeUnidentified).
uint8_t IdentifyBmc(uint8_t* bmcType);

// Get Device ID: 00h with the firmware revision bytes; CEh for a reply without
// both revision bytes (the auxiliary byte is optional).
uint8_t GetDeviceId(DeviceIdReply* reply);
