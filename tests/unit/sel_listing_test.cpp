// SEL timestamps in the information lines, and the decoded listing against
// random logs and random data files (also run under the sanitizer build).
#include "sel/sel_listing.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "app/run_state.hpp"
#include "platform/host/host_session.hpp"
#include "sdr/sdr_repository.hpp"
#include "sel/sel_log.hpp"

namespace {

std::string TimeText(uint32_t timestamp) {
  char text[kSelTimeTextSize];
  SelTimeText(timestamp, text, sizeof text);
  return text;
}

TEST(SelTimeText, PreInitBelow20000000hElseAsctimeWithCrLf) {
  EXPECT_EQ(TimeText(0x00001234), "Pre-Init \n");
  EXPECT_EQ(TimeText(0x00000000), "Pre-Init \n");
  EXPECT_EQ(TimeText(0x1FFFFFFF), "Pre-Init \n");
  EXPECT_EQ(TimeText(0x20000000), "Mon Jan  5 18:48:32 1987\r\n");
  EXPECT_EQ(TimeText(0x7FFFFFFF), "Tue Jan 19 03:14:07 2038\r\n");
  EXPECT_EQ(TimeText(0x80000000), "Pre-Init \n");
  EXPECT_EQ(TimeText(0xFFFFFFFF), "Pre-Init \n");
}

TEST(SelTimeText, MatchesTheCLibrarysAsctimeOfGmtime) {
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t timestamp = std::uniform_int_distribution<uint32_t>(0x20000000, 0x7FFFFFFF)(random);
    const time_t seconds = timestamp;
    struct tm broken;
    gmtime_r(&seconds, &broken);
    char expected[64];
    asctime_r(&broken, expected);  // ends in "\n"
    ASSERT_EQ(TimeText(timestamp), std::string(expected, std::strlen(expected) - 1) + "\r\n") << timestamp;
  }
}

// ---- Random logs and data files ---------------------------------------------

class Randomness {
 public:
  explicit Randomness(unsigned seed) : engine_(seed) {}
  unsigned Below(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(engine_); }
  uint8_t Byte() { return static_cast<uint8_t>(Below(256)); }
  // One of the values a decoder looks for, or any byte.
  uint8_t Pick(std::initializer_list<uint8_t> likely) {
    return Below(3) == 0 ? Byte() : likely.begin()[Below(static_cast<unsigned>(likely.size()))];
  }
  // Printable text that may fill its field with no terminator.
  std::string Text(size_t field) {
    const size_t length = Below(4) == 0 ? field : Below(static_cast<unsigned>(field));
    std::string text;
    for (size_t i = 0; i < length; ++i) text += Below(40) == 0 ? "Q7TUV"[Below(5)] : static_cast<char>(' ' + Below(95));
    return text.substr(0, field);
  }

 private:
  std::mt19937 engine_;
};

// A data file: the generated one, or random records, then mutated: bytes
// changed, a text field filled to its end (no terminator), cut anywhere (also
// inside a record).
std::string RandomFile(Randomness& r, const std::string& name, size_t recordSize, size_t textAt) {
  std::string file;
  if (r.Below(4) != 0) {
    std::ifstream in(std::filesystem::path(TOLVANE_EVENT_DATA_DIR) / name, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    for (unsigned i = 0, records = r.Below(12); i < records; ++i) {
      std::string record(recordSize, '\0');
      for (size_t k = 0; k < textAt && k < 3; ++k)
        record[k] = static_cast<char>(r.Pick({0x00, 0x01, 0x0C, 0x13, 0xFF}));
      const std::string text = r.Text(recordSize - textAt);
      file += record.replace(textAt, text.size(), text);
    }
  }
  const size_t records = file.size() / recordSize;
  for (unsigned i = 0, changes = r.Below(6); i < changes && !file.empty(); ++i) {
    file[r.Below(static_cast<unsigned>(file.size()))] = static_cast<char>(r.Byte());
  }
  if (records > 0 && r.Below(2) == 0) {
    file.replace(r.Below(static_cast<unsigned>(records)) * recordSize + textAt, recordSize - textAt,
                 std::string(recordSize - textAt, 'F'));
  }
  if (!file.empty() && r.Below(3) == 0) file.resize(r.Below(static_cast<unsigned>(file.size())));
  return file;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char part[4];
  for (uint8_t b : bytes) {
    std::snprintf(part, sizeof part, "%02X ", b);
    text += part;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

Scenario RandomBmc(Randomness& r, unsigned entries) {
  nlohmann::json sel = {{"capacity", 2000u}, {"entries", nlohmann::json::array()}};
  for (unsigned i = 0; i < entries; ++i) {
    std::vector<uint8_t> entry(16);
    for (uint8_t& b : entry) b = r.Byte();
    entry[0] = static_cast<uint8_t>(i + 1);
    entry[1] = 0;
    entry[10] = r.Pick({0x0C, 0x0C, 0x13, 0x13, 0xC3, 0xC6, 0x01, 0x0F, 0x2C, 0x2D});
    entry[12] = r.Pick({0x6F, 0x6F, 0x70, 0xEF, 0x01, 0x0C, 0x81});
    entry[13] = r.Pick({0x00, 0x01, 0x04, 0x05, 0xA0, 0xA1, 0xA4, 0xA5});
    entry[14] = r.Pick({0x00, 0x0A, 0x10, 0x02});
    entry[15] = r.Pick({0x00, 0x80, 0x81, 0x83, 0x0B});
    sel["entries"].push_back({{"raw", Hex(entry)}});
  }
  const unsigned board = r.Below(4);
  const std::string id = Hex({r.Pick({0x10, 0x11, 0x13}), r.Pick({0x01, 0x02, 0x03}), r.Byte()});
  sel["boardId"] = board == 0 ? nlohmann::json(nullptr) : nlohmann::json(id.substr(0, board * 3 - 1));
  nlohmann::json records = nlohmann::json::array();
  for (unsigned i = 0, count = r.Below(6); i < count; ++i) {
    std::vector<uint8_t> record(5 + r.Below(60));
    for (uint8_t& b : record) b = r.Byte();
    record[0] = static_cast<uint8_t>(i + 1);
    record[1] = 0;
    if (record.size() > 47) record[47] = static_cast<uint8_t>(0xC0 | r.Below(32));
    for (size_t k = 48; k < record.size(); ++k) record[k] = static_cast<uint8_t>('A' + r.Below(26));
    records.push_back(Hex(record));
  }
  nlohmann::json root = {{"sel", sel}, {"sdr", {{"records", records}}}};
  // Now and then a short or long Get SEL Entry reply.
  if (entries > 0 && r.Below(3) == 0) {
    std::vector<uint8_t> frame = {0x2C, 0x43, 0x00};
    for (unsigned i = 0, n = r.Below(24); i < n; ++i) frame.push_back(static_cast<uint8_t>(r.Below(3)));
    root["kcs"] = {{"onTransfer", 3 + r.Below(entries)}, {"responseFrame", Hex(frame)}};
  }
  Scenario scenario;
  std::string error;
  EXPECT_TRUE(ScenarioFromJson(root, &scenario, &error)) << error;
  return scenario;
}

TEST(SelListingProperty, RandomLogsAndDataFilesNeverBreakTheListing) {
  namespace fs = std::filesystem;
  std::string pattern = testing::TempDir() + "tolvane-sel-random-XXXXXX";
  const fs::path directory = mkdtemp(pattern.data());
  const fs::path before = fs::current_path();
  fs::current_path(directory);
  const char* const eventFiles[] = {"GenEvt.dat",   "SpecEvt1.dat", "SpecEvt2.dat",
                                    "SpecEvt3.dat", "SpecEvt4.dat", "SpecEvt5.dat"};
  const char* const keyedFiles[] = {"MBType.dat", "RomEN.dat", "RomEPEX.dat"};
  Randomness r(20240514);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    for (const char* name : eventFiles) std::ofstream(name, std::ios::binary) << RandomFile(r, name, 1028, 516);
    for (const char* name : keyedFiles) std::ofstream(name, std::ios::binary) << RandomFile(r, name, 258, 2);
    const unsigned entries = r.Below(25);
    auto bmc = std::make_unique<SimulatedBmc>(RandomBmc(r, entries));
    bmc->Attach(false);
    std::string output;
    CaptureConsole(&output);
    auto run = std::make_unique<RunState>();  // a fresh run
    const int status = ShowSelListing(run->sel, run->sdr);
    CaptureConsole(nullptr);
    SelectPortDriver(nullptr);
    if (status != 0) {
      // A short reply can chain to a record the log does not have.
      EXPECT_EQ(status, 11);
      EXPECT_EQ(output, "Failed to get SEL allocation info, Completion Code=CBh\n");
      continue;
    }
    // Each entry's two lines: number, time and name (at most 511 characters);
    // direction and text (at most 1023).
    std::istringstream lines(output);
    std::string first;
    std::string second;
    unsigned listed = 0;
    while (std::getline(lines, first) && std::getline(lines, second)) {
      ++listed;
      char number[8];
      std::snprintf(number, sizeof number, "%3u | ", listed);
      ASSERT_EQ(first.substr(0, 6), number);
      ASSERT_EQ(first.substr(25, 3), " | ") << first;
      ASSERT_EQ(first.back(), ' ');
      ASSERT_LE(first.size(), 6 + 19 + 3 + 511 + 1u);
      ASSERT_TRUE(second.rfind("    | Assertion:", 0) == 0 || second.rfind("    | Deassertion:", 0) == 0) << second;
      ASSERT_LE(second.size(), second.find(':') + 1 + 1023);
    }
    EXPECT_EQ(listed, entries);
    EXPECT_TRUE(output.empty() || output.back() == '\n');
  }
  fs::current_path(before);
  fs::remove_all(directory);
}

}  // namespace
