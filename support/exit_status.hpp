// Exit statuses every command returns and scripts rely on.
#pragma once

inline constexpr int kStatusSuccess = 0;
inline constexpr int kStatusDataFileMissing = 1;  // the run was ended early: an event data file is missing
inline constexpr int kStatusFailed = 11;          // an exchange, a file or a restart failed
inline constexpr int kStatusInvalidOperand = 12;  // an operand value was rejected
inline constexpr int kStatusUnsupported = 13;     // a factory default the controller does not support
inline constexpr int kStatusUsage = 31;           // the usage text was shown
