// -fru backup and -fru restore: the file holds exactly the FRU's bytes, the
// restore writes it back in 16-byte chunks between unlock and lock, and every
// failure leaves one line, status 11 and no partial file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <string>
#include <vector>

#include "tests/fru/fru_test_image.hpp"
#include "tests/tool/fru_tool_support.hpp"
#include "tests/tool/tool_harness.hpp"

namespace {

using namespace fru_test;
using namespace fru_tool;

// Distinct bytes everywhere, so a shifted or missing chunk shows.
Bytes Pattern(size_t size, unsigned seed = 7) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 31 + seed + i / 256) & 0xFF);
  return bytes;
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

TEST(ToolFruBackup, WholeFruToTheFile) {
  ScratchDirectory directory;
  const Bytes fru = Pattern(2048);
  ToolRun run = RunTool(FruScenario(fru), {"-fru", "backup", "fru.bin"});
  EXPECT_EQ(run.output, "Backup FRU successfully.\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(2048)}));
  EXPECT_EQ(FirstDifference(ReadFile("fru.bin"), fru), "");

  // Over an earlier backup: replaced whole, nothing left beside it.
  run = RunTool(FruScenario(Pattern(300, 99)), {"-fru", "backup", "fru.bin"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(FirstDifference(ReadFile("fru.bin"), Pattern(300, 99)), "");
  EXPECT_FALSE(Exists("fru.bin.tvnew"));

  // Reported size 0: an empty file.
  run = RunTool(FruScenario(Bytes{}), {"-fru", "backup", "empty.bin"});
  EXPECT_EQ(run.output, "Backup FRU successfully.\n");
  EXPECT_EQ(run.requests, Requests{kInventoryInfo});
  EXPECT_TRUE(Exists("empty.bin"));
  EXPECT_TRUE(ReadFile("empty.bin").empty());

  // -fru1: device 1, with the size device 0 reports.
  const Bytes riser = Pattern(128, 3);
  run = RunTool(FruScenario({{0, Pattern(64)}, {1, riser}}), {"-fru1", "backup", "riser.bin"});
  EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(64, 1)}));
  EXPECT_EQ(FirstDifference(ReadFile("riser.bin"), Bytes(riser.begin(), riser.begin() + 64)), "");

  // Word access: twice the reported size, as read.
  run = RunTool(
      ScenarioFrom(R"({"fru": {"devices": [{"id": 0, "hex": ")" + Hex(Pattern(256)) + R"(", "wordAccess": true}]}})"),
      {"-fru", "backup", "words.bin"});
  EXPECT_EQ(FirstDifference(ReadFile("words.bin"), Pattern(256)), "");
}

TEST(ToolFruBackup, TheWholeFruOrNoFile) {
  ScratchDirectory directory;
  const struct {
    std::string device;
    std::string fru;
    std::string output;
    size_t reads;
  } cases[] = {
      {R"({"id": 0, "size": 4096})", "", "Backup FRU successfully.\n", 256},
      {R"({"id": 0, "size": 4097})", "", "FRU of 4097 bytes is larger than 4096 bytes; no backup written.\n", 256},
      {R"({"id": 0, "size": 65535})", "", "FRU of 65535 bytes is larger than 4096 bytes; no backup written.\n", 256},
      {R"({"id": 0, "size": 64})", R"(, "readLimit": 16)", "Backup FRU successfully.\n", 4},
      {R"({"id": 0, "size": 64})", R"(, "readLimit": 12)",
       "The BMC returned fewer FRU bytes than asked; no backup written.\n", 4},
  };
  for (const auto& c : cases) {
    const ToolRun run =
        RunTool(ScenarioFrom(R"({"fru": {"devices": [)" + c.device + "]" + c.fru + "}}"), {"-fru", "backup", "b.bin"});
    EXPECT_EQ(run.output, c.output) << c.device << c.fru;
    EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(c.reads * 16)})) << c.device;
    const bool written = run.status == 0;
    EXPECT_EQ(run.status, written ? 0 : 11);
    EXPECT_EQ(Exists("b.bin"), written) << c.device << c.fru;
    std::remove("b.bin");
  }
}

TEST(ToolFruBackup, FileFailures) {
  ScratchDirectory directory;
  const Bytes fru = Pattern(2048);
  // The file cannot be created.
  ToolRun run = RunTool(FruScenario(fru), {"-fru", "backup", "no-such-directory/fru.bin"});
  EXPECT_EQ(run.output, "new no-such-directory/fru.bin file error\n");
  EXPECT_EQ(run.status, 11);
  EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(2048)}));
  // A file that may not be written (read-only, also for root) or a directory
  // of that name: refused before anything is written, the file unchanged.
  WriteFile("read-only.bin", Pattern(16));
  chmod("read-only.bin", 0444);
  mkdir("directory.bin", 0755);
  for (const char* name : {"read-only.bin", "directory.bin"}) {
    run = RunTool(FruScenario(fru), {"-fru", "backup", name});
    EXPECT_EQ(run.output, "new " + std::string(name) + " file error\n");
    EXPECT_EQ(run.status, 11);
    EXPECT_FALSE(Exists(std::string(name) + ".tvnew"));
  }
  EXPECT_EQ(FirstDifference(ReadFile("read-only.bin"), Pattern(16)), "");
  // The bytes cannot be written (a device that is always full).
  run = RunTool(FruScenario(fru), {"-fru", "backup", "/dev/full"});
  EXPECT_EQ(run.output, "Write /dev/full file error\n");
  EXPECT_EQ(run.status, 11);
  // The FRU cannot be read: no file at all.
  run = RunTool(FruScenario(fru, "", R"(, "completionCodes": [{"netFn": "0A", "cmd": "11", "nth": 5, "code": "C9"}])"),
                {"-fru", "backup", "partial.bin"});
  EXPECT_EQ(run.output, "Failed to get FRU data, Completion Code=C9h\n");
  EXPECT_EQ(run.status, 11);
  EXPECT_FALSE(Exists("partial.bin"));
  run = RunTool(ScenarioFrom(R"({"completionCodes": [{"netFn": "0A", "cmd": "10", "code": "D5"}]})"),
                {"-fru", "backup", "partial.bin"});
  EXPECT_EQ(run.output, "Failed to get FRU inventory area, Completion Code=D5h\n");
  EXPECT_FALSE(Exists("partial.bin"));
}

TEST(ToolFruBackup, AFailedWriteKeepsTheEarlierBackup) {
  ScratchDirectory directory;
  const Bytes earlier = Pattern(2048, 1);
  WriteFile("fru.bin", earlier);
  // Files of this process and its children may not grow beyond 1024 bytes;
  // the write fails (EFBIG) instead of ending the run.
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = previous;
  limited.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const ToolRun run = RunTool(FruScenario(Pattern(2048, 2)), {"-fru", "backup", "fru.bin"});
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(run.output, "Write fru.bin file error\n");
  EXPECT_EQ(run.status, 11);
  EXPECT_EQ(FirstDifference(ReadFile("fru.bin"), earlier), "");
  EXPECT_FALSE(Exists("fru.bin.tvnew"));
}

Requests Restore(const Bytes& file, size_t length, uint8_t device = 0, const std::string& netFnCmd = "0A 12") {
  return WriteRequests(file, length, 16, device, netFnCmd);
}

TEST(ToolFruRestore, ChunksOfSixteen) {
  ScratchDirectory directory;
  const Bytes device(2048, 0xEE);
  for (size_t size : {256u, 100u, 0u, 1u, 16u, 17u, 2048u}) {
    const Bytes file = Pattern(size, 5);
    WriteFile("in.bin", file);
    const ToolRun run = RunTool(FruScenario(device), {"-fru", "restore", "in.bin"});
    EXPECT_EQ(run.output, "Restore FRU successfully.\n") << size;
    EXPECT_EQ(run.status, 0);
    // The last chunk carries the file's last bytes and 00h after them.
    EXPECT_EQ(run.requests, Concat({{kUnlock}, Restore(file, size), {kLock}})) << size;
    EXPECT_EQ(run.requests.size(), 2 + (size + 15) / 16);
    Bytes expected = device;
    for (size_t i = 0; i < (size + 15) / 16 * 16; ++i) expected[i] = i < size ? file[i] : 0;
    EXPECT_EQ(FirstDifference(ImageAfter(run), expected), "") << size;
  }
  // The 100-byte file: seven writes, the seventh at 96 with four bytes and twelve 00h.
  const Bytes hundred = Pattern(100, 5);
  WriteFile("in.bin", hundred);
  const ToolRun run = RunTool(FruScenario(device), {"-fru", "restore", "in.bin"});
  ASSERT_EQ(run.requests.size(), 9u);
  EXPECT_EQ(run.requests[7], "0A 12 00 60 00 " + Hex(Bytes(hundred.begin() + 96, hundred.end())) +
                                 " 00 00 00 00 00 00 00 00 00 00 00 00");
}

TEST(ToolFruRestore, CommandSetAndDevice) {
  ScratchDirectory directory;
  const Bytes file = Pattern(48);
  WriteFile("in.bin", file);
  WriteFile("fru_source_index", std::string("1"));
  ToolRun run = RunTool(FruScenario({{0, Bytes(64)}, {1, Bytes(64)}}), {"-fru1", "restore", "in.bin"});
  EXPECT_EQ(run.requests, Concat({{kUnlock}, Restore(file, 48, 1, "30 82"), {kLock}}));
  const Bytes after = ImageAfter(run, 1);
  EXPECT_EQ(FirstDifference(Bytes(after.begin(), after.begin() + 48), file), "");
  WriteFile("fru_source_index", std::string("0"));
  run = RunTool(FruScenario({{0, Bytes(64)}}), {"-fru", "restore", "in.bin"});
  EXPECT_EQ(run.requests, Concat({{kUnlock}, Restore(file, 48), {kLock}}));
}

TEST(ToolFruRestore, Failures) {
  ScratchDirectory directory;
  const Bytes device(8192, 0x00);
  WriteFile("in.bin", Pattern(256));
  WriteFile("8192.bin", Pattern(8192));
  WriteFile("8193.bin", Pattern(8193));
  const Requests all = Restore(Pattern(256), 256);
  const struct {
    std::string file;
    std::string fru;
    std::string faults;
    std::string output;
    Requests requests;
  } cases[] = {
      // The tenth write fails: nine chunks stay written, no lock.
      {"in.bin", "", R"(, "completionCodes": [{"netFn": "0A", "cmd": "12", "nth": 10, "code": "C0"}])",
       "Write FRU error, Completion Code=C0h\n", Concat({{kUnlock}, Requests(all.begin(), all.begin() + 10)})},
      {"missing.bin", "", "", "Load missing.bin file error.\n", {kUnlock}},
      {"in.bin", R"(, "writeControl": false)", "", "Unlock FRU error, Completion Code=C1h\n", {kUnlock}},
      {"in.bin", "", R"(, "completionCodes": [{"netFn": "30", "cmd": "06", "data": "01", "code": "C2"}])",
       "Restore FRU successfully.\nLock FRU error, Completion Code=C2h\n", Concat({{kUnlock}, all, {kLock}})},
      // Longer than the tool's 8192-byte buffer: refused after the unlock.
      {"8193.bin", "", "", "8193.bin is larger than 8192 bytes; nothing written.\n", {kUnlock}},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(FruScenario(device, c.fru, c.faults), {"-fru", "restore", c.file});
    EXPECT_EQ(run.output, c.output) << c.file << c.fru << c.faults;
    EXPECT_EQ(run.status, 11);
    EXPECT_EQ(run.requests, c.requests) << c.file << c.fru << c.faults;
  }
  // 8192 bytes fit.
  ToolRun run = RunTool(FruScenario(device), {"-fru", "restore", "8192.bin"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests.size(), 2u + 512u);
  EXPECT_EQ(FirstDifference(ImageAfter(run), Pattern(8192)), "");
  // A file longer than the FRU: the first chunk past its end fails.
  run = RunTool(FruScenario(Bytes(64)), {"-fru", "restore", "in.bin"});
  EXPECT_EQ(run.output, "Write FRU error, Completion Code=C9h\n");
  EXPECT_EQ(run.requests, Concat({{kUnlock}, Requests(all.begin(), all.begin() + 5)}));
}

TEST(ToolFruRestore, BackupThenRestoreGivesTheSameFru) {
  ScratchDirectory directory;
  const Bytes original = LaidOut({{kHeaderProduct, ProductArea(Fields({"M", "N", "P", "V", "SERIAL", "T", ""}))}}, 512);
  const std::string scenario = R"({"fru": {"devices": [{"id": 0, "hex": ")" + Hex(original) + R"("}]}})";
  ASSERT_EQ(RunTool(ScenarioFrom(scenario), {"-fru", "backup", "saved.bin"}).status, 0);
  // A BMC whose FRU was changed since.
  Bytes changed = original;
  changed[20] ^= 0xFF;
  const ToolRun run = RunTool(FruScenario(changed), {"-fru", "restore", "saved.bin"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(FirstDifference(ImageAfter(run), original), "");
}

}  // namespace
