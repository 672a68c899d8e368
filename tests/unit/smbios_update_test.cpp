// The FRU update from SMBIOS on the tool's side: reading SmbiosTemplate.cfg by
// its line rules, and UpdateFruFromSmbios around the dump and the field write.
// The field write is a stand-in here that records what it was asked to write.
#include "fru/smbios_update.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fru/fru_write.hpp"
#include "platform/host/host_platform.hpp"
#include "tests/unit/smbios_builder.hpp"

namespace {

struct FieldWrite {
  std::string code;
  std::string value;
};
std::vector<FieldWrite> FieldWrites;
int FieldWriteStatus = 0;

// The FRU session the update hands on to the field write.
FruSession& Fru() {
  static auto session = std::make_unique<FruSession>();
  return *session;
}

}  // namespace

int WriteFruField(FruSession&, bool, const char* code, const char* value) {
  FieldWrites.push_back({code, value});
  return FieldWriteStatus;
}

namespace {

const char kTemplate[] =
    "[ Type 1 ]:1;\n"
    "Manufacturer=QEMU;\n"
    "ProductName=Standard PC (Q35 + ICH9, 2009);\n"
    "Version=pc-q35-7.2;\n"
    "SerialNumber=SYS-SN-0001;\n"
    "\n"
    "[ Type 2 ]:1;\n"
    "Manufacturer=Board Maker;\n"
    "Product=BRD-2;\n"
    "Version=B2.0;\n"
    "SerialNumber=BRD-SN-0002;\n"
    "\n"
    "[ Type 3 ]:1;\n"
    "Manufacturer=Chassis Maker;\n"
    "Version=C3;\n"
    "SerialNumber=CH-SN,0003;\n";

struct Read {
  SmbiosTemplateRead result;
  std::string value;
};

Read ReadFrom(const std::string& content, const char* code) {
  ScratchDirectory scratch;
  ScratchDirectory::Write("SmbiosTemplate.cfg", content);
  const SmbiosSelector* selector = FindSmbiosSelector(code);
  EXPECT_NE(nullptr, selector) << code;
  char value[128] = "untouched";  // room beyond the limit: the limit itself must refuse
  const SmbiosTemplateRead result =
      ReadSmbiosTemplateValue("SmbiosTemplate.cfg", selector->sectionType, selector->lineIndex, value, sizeof value);
  return {result, result == SmbiosTemplateRead::Found ? value : ""};
}

TEST(SmbiosTemplateReading, LineRules) {
  const std::string piece(127 - 4, 'p');  // "K=" piece ";\n": 127 characters
  struct Case {
    const char* name;
    std::string content;
    const char* code;
    SmbiosTemplateRead result;
    const char* value;
  };
  const Case cases[] = {
      {"sections in another order", "[ Type 3 ]:1;\nM=c;\nV=c;\nS=CS3;\n[ Type 1 ]:1;\nM=a;\nP=b;\nV=c;\nS=PS1;\n",
       "1s", SmbiosTemplateRead::Found, "PS1"},
      {"empty lines do not count", "[ Type 3 ]:1;\n\n\nM=c;\n\nV=c;\n\n\nS=CS3;\n", "3s", SmbiosTemplateRead::Found,
       "CS3"},
      {"a line of one blank and its newline counts", "[ Type 3 ]:1;\nM=c;\n \nS=CS3;\n", "3s",
       SmbiosTemplateRead::Found, "CS3"},
      {"Key=ABC123;", "[ Type 1 ]:1;\nKey=ABC123;\n", "1m", SmbiosTemplateRead::Found, "ABC123"},
      {"one character", "[ Type 1 ]:1;\nK=X;\n", "1m", SmbiosTemplateRead::Found, "X"},
      {"the closing characters are any two", "[ Type 1 ]:1;\nK=ABC!\n", "1m", SmbiosTemplateRead::Found, "ABC"},
      {"a short section takes the next header as its value line",
       "[ Type 1 ]:1;\nM=a;\nP=b;\nV=c;\n[ Type 2 ]:1;\nM=d;\nP=e;\nV=f;\nS=g;\n", "1s", SmbiosTemplateRead::NoValue,
       ""},
      {"a header is counted before it switches, and counting goes on in a later section",
       "[ Type 1 ]:1;\nM=a;\nP=b;\n[ Type 2 ]:1;\nM=d;\n[ Type 1 ]:1;\nS=LATER;\n", "1s", SmbiosTemplateRead::Found,
       "LATER"},
      {"header without the blanks", "[Type 1]:1;\nM=a;\nP=b;\nV=c;\nS=d;\n", "1m", SmbiosTemplateRead::NoValue, ""},
      {"header with CR LF", "[ Type 1 ]:1;\r\nM=a;\r\n", "1m", SmbiosTemplateRead::NoValue, ""},
      {"header with text after it", "[ Type 1 ]:1; x\nM=a;\n", "1m", SmbiosTemplateRead::NoValue, ""},
      {"no type 2 section", "[ Type 1 ]:1;\nM=a;\nP=b;\nV=c;\nS=d;\n", "2m", SmbiosTemplateRead::NoValue, ""},
      {"empty file", "", "3s", SmbiosTemplateRead::NoValue, ""},
      {"value line without =", "[ Type 1 ]:1;\nQEMU;\n", "1m", SmbiosTemplateRead::NoValue, ""},
      {"empty value", "[ Type 1 ]:1;\nM=;\n", "1m", SmbiosTemplateRead::NoValue, ""},
      {"value part of one character", "[ Type 1 ]:1;\nM=\n", "1m", SmbiosTemplateRead::NoValue, ""},
      {"a second = would cut the value", "[ Type 1 ]:1;\nM=SERIAL=0001;\n", "1m", SmbiosTemplateRead::NoValue, ""},
      {"last line without its newline", "[ Type 1 ]:1;\nM=SYS-SN-0001;", "1m", SmbiosTemplateRead::NoValue, ""},
      {"63 characters", "[ Type 1 ]:1;\nM=" + std::string(63, 'v') + ";\n", "1m", SmbiosTemplateRead::Found,
       "vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv"},
      {"64 characters", "[ Type 1 ]:1;\nM=" + std::string(64, 'v') + ";\n", "1m", SmbiosTemplateRead::TooLong, ""},
      // Lines of 127 characters reach the reader whole; longer ones in pieces of
      // 127, each counted unless it is a lone newline.
      {"127-character line is one line", "[ Type 1 ]:1;\nK=" + piece + ";\nP=NEXT;\n", "1p", SmbiosTemplateRead::Found,
       "NEXT"},
      {"128-character line: its newline alone follows, not counted", "[ Type 1 ]:1;\nK=" + piece + "x;\nP=NEXT;\n",
       "1p", SmbiosTemplateRead::Found, "NEXT"},
      {"129-character line counts as two", "[ Type 1 ]:1;\nK=" + piece + "xy;\nP=NEXT;\n", "1p",
       SmbiosTemplateRead::NoValue, ""},
      {"the piece after a long line shifts the lines",
       "[ Type 1 ]:1;\nK=" + piece + "xy;\nP=b;\nV=VERSION;\nS=SERIAL;\n", "1s", SmbiosTemplateRead::Found, "VERSION"},
      {"a 127-character piece is not a value", "[ Type 1 ]:1;\nK=" + piece + "x;\n", "1m", SmbiosTemplateRead::NoValue,
       ""},
  };
  for (const Case& c : cases) {
    const Read read = ReadFrom(c.content, c.code);
    EXPECT_EQ(c.result, read.result) << c.name;
    EXPECT_EQ(c.value, read.value) << c.name;
  }
  ScratchDirectory empty;
  char value[kSmbiosValueMaxLength + 1];
  EXPECT_EQ(SmbiosTemplateRead::FileMissing, ReadSmbiosTemplateValue("SmbiosTemplate.cfg", 1, 0, value, sizeof value));
}

// ---- UpdateFruFromSmbios ----------------------------------------------------------

// Fails the test on any KCS access: the update itself never talks to the BMC.
class NoPorts : public PortDriver {
 public:
  uint8_t Read8(uint16_t) override {
    ++accesses;
    return 0xFF;
  }
  void Write8(uint16_t, uint8_t) override { ++accesses; }
  int accesses = 0;
};

// A scratch directory with a "tablornX64.efi" on PATH: the host build of the
// dump, or a script standing in for it.
class SmbiosUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    FieldWrites.clear();
    FieldWriteStatus = 0;
    savedPath_ = std::getenv("PATH");
    ASSERT_EQ(0, mkdir(scratch_.Path("bin").c_str(), 0755));
    setenv("PATH", (scratch_.Path("bin") + ":" + savedPath_).c_str(), 1);
    SelectPortDriver(&ports_);
    CaptureConsole(&console_);
  }
  void TearDown() override {
    CaptureConsole(nullptr);
    SelectPortDriver(nullptr);
    setenv("PATH", savedPath_.c_str(), 1);
    unsetenv("TOLVANE_SMBIOS_TABLE");
    EXPECT_EQ(0, ports_.accesses);
  }
  void InstallHostDump(const Bytes& table) {
    ASSERT_EQ(0, symlink(TOLVANE_HOST_COMPANION, scratch_.Path("bin/tablornX64.efi").c_str()));
    ScratchDirectory::Write("DMI", table);
    setenv("TOLVANE_SMBIOS_TABLE", scratch_.Path("DMI").c_str(), 1);
  }
  // A dump that notes its arguments and whether a template was there when it ran.
  void InstallScriptDump(const std::string& writes) {
    const std::string script =
        "#!/bin/sh\necho \"$*\" > dump-arguments\n[ -e SmbiosTemplate.cfg ] && echo stale >> dump-arguments\n" +
        (writes.empty() ? "" : "printf '%s' '" + writes + "' > SmbiosTemplate.cfg\n") + "exit 3\n";
    ScratchDirectory::Write(scratch_.Path("bin/tablornX64.efi"), script);
    ASSERT_EQ(0, chmod(scratch_.Path("bin/tablornX64.efi").c_str(), 0755));
  }

  ScratchDirectory scratch_;
  std::string savedPath_;
  std::string console_;
  NoPorts ports_;
};

TEST_F(SmbiosUpdate, WritesTheValueTheDumpFoundInThisMachinesTables) {
  InstallHostDump(Joined({SmbiosStringStructure(1, {"QEMU", "Standard PC", "pc-q35-7.2", "SYS-SN-0001"}),
                          SmbiosStringStructure(3, {"QEMU", "pc-q35-7.2", "CH-SN-0003"}), SmbiosEndOfTable()}));
  const std::pair<const char*, FieldWrite> expected[] = {{"1m", {"PM", "QEMU"}},
                                                         {"1p", {"PN", "Standard PC"}},
                                                         {"1s", {"PS", "SYS-SN-0001"}},
                                                         {"3s", {"CS", "CH-SN-0003"}}};
  for (const auto& [code, write] : expected) {
    FieldWrites.clear();
    EXPECT_EQ(0, UpdateFruFromSmbios(Fru(), false, code)) << code;
    ASSERT_EQ(1u, FieldWrites.size()) << code;
    EXPECT_EQ(write.code, FieldWrites[0].code) << code;
    EXPECT_EQ(write.value, FieldWrites[0].value) << code;
  }
  // No baseboard structure: the dump leaves its section out.
  FieldWrites.clear();
  console_.clear();
  EXPECT_EQ(11, UpdateFruFromSmbios(Fru(), false, "2s"));
  EXPECT_TRUE(FieldWrites.empty());
  EXPECT_EQ("No value for 2s in SmbiosTemplate file\n", console_);
}

TEST_F(SmbiosUpdate, EachCodeWritesItsFieldFromItsLineOfItsSection) {
  InstallScriptDump(kTemplate);
  const std::pair<const char*, FieldWrite> expected[] = {
      {"1m", {"PM", "QEMU"}},        {"1p", {"PN", "Standard PC (Q35 + ICH9, 2009)"}},
      {"1s", {"PS", "SYS-SN-0001"}}, {"2m", {"BM", "Board Maker"}},
      {"2p", {"BPN", "BRD-2"}},      {"2s", {"BS", "BRD-SN-0002"}},
      {"3s", {"CS", "CH-SN,0003"}}};
  for (const auto& [code, write] : expected) {
    FieldWrites.clear();
    EXPECT_EQ(0, UpdateFruFromSmbios(Fru(), false, code)) << code;
    ASSERT_EQ(1u, FieldWrites.size()) << code;
    EXPECT_EQ(write.code, FieldWrites[0].code) << code;
    EXPECT_EQ(write.value, FieldWrites[0].value) << code;
  }
  EXPECT_EQ("", console_) << "the field write prints; the update itself has nothing to say";
}

TEST_F(SmbiosUpdate, ReturnsTheFieldWritesStatus) {
  InstallScriptDump("[ Type 2 ]:1;\nM=B;\nP=BRD-2;\n");
  FieldWriteStatus = 11;
  EXPECT_EQ(11, UpdateFruFromSmbios(Fru(), false, "2p"));
  ASSERT_EQ(1u, FieldWrites.size());
  EXPECT_EQ("BPN", FieldWrites[0].code);
  EXPECT_EQ("BRD-2", FieldWrites[0].value);
  EXPECT_EQ("-d\n", ScratchDirectory::Read("dump-arguments")) << "the dump ran, with -d";
}

TEST_F(SmbiosUpdate, AnOldTemplateIsNeverTakenForThisMachine) {
  ScratchDirectory::Write("SmbiosTemplate.cfg", kTemplate);
  InstallScriptDump("");  // a dump that fails to write anything
  EXPECT_EQ(11, UpdateFruFromSmbios(Fru(), false, "1s"));
  EXPECT_EQ("Not found SmbiosTemplate file\n", console_);
  EXPECT_TRUE(FieldWrites.empty());
  EXPECT_EQ("-d\n", ScratchDirectory::Read("dump-arguments")) << "the old template was gone before the dump ran";
}

TEST_F(SmbiosUpdate, NoDumpAtAll) {
  ScratchDirectory::Write("SmbiosTemplate.cfg", kTemplate);
  EXPECT_EQ(11, UpdateFruFromSmbios(Fru(), false, "3s"));
  EXPECT_EQ("Not found SmbiosTemplate file\n", console_);
  EXPECT_TRUE(FieldWrites.empty());
}

TEST_F(SmbiosUpdate, AnOldTemplateThatCannotBeDeletedStopsTheUpdate) {
  ASSERT_EQ(0, mkdir("SmbiosTemplate.cfg", 0755));
  ScratchDirectory::Write("SmbiosTemplate.cfg/x", "x");
  InstallScriptDump("[ Type 1 ]:1;\nM=NEW;\n");
  EXPECT_EQ(11, UpdateFruFromSmbios(Fru(), false, "1m"));
  EXPECT_EQ("Cannot delete old SmbiosTemplate file\n", console_);
  EXPECT_EQ("<missing>", ScratchDirectory::Read("dump-arguments")) << "the dump did not run";
  EXPECT_TRUE(FieldWrites.empty());
}

TEST_F(SmbiosUpdate, ValuesThatCannotBeWrittenAreReportedAndNotWritten) {
  struct Case {
    const char* code;
    const char* content;
    const char* console;
  };
  const std::string tooLong = "[ Type 3 ]:1;\nM=a;\nV=b;\nS=" + std::string(64, 's') + ";\n";
  const Case cases[] = {
      {"1s", "[ Type 1 ]:1;\nM=a;\nP=b;\nV=c;\n", "No value for 1s in SmbiosTemplate file\n"},
      {"1m", "[ Type 1 ]:1;\nM=;\n", "No value for 1m in SmbiosTemplate file\n"},
      {"3s", tooLong.c_str(), "Value for 3s in SmbiosTemplate file is longer than 63 characters\n"},
      {"2p", "[ Type 2 ]:1;\nM=a;\nP=X;\n",
       "Value for 2p in SmbiosTemplate file is a single character, which a FRU field cannot hold\n"},
  };
  for (const Case& c : cases) {
    InstallScriptDump(c.content);
    console_.clear();
    EXPECT_EQ(11, UpdateFruFromSmbios(Fru(), false, c.code)) << c.code;
    EXPECT_EQ(c.console, console_) << c.code;
    EXPECT_TRUE(FieldWrites.empty()) << c.code;
  }
  for (const char* code : {"1x", "1S", "3m", "1ss", ""}) {  // codes match exactly
    console_.clear();
    EXPECT_EQ(12, UpdateFruFromSmbios(Fru(), false, code)) << code;
    EXPECT_EQ("Invalid parameters.\n", console_) << code;
  }
}

}  // namespace
