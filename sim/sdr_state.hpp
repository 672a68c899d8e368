// The simulated BMC's Sensor Data Record repository.
#pragma once

#include <cstdint>
#include <vector>

#include <nlohmann/json.hpp>

class JsonReader;

struct SdrState {
  // Whole records in repository order, each from its record ID (bytes 0-1, LS
  // first) on: the 5-byte header and the record body.
  std::vector<std::vector<uint8_t>> records;
  // The current reservation; 0 until Reserve SDR Repository was asked.
  uint16_t reservationId = 0;
};

// "sdr": {"records": ["01 00 51 01 35 ...", ...]}
void ReadSdrState(const nlohmann::json& object, SdrState* sdr, JsonReader& read);
nlohmann::json SdrStateToJson(const SdrState& sdr);
