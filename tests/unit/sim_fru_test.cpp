// The simulated BMC's FRU devices: inventory info, reads and writes by offset,
// the OEM write lock that gates writes, the OEM command set, and the "fru"
// scenario keys.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sim/bmc_model.hpp"
#include "sim/scenario.hpp"

namespace {

Scenario FromJson(const std::string& text, const std::string& base = "") {
  Scenario scenario;
  std::string error;
  EXPECT_TRUE(ScenarioFromJson(nlohmann::json::parse(text), &scenario, &error, base)) << error;
  return scenario;
}

// One request "NN CC DD ..." (NetFn unshifted); the answer "CC DD ..." from the
// completion code on.
class Bmc {
 public:
  explicit Bmc(const Scenario& scenario) : model_(scenario, &clock_) {}
  std::string Send(const std::string& request) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ParseHexBytes(request, &bytes)) << request;
    bytes[0] = static_cast<uint8_t>(bytes[0] << 2);
    return HexBytesText(std::span<const uint8_t>(*model_.HandleFrame(bytes)).subspan(2));
  }
  const std::vector<uint8_t>& Image(uint8_t id) { return FindFruDevice(model_.State().fru, id)->image; }
  VirtualClock clock_;
  BmcModel model_;
};

const char kTwoDevices[] = R"({"fru": {"devices": [
    {"id": 0, "hex": "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14", "size": 24},
    {"id": 1, "hex": "AA BB", "size": 8, "wordAccess": true}]}})";

TEST(SimFru, InventoryInfoAndReads) {
  Bmc bmc(FromJson(kTwoDevices));
  EXPECT_EQ(bmc.Send("0A 10 00"), "00 18 00 00");
  EXPECT_EQ(bmc.Send("0A 10 01"), "00 04 00 01");  // 8 bytes as 4 words
  EXPECT_EQ(bmc.Send("0A 10 02"), "CC");
  EXPECT_EQ(bmc.Send("0A 10"), "C7");
  EXPECT_EQ(bmc.Send("0A 11 00 00 00 04"), "00 04 01 02 03 04");
  // The count stops at the device's end; at or past it, C9h.
  EXPECT_EQ(bmc.Send("0A 11 00 10 00 10"), "00 08 11 12 13 14 00 00 00 00");
  EXPECT_EQ(bmc.Send("0A 11 00 17 00 10"), "00 01 00");
  EXPECT_EQ(bmc.Send("0A 11 00 18 00 10"), "C9");
  EXPECT_EQ(bmc.Send("0A 11 00 00 01 01"), "C9");
  EXPECT_EQ(bmc.Send("0A 11 01 00 00 10"), "00 08 AA BB 00 00 00 00 00 00");
  EXPECT_EQ(bmc.Send("0A 11 00 00 00"), "C7");
}

TEST(SimFru, WritesOnlyWhileUnlockedAndWithinTheDevice) {
  Bmc bmc(FromJson(kTwoDevices));
  // Locked at the start: refused, nothing changes.
  EXPECT_EQ(bmc.Send("0A 12 00 00 00 AA"), "80");
  EXPECT_EQ(bmc.Image(0)[0], 0x01);
  EXPECT_EQ(bmc.Send("30 06 00"), "00");
  EXPECT_EQ(bmc.Send("0A 12 00 00 00 AA BB"), "00 02");
  EXPECT_EQ(bmc.Image(0)[1], 0xBB);
  // The last bytes, then one past them (nothing written), then at the end.
  EXPECT_EQ(bmc.Send("0A 12 00 16 00 EE FF"), "00 02");
  EXPECT_EQ(bmc.Send("0A 12 00 17 00 11 22"), "C8");
  EXPECT_EQ(bmc.Image(0)[23], 0xFF);
  EXPECT_EQ(bmc.Send("0A 12 00 18 00 11"), "C9");
  EXPECT_EQ(bmc.Send("0A 12 05 00 00 11"), "CC");
  EXPECT_EQ(bmc.Send("0A 12 00 00"), "C7");
  // Locked again.
  EXPECT_EQ(bmc.Send("30 06 01"), "00");
  EXPECT_EQ(bmc.Send("0A 12 00 00 00 CC"), "80");
  EXPECT_EQ(bmc.Image(0)[0], 0xAA);
  EXPECT_EQ(bmc.Send("30 06 02"), "CC");
  EXPECT_EQ(bmc.Send("30 06 00 00"), "C7");
  EXPECT_EQ(bmc.Send("30 06"), "C7");
}

TEST(SimFru, OemCommandSetAndControlSwitches) {
  Bmc bmc(FromJson(kTwoDevices));
  EXPECT_EQ(bmc.Send("30 80 00"), "00 18 00 00");
  EXPECT_EQ(bmc.Send("30 81 00 00 00 02"), "00 02 01 02");
  EXPECT_EQ(bmc.Send("30 06 00"), "00");
  EXPECT_EQ(bmc.Send("30 82 00 00 00 77"), "00 01");
  EXPECT_EQ(bmc.Image(0)[0], 0x77);

  // Without the OEM commands and without the write control (as ipmi_sim).
  Bmc plain(FromJson(R"({"fru": {"oemCommands": false, "writeControl": false, "readLimit": 3}})"));
  EXPECT_EQ(plain.Send("30 80 00"), "C1");
  EXPECT_EQ(plain.Send("30 81 00 00 00 02"), "C1");
  EXPECT_EQ(plain.Send("30 06 00"), "C1");
  EXPECT_EQ(plain.Send("0A 12 00 00 00 01"), "00 01");           // writes are free
  EXPECT_EQ(plain.Send("0A 11 00 00 00 10"), "00 03 01 00 01");  // at most 3 bytes a read
}

TEST(SimFru, ScenarioKeys) {
  // The built-in BMC: FRU 0 and FRU 1, 2048 bytes each, locked.
  const Scenario defaults = DefaultScenario();
  ASSERT_EQ(defaults.state.fru.devices.size(), 2u);
  EXPECT_EQ(defaults.state.fru.devices[0].image.size(), 2048u);
  EXPECT_EQ(defaults.state.fru.devices[0].image[0], 0x01);
  EXPECT_FALSE(defaults.state.fru.unlocked);

  // An image from a file, relative to the scenario's directory.
  const std::string directory = ::testing::TempDir();
  {
    std::ofstream out(directory + "/sim-fru-image.bin", std::ios::binary);
    out << std::string("\x01\x00\xFF", 3);
  }
  const Scenario fromFile =
      FromJson(R"({"fru": {"devices": [{"id": 7, "file": "sim-fru-image.bin", "size": 5}]}})", directory);
  ASSERT_EQ(fromFile.state.fru.devices.size(), 1u);
  EXPECT_EQ(fromFile.state.fru.devices[0].id, 7);
  EXPECT_EQ(fromFile.state.fru.devices[0].image, (std::vector<uint8_t>{0x01, 0x00, 0xFF, 0x00, 0x00}));

  // Written back as hexadecimal, and read again the same.
  std::string error;
  Scenario back;
  ASSERT_TRUE(ScenarioFromJson(ScenarioToJson(fromFile), &back, &error)) << error;
  EXPECT_EQ(ScenarioToJson(back), ScenarioToJson(fromFile));
  EXPECT_EQ(back.state.fru.devices[0].image, fromFile.state.fru.devices[0].image);

  const struct {
    const char* json;
    const char* error;
  } refused[] = {
      {R"({"fru": {"devices": [{"id": 0, "hex": "01 02", "size": 1}]}})",
       "\"size\" must be at least the length of the image"},
      {R"({"fru": {"devices": [{"id": 0, "size": 65536}]}})",
       "\"size\" must be at most FFFFh bytes (words: an even count of bytes, at most FFFFh words)"},
      {R"({"fru": {"devices": [{"id": 0, "size": 3, "wordAccess": true}]}})",
       "\"size\" must be at most FFFFh bytes (words: an even count of bytes, at most FFFFh words)"},
      {R"({"fru": {"devices": [{"id": 0, "file": "/nonexistent/fru.bin"}]}})",
       "\"file\" must be a readable FRU image file (/nonexistent/fru.bin)"},
      {R"({"fru": {"devices": [{"id": 0, "hex": "0G"}]}})", "\"hex\" must be hexadecimal bytes such as \"20 81 0A\""},
  };
  for (const auto& c : refused) {
    Scenario scenario;
    EXPECT_FALSE(ScenarioFromJson(nlohmann::json::parse(c.json), &scenario, &error)) << c.json;
    EXPECT_EQ(error, c.error);
  }
  // 65535 words are 131070 bytes: allowed.
  EXPECT_NO_FATAL_FAILURE(FromJson(R"({"fru": {"devices": [{"id": 0, "size": 131070, "wordAccess": true}]}})"));
}

}  // namespace
