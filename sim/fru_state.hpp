// The simulated BMC's FRU inventory devices and its OEM FRU write control.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class JsonReader;

struct FruDevice {
  uint8_t id = 0;
  std::vector<uint8_t> image;  // the device's bytes; its length is the size reported
  // Reports access by words (Get FRU Inventory Area Info: size in words, access
  // type 01h). Requests still address bytes.
  bool wordAccess = false;
};

struct FruState {
  std::vector<FruDevice> devices;
  // The OEM FRU write control (NetFn 30h, command 06h, 00h unlock / 01h lock):
  // when the BMC has it, Write FRU Data is refused with 80h while locked; when
  // it has not, the request is an unknown command (C1h) and writes are free.
  bool writeControl = true;
  bool unlocked = false;
  // The OEM FRU commands (NetFn 30h, 80h-82h) answered like 0Ah 10h-12h.
  bool oemCommands = true;
  // The most FRU bytes one Read FRU Data returns (fewer than asked is allowed).
  unsigned readLimit = 64;
};

// FRU 0 of a rack server (chassis, board and product areas and a multirecord,
// 2048 bytes) and FRU 1 of a riser (a board area with a board version).
FruState DefaultFruState();
// "fru": {"writeControl": true, "unlocked": false, "oemCommands": true, "readLimit": 64,
//   "devices": [{"id": 0, "hex": "01 00 ...", "size": 2048, "wordAccess": false},
//               {"id": 1, "file": "fru1.bin"}]}
// Giving "devices" replaces them all; "file" names a binary image (relative to
// baseDirectory); "size" pads the image with 00h to that many bytes.
void ReadFruState(const nlohmann::json& object, FruState* fru, JsonReader& read, const std::string& baseDirectory);
nlohmann::json FruStateToJson(const FruState& fru);

// The device with that ID, or nullptr.
const FruDevice* FindFruDevice(const FruState& fru, uint8_t id);
