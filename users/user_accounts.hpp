// -user: list and edit the BMC's user accounts on the LAN channel.
#pragma once

#include <cstdint>

// Results: 0 success, 11 a request failed, 12 a name or password too long for
// its IPMI field (refused before anything is sent).
int ListUsers();
int ShowPrivilegeCodes();
int AddUser(uint8_t id, const char* name, const char* password, uint8_t privilege);
int DeleteUser(uint8_t id);
int SetUserLevel(uint8_t id, uint8_t privilege);
int SetUserPasswordCommand(uint8_t id, const char* password);

// The listing's columns: the privilege limit in channel access bits 3:0 as text
// ("" for a value without a name), and "Yes"/"No" for the enable status bits 7:6.
const char* PrivilegeText(uint8_t channelAccess);
const char* UserEnabledText(uint8_t enableStatus);
