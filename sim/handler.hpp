// Request handlers of the simulated BMC, one table per group of commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "sim/ipmi_message.hpp"

class BmcModel;

// The simulator names its IPMI numbers itself rather than sharing the tool's
// transport/ipmi_defs.hpp: it is the tool's test peer, and a wrong number shared
// by both sides would pass every test.
// Completion codes, IPMI 2.0 table 5-2.
inline constexpr uint8_t kSimCcSuccess = 0x00;
inline constexpr uint8_t kSimCcParameterNotSupported = 0x80;
inline constexpr uint8_t kSimCcInvalidCommand = 0xC1;
inline constexpr uint8_t kSimCcReservationCancelled = 0xC5;
inline constexpr uint8_t kSimCcRequestDataLengthInvalid = 0xC7;
inline constexpr uint8_t kSimCcRequestDataTruncated = 0xC8;
inline constexpr uint8_t kSimCcParameterOutOfRange = 0xC9;
inline constexpr uint8_t kSimCcCannotReturnRequestedBytes = 0xCA;
inline constexpr uint8_t kSimCcNotPresent = 0xCB;
inline constexpr uint8_t kSimCcInvalidDataField = 0xCC;

using Handler = IpmiReply (*)(BmcModel& bmc, const IpmiMessage& request);

struct HandlerEntry {
  uint8_t netFn;
  uint8_t cmd;
  size_t minDataLength;  // shorter requests get C7h before the handler runs
  Handler handle;
};

inline IpmiReply Reply(std::vector<uint8_t> data) { return IpmiReply{kSimCcSuccess, std::move(data)}; }
inline IpmiReply Refuse(uint8_t completionCode) { return IpmiReply{completionCode, {}}; }

// The tables, each defined beside the state it serves.
std::span<const HandlerEntry> AppHandlers();
std::span<const HandlerEntry> InterfaceHandlers();
std::span<const HandlerEntry> LanHandlers();
std::span<const HandlerEntry> ControllerHandlers();
std::span<const HandlerEntry> UserHandlers();
std::span<const HandlerEntry> SdrHandlers();
std::span<const HandlerEntry> SelHandlers();
std::span<const HandlerEntry> SensorHandlers();
std::span<const HandlerEntry> FruHandlers();
