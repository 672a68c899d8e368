// The simulated BMC's System Event Log and the board identifier its OEM
// request reports.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

class JsonReader;

inline constexpr size_t kSimSelEntrySize = 16;
using SimSelEntry = std::array<uint8_t, kSimSelEntrySize>;

struct SelState {
  // Whole entries in log order, each from its record ID (bytes 0-1, LS first).
  std::vector<SimSelEntry> entries;
  // Entries the log can hold; each takes one 16-byte allocation unit.
  unsigned capacity = 1000;
  // The SEL clock (seconds since 1970) when the BMC starts; it runs with the
  // simulated time.
  uint32_t time = 0;
  uint32_t lastAddTime = 0;
  uint32_t lastEraseTime = 0;
  // Get SEL Info operation support: 01h Get SEL Allocation Info, 02h Reserve SEL
  // (each answers C1h without its bit).
  uint8_t operationSupport = 0x03;
  // The last reservation given out; a Clear SEL cancels it. Kept with the rest
  // of the state, so that the host tool's next run continues the count as a
  // BMC that keeps running does.
  uint16_t reservationId = 0;
  bool reservationValid = false;
  // The reply of the OEM board identifier request (NetFn 30h, command 21h);
  // none: the request answers C1h.
  std::optional<std::vector<uint8_t>> boardId;
};

// A log with a few typical events and a board of the Normal family.
SelState DefaultSelState();

// "sel": {"capacity", "time", "lastAddTime", "lastEraseTime", "operationSupport",
// "reservationId", "reservationValid",
// "boardId", "entries": [...], "fillTo"}; see docs/simulator.md.
void ReadSelState(const nlohmann::json& object, SelState* sel, JsonReader& read);
nlohmann::json SelStateToJson(const SelState& sel);
