// The SMBIOS dump's reading of the firmware's tables: entry points 2.x and 3.x,
// the structure walk on well-formed and malformed tables, and the strings.
// Every table is an exactly sized heap buffer, so a read past it is a read past
// the allocation (which the sanitizer build reports).
#include "companion/smbios_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "companion/smbios_entry_point.hpp"
#include "tests/unit/smbios_builder.hpp"

namespace {

Bytes WellFormedTable() {
  return Joined(
      {SmbiosStructureBytes(0, 0x0000, {1, 2, 0, 0xE8, 3}, {"EFI Development Kit II / OVMF", "0.0.0", "02/06/2015"}),
       SmbiosStringStructure(1, {"QEMU", "Standard PC (Q35 + ICH9, 2009)", "pc-q35-7.2", "SYS-SN-0001"}),
       SmbiosStringStructure(2, {"Board Maker", "BRD-2", "", "BRD-SN-0002"}),
       SmbiosStringStructure(3, {"QEMU", "pc-q35-7.2", ""}),
       SmbiosStructureBytes(16, 0x1000, {3, 3, 3, 0, 0, 0, 0x10, 0xFE, 0xFF, 1, 0}, {}), SmbiosEndOfTable()});
}

struct Walked {
  std::vector<SmbiosStructure> structures;
  SmbiosTableError error;
  size_t errorOffset;
};

Walked Walk(const Bytes& table) {
  Walked walked;
  SmbiosTableCursor cursor;
  StartSmbiosTable(&cursor, table.data(), table.size());
  SmbiosStructure structure;
  while (NextSmbiosStructure(&cursor, &structure)) walked.structures.push_back(structure);
  walked.error = cursor.error;
  walked.errorOffset = cursor.offset;
  EXPECT_FALSE(NextSmbiosStructure(&cursor, &structure)) << "the walk stays ended";
  return walked;
}

TEST(SmbiosWalk, WellFormedTableGivesEveryStructureInOrder) {
  const Bytes table = WellFormedTable();
  const Walked walked = Walk(table);
  ASSERT_EQ(SmbiosTableError::None, walked.error);
  ASSERT_EQ(6u, walked.structures.size());
  const uint8_t types[] = {0, 1, 2, 3, 16, 127};
  size_t offset = 0;
  for (size_t i = 0; i < walked.structures.size(); ++i) {
    const SmbiosStructure& s = walked.structures[i];
    EXPECT_EQ(types[i], s.type);
    EXPECT_EQ(offset, s.offset);
    EXPECT_EQ(table.data() + offset, s.formatted);
    EXPECT_EQ(s.formatted + s.formattedLength, s.strings);
    offset += s.formattedLength + s.stringsLength;
  }
  EXPECT_EQ(table.size(), offset) << "the walk uses every byte";
  EXPECT_EQ(0x0300, walked.structures[3].handle);
  EXPECT_EQ(2u, walked.structures[4].stringsLength) << "no strings: just the double NUL";
}

TEST(SmbiosWalk, EndOfTableStopsTheWalkAndATableMayEndWithoutOne) {
  Bytes table = WellFormedTable();
  table.insert(table.end(), {0xFF, 0x01, 0xAA});  // what follows type 127 is never read as a structure
  EXPECT_EQ(SmbiosTableError::None, Walk(table).error);
  EXPECT_EQ(6u, Walk(table).structures.size());

  const Bytes noEnd = Joined({SmbiosStringStructure(1, {"A", "B", "C", "D"}), SmbiosStringStructure(3, {"E", "", ""})});
  EXPECT_EQ(SmbiosTableError::None, Walk(noEnd).error);
  EXPECT_EQ(2u, Walk(noEnd).structures.size());
  EXPECT_EQ(SmbiosTableError::None, Walk(Bytes{}).error);
  EXPECT_TRUE(Walk(Bytes{}).structures.empty());
}

TEST(SmbiosWalk, MalformedStructuresAreReportedWhereTheyStart) {
  const Bytes good = SmbiosStringStructure(1, {"QEMU", "PC", "1", "SN"});
  const size_t at = good.size();
  struct Case {
    const char* name;
    Bytes tail;  // after one good structure
    SmbiosTableError error;
  };
  const Case cases[] = {
      {"formatted length 3", {4, 3, 0, 4, 0, 0}, SmbiosTableError::FormattedLengthUnder4},
      {"formatted length 0", {4, 0, 0, 4, 0, 0}, SmbiosTableError::FormattedLengthUnder4},
      {"formatted length past the table", {4, 0x30, 0, 4, 1, 2, 3, 0, 0}, SmbiosTableError::FormattedPastEnd},
      {"formatted area up to the table's end, no strings", {4, 6, 0, 4, 1, 2}, SmbiosTableError::StringSetUnterminated},
      {"strings without the double NUL", {4, 5, 0, 4, 1, 'C', 'P', 'U', 0}, SmbiosTableError::StringSetUnterminated},
      {"one NUL where two close the set", {4, 4, 0, 4, 0}, SmbiosTableError::StringSetUnterminated},
      {"table ends inside the header", {4, 4, 0}, SmbiosTableError::HeaderCutOff},
      {"table ends after one byte", {4}, SmbiosTableError::HeaderCutOff},
  };
  for (const Case& c : cases) {
    const Walked walked = Walk(Joined({good, c.tail}));
    EXPECT_EQ(c.error, walked.error) << c.name;
    EXPECT_EQ(at, walked.errorOffset) << c.name;
    EXPECT_EQ(1u, walked.structures.size()) << c.name;
  }
  // The smallest sound structure on the other side of each boundary.
  const Walked smallest = Walk(Joined({good, {4, 4, 0, 4, 0, 0}}));
  EXPECT_EQ(SmbiosTableError::None, smallest.error);
  EXPECT_EQ(2u, smallest.structures.size());
}

TEST(SmbiosWalk, EveryCutOfATableEndsCleanly) {
  const Bytes table = WellFormedTable();
  std::vector<size_t> boundaries = {0};
  for (const SmbiosStructure& s : Walk(table).structures)
    boundaries.push_back(s.offset + s.formattedLength + s.stringsLength);
  for (size_t length = 0; length <= table.size(); ++length) {
    const Bytes cut(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(length));
    const Walked walked = Walk(cut);
    const bool atBoundary = std::find(boundaries.begin(), boundaries.end(), length) != boundaries.end();
    EXPECT_EQ(atBoundary, walked.error == SmbiosTableError::None) << "cut at " << length;
    for (const SmbiosStructure& s : walked.structures) {
      EXPECT_LE(s.offset + s.formattedLength + s.stringsLength, length) << "cut at " << length;
    }
  }
}

std::string StringOf(const SmbiosStructure& s, uint8_t field, SmbiosStringStatus expected) {
  const char* text = nullptr;
  size_t length = 0;
  EXPECT_EQ(expected, SmbiosFieldString(s, field, &text, &length)) << "field " << int{field};
  return expected == SmbiosStringStatus::Present ? std::string(text, length) : std::string();
}

TEST(SmbiosStrings, NumbersNameStringsOfTheSetOnly) {
  // Fields: 04h-08h string numbers 1, 3, 0, 4 (one past the three strings), 255.
  const Bytes table = SmbiosStructureBytes(1, 0x100, {1, 3, 0, 4, 255}, {"QEMU", "\xC3\x84-\xC3\x9F;x y", "last"});
  const SmbiosStructure s = Walk(table).structures.at(0);
  EXPECT_EQ("QEMU", StringOf(s, 4, SmbiosStringStatus::Present));
  EXPECT_EQ("last", StringOf(s, 5, SmbiosStringStatus::Present)) << "the last string of the set";
  StringOf(s, 6, SmbiosStringStatus::Absent);         // string number 0
  StringOf(s, 7, SmbiosStringStatus::PastStringSet);  // one past the set
  StringOf(s, 8, SmbiosStringStatus::PastStringSet);
  StringOf(s, 9, SmbiosStringStatus::Absent);  // beyond the formatted area (length 9)
  StringOf(s, 0xFF, SmbiosStringStatus::Absent);

  const Bytes noStrings = SmbiosStructureBytes(3, 0x300, {1, 1, 0, 0}, {});
  StringOf(Walk(noStrings).structures.at(0), 4, SmbiosStringStatus::PastStringSet);
}

// ---- Entry points ----------------------------------------------------------------

TEST(SmbiosEntryPoint, DecodesBothKinds) {
  SmbiosEntryPoint entry;
  const Bytes v2 = SmbiosEntryPoint2(0x0F51F000, 383);
  EXPECT_EQ(0x1Fu, SmbiosEntryPointLength(v2.data(), v2.size()));
  ASSERT_EQ(SmbiosEntryPointError::None, DecodeSmbiosEntryPoint(v2.data(), v2.size(), &entry));
  EXPECT_FALSE(entry.is64Bit);
  EXPECT_EQ(2, entry.majorVersion);
  EXPECT_EQ(8, entry.minorVersion);
  EXPECT_EQ(0x0F51F000u, entry.tableAddress);
  EXPECT_EQ(383u, entry.tableLength);

  const Bytes v3 = SmbiosEntryPoint3(0x1234567890ull, 472, 3, 5);
  EXPECT_EQ(0x18u, SmbiosEntryPointLength(v3.data(), v3.size()));
  ASSERT_EQ(SmbiosEntryPointError::None, DecodeSmbiosEntryPoint(v3.data(), v3.size(), &entry));
  EXPECT_TRUE(entry.is64Bit);
  EXPECT_EQ(3, entry.majorVersion);
  EXPECT_EQ(5, entry.minorVersion);
  EXPECT_EQ(0x1234567890ull, entry.tableAddress);
  EXPECT_EQ(472u, entry.tableLength);
}

TEST(SmbiosEntryPoint, RefusesWhatIsNotSound) {
  struct Case {
    const char* name;
    Bytes bytes;
    SmbiosEntryPointError error;
  };
  std::vector<Case> cases;
  Bytes b = SmbiosEntryPoint2(0x1000, 100);
  b[0] = '-';
  cases.push_back({"2.x anchor", b, SmbiosEntryPointError::UnknownAnchor});
  b = SmbiosEntryPoint3(0x1000, 100);
  b[3] = '4';
  cases.push_back({"3.x anchor", b, SmbiosEntryPointError::UnknownAnchor});
  b = SmbiosEntryPoint2(0x1000, 100);
  b[0x1C] ^= 1;
  cases.push_back({"2.x checksum", b, SmbiosEntryPointError::Checksum});
  b = SmbiosEntryPoint3(0x1000, 100);
  b[0x0C] ^= 1;
  cases.push_back({"3.x checksum", b, SmbiosEntryPointError::Checksum});
  b = SmbiosEntryPoint2(0x1000, 100);
  b[0x12] = 'X';
  FixChecksum(&b, 0x10, 0x0F, 0x15);
  FixChecksum(&b, 0, 0x1F, 4);
  cases.push_back({"intermediate anchor", b, SmbiosEntryPointError::IntermediateAnchor});
  b = SmbiosEntryPoint2(0x1000, 100);
  b[0x16] ^= 1;
  FixChecksum(&b, 0, 0x1F, 4);  // the outer sum holds, the intermediate one does not
  cases.push_back({"intermediate checksum", b, SmbiosEntryPointError::IntermediateChecksum});
  b = SmbiosEntryPoint2(0x1000, 100);
  b[5] = 0x1E;
  FixChecksum(&b, 0, 0x1E, 4);
  cases.push_back({"2.x length 1Eh", b, SmbiosEntryPointError::LengthTooSmall});
  b = SmbiosEntryPoint3(0x1000, 100);
  b[6] = 0x17;
  FixChecksum(&b, 0, 0x17, 5);
  cases.push_back({"3.x length 17h", b, SmbiosEntryPointError::LengthTooSmall});
  b = SmbiosEntryPoint3(0x1000, 100);
  b.pop_back();
  cases.push_back({"3.x one byte short of its length", b, SmbiosEntryPointError::LengthPastEnd});
  cases.push_back(
      {"anchor and no length byte", Bytes{'_', 'S', 'M', '3', '_', 0}, SmbiosEntryPointError::LengthPastEnd});
  cases.push_back({"nothing", Bytes{}, SmbiosEntryPointError::UnknownAnchor});
  cases.push_back({"2.x table address 0", SmbiosEntryPoint2(0, 100), SmbiosEntryPointError::NoStructureTable});
  cases.push_back({"2.x table length 0", SmbiosEntryPoint2(0x1000, 0), SmbiosEntryPointError::NoStructureTable});
  cases.push_back(
      {"3.x table that wraps", SmbiosEntryPoint3(~0ull - 10, 100), SmbiosEntryPointError::NoStructureTable});
  cases.push_back({"3.x table up to the last byte", SmbiosEntryPoint3(~0ull - 100, 100), SmbiosEntryPointError::None});

  for (const Case& c : cases) {
    SmbiosEntryPoint entry;
    EXPECT_EQ(c.error, DecodeSmbiosEntryPoint(c.bytes.data(), c.bytes.size(), &entry)) << c.name;
  }
}

}  // namespace
