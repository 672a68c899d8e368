// The simulated BMC's LAN configuration parameters on its LAN channel.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class JsonReader;

struct LanState {
  // Parameter selector -> data bytes (after the revision). A selector that is not
  // here is not supported: Get and Set answer 80h.
  std::map<uint8_t, std::vector<uint8_t>> parameters;
};

LanState DefaultLanState();
// "lan": {"03": "C0 A8 00 64", ...}; a key with null removes that parameter.
void ReadLanState(const nlohmann::json& object, LanState* lan, JsonReader& read);
nlohmann::json LanStateToJson(const LanState& lan);
