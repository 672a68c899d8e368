// What the FRU tool tests share: scenarios holding FRU images, the requests a
// whole-FRU read or write sends, the image a run left behind, and a scratch
// directory as the current directory (files are named relative to it).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/ipmi_message.hpp"
#include "tests/fru/fru_test_image.hpp"
#include "tests/tool/tool_harness.hpp"

namespace fru_tool {

using fru_test::Bytes;
using Requests = std::vector<std::string>;

inline constexpr const char kInventoryInfo[] = "0A 10 00";
inline constexpr const char kOemInventoryInfo[] = "30 80 00";
inline constexpr const char kUnlock[] = "30 06 00";
inline constexpr const char kLock[] = "30 06 01";

inline std::string HexByte(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value & 0xFF);
  return text;
}

// A BMC whose FRU devices hold these images; extra: more keys of "fru".
inline Scenario FruScenario(const std::vector<std::pair<uint8_t, Bytes>>& devices, const std::string& extra = "",
                            const std::string& rootExtra = "") {
  std::string json = R"({"fru": {"devices": [)";
  for (size_t i = 0; i < devices.size(); ++i) {
    json += (i ? ", " : "") + std::string(R"({"id": )") + std::to_string(devices[i].first) + R"(, "hex": ")" +
            fru_test::Hex(devices[i].second) + R"("})";
  }
  json += "]" + extra + "}" + rootExtra + "}";
  return ScenarioFrom(json);
}
inline Scenario FruScenario(const Bytes& image0, const std::string& extra = "", const std::string& rootExtra = "") {
  return FruScenario({{0, image0}}, extra, rootExtra);
}

// Device id's bytes after the run.
inline Bytes ImageAfter(const ToolRun& run, uint8_t id = 0) {
  const nlohmann::json state = nlohmann::json::parse(run.bmcState, nullptr, false);
  if (state.is_discarded()) return {};
  for (const nlohmann::json& device : state["fru"]["devices"]) {
    if (device["id"] == id) {
      Bytes bytes;
      ParseHexBytes(device["hex"].get<std::string>(), &bytes);
      return bytes;
    }
  }
  return {};
}

// The reads of a whole FRU of size bytes: 16 at a time from offset 0.
inline Requests ReadRequests(size_t size, uint8_t device = 0, const std::string& netFnCmd = "0A 11") {
  Requests requests;
  for (size_t offset = 0; offset < size; offset += 16) {
    requests.push_back(netFnCmd + " " + HexByte(device) + " " + HexByte(offset) + " " + HexByte(offset >> 8) + " 10");
  }
  return requests;
}

// Write FRU Data requests for image[0, length) in chunks (the last one carries
// what follows in image, which is 00h past its end).
inline Requests WriteRequests(const Bytes& image, size_t length, size_t chunk, uint8_t device = 0,
                              const std::string& netFnCmd = "0A 12") {
  Requests requests;
  for (size_t offset = 0; offset < length; offset += chunk) {
    std::string request = netFnCmd + " " + HexByte(device) + " " + HexByte(offset) + " " + HexByte(offset >> 8);
    for (size_t i = offset; i < offset + chunk; ++i) request += " " + HexByte(i < image.size() ? image[i] : 0);
    requests.push_back(request);
  }
  return requests;
}

inline Requests Concat(std::initializer_list<Requests> parts) {
  Requests all;
  for (const Requests& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The device after a rebuilt image was written over it in 8-byte chunks.
inline Bytes Overwritten(Bytes device, const Bytes& image) {
  const size_t written = (image.size() + 7) / 8 * 8;
  for (size_t i = 0; i < written && i < device.size(); ++i) device[i] = i < image.size() ? image[i] : 0;
  return device;
}

// What a field write sends: the read, unlock, the image in 8-byte chunks,
// lock, and the listing's read.
inline Requests WriteSequence(size_t fruSize, const Bytes& image, uint8_t device = 0) {
  const Requests reads = Concat({{kInventoryInfo}, ReadRequests(fruSize, device)});
  return Concat({reads, {kUnlock}, WriteRequests(image, image.size(), 8, device), {kLock}, reads});
}

// "" when equal; else where the images part, with a few bytes of each.
inline std::string FirstDifference(const Bytes& actual, const Bytes& expected) {
  if (actual == expected) return "";
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  auto around = [at](const Bytes& bytes) {
    const size_t from = at < 8 ? 0 : at - 8;
    return fru_test::Hex(
        Bytes(bytes.begin() + std::min(from, bytes.size()), bytes.begin() + std::min(at + 8, bytes.size())));
  };
  return "sizes " + std::to_string(actual.size()) + "/" + std::to_string(expected.size()) + ", first difference at " +
         std::to_string(at) + ": got [" + around(actual) + "] expected [" + around(expected) + "]";
}

// Everything a field write of image over the device's bytes before leaves:
// status 0, the exact requests, the device's bytes after, and as output
// extraOutput followed by the listing of the FRU as the run left it.
inline void ExpectFieldWrite(const ToolRun& run, const Bytes& before, const Bytes& image,
                             const std::string& extraOutput = "", uint8_t device = 0) {
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, WriteSequence(before.size(), image, device));
  EXPECT_EQ(FirstDifference(ImageAfter(run, device), Overwritten(before, image)), "");
  const ToolRun listing = RunTool(ScenarioFrom(run.bmcState), {device == 0 ? "-fru" : "-fru1", "list"});
  EXPECT_EQ(run.output, extraOutput + listing.output);
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// A fresh directory that is the current directory while the object lives (the
// tool runs in a child that inherits it).
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = testing::TempDir() + "tolvane-fru-XXXXXX";
    path_ = mkdtemp(pattern.data());
    char previous[4096];
    previous_ = getcwd(previous, sizeof previous) != nullptr ? previous : "/";
    if (chdir(path_.c_str()) != 0) ADD_FAILURE() << "cannot enter " << path_;
  }
  ~ScratchDirectory() {
    if (chdir(previous_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << previous_;
    std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

}  // namespace fru_tool
