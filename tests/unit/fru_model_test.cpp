// The FRU model: board dates against the C library's calendar, the decode of
// the cases a BMC sends, the limits of the store on both sides, and the
// rebuild property: for random well-formed FRUs (any type codes, internal use
// areas of any length, multirecords) setting one field changes that field and
// nothing else but lengths, pads, checksums, language codes and offsets.
#include "fru/fru_model.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fru/fru_access.hpp"
#include "fru/fru_build.hpp"
#include "fru/fru_write.hpp"
#include "tests/fru/fru_test_image.hpp"

namespace {

using namespace fru_test;

// The FRU of the test at hand: a run's FRU session, read by Load.
FruSession& Fru() {
  static auto session = std::make_unique<FruSession>();
  return *session;
}
FruFieldSet& Store() { return Fru().fieldStore; }

std::string FaultText() {
  char text[kFruFaultTextSize];
  DescribeFruModelFault(Store(), text, sizeof text);
  return text;
}

// ---- Dates --------------------------------------------------------------------

std::string FormatDate(uint32_t minutes) {
  const uint8_t date[3] = {static_cast<uint8_t>(minutes), static_cast<uint8_t>(minutes >> 8),
                           static_cast<uint8_t>(minutes >> 16)};
  char text[kFruDateTextSize];
  FormatFruDate(date, text, sizeof text);
  return text;
}

TEST(FruDate, FormatExamples) {
  EXPECT_EQ(FormatDate(0), "1996/01/01 00:00:00");
  EXPECT_EQ(FormatDate(1440), "1996/01/02 00:00:00");
  EXPECT_EQ(FormatDate(0x74AF90), "2010/07/16 12:00:00");
  EXPECT_EQ(FormatDate(0xFFFFFF), "2027/11/24 20:15:00");
  EXPECT_EQ(FormatDate(59 * 1440), "1996/02/29 00:00:00");  // a leap year
}

TEST(FruDate, FormatMatchesGmtime) {
  std::tm epoch{};
  epoch.tm_year = 96;
  epoch.tm_mday = 1;
  const time_t base = timegm(&epoch);
  std::mt19937 random(1996);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t minutes = i < 1500 ? static_cast<uint32_t>(i * 11213) % 0x1000000 : random() & 0xFFFFFF;
    const time_t t = base + static_cast<time_t>(minutes) * 60;
    std::tm fields{};
    gmtime_r(&t, &fields);
    char expected[32];
    std::strftime(expected, sizeof expected, "%Y/%m/%d %H:%M:%S", &fields);
    ASSERT_EQ(FormatDate(minutes), expected) << minutes;
  }
}

// The C library's answer for YYYYMMDDhhmm: atoi on each part, timegm (which
// normalises as mktime does) in UTC, minutes after 1996-01-01 00:00.
Bytes OracleDate(const std::string& text) {
  auto part = [&](size_t first, size_t length) { return std::atoi(text.substr(first, length).c_str()); };
  std::tm fields{};
  fields.tm_year = part(0, 4) - 1900;
  fields.tm_mon = part(4, 2) - 1;
  fields.tm_mday = part(6, 2);
  fields.tm_hour = part(8, 2);
  fields.tm_min = part(10, 2);
  std::tm epoch{};
  epoch.tm_year = 96;
  epoch.tm_mday = 1;
  const long long minutes = (static_cast<long long>(timegm(&fields)) - timegm(&epoch)) / 60;
  if (minutes < 0) return {0, 0, 0};
  return {static_cast<uint8_t>(minutes), static_cast<uint8_t>(minutes >> 8), static_cast<uint8_t>(minutes >> 16)};
}

Bytes ToolDate(const std::string& text) {
  uint8_t date[3];
  FruDateToMinutes(ParseFruDateText(text.c_str()), date);
  return Bytes(date, date + 3);
}

TEST(FruDate, ParseExamples) {
  const FruDateFields fields = ParseFruDateText("201007161200");
  EXPECT_EQ(fields.year, 110);
  EXPECT_EQ(fields.month, 6);
  EXPECT_EQ(fields.day, 16);
  EXPECT_EQ(fields.hour, 12);
  EXPECT_EQ(fields.minute, 0);
  const struct {
    const char* text;
    Bytes date;
  } cases[] = {
      {"201007161200", {0x90, 0xAF, 0x74}},
      {"199601010000", {0x00, 0x00, 0x00}},
      {"199601010001", {0x01, 0x00, 0x00}},
      {"199512312359", {0x00, 0x00, 0x00}},
      {"199001010000", {0x00, 0x00, 0x00}},
      {"202711242015", {0xFF, 0xFF, 0xFF}},
      {"202711242016", {0x00, 0x00, 0x00}},
      {"201013011200", ToolDate("201101011200")},  // month 13: the next January
      {"201000011200", ToolDate("200912011200")},  // month 0: the December before
      {"201003001200", ToolDate("201002281200")},  // day 0: the day before the 1st
      {"201007162400", ToolDate("201007170000")},  // hour 24
      {"201007161260", ToolDate("201007161300")},  // minute 60
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(ToolDate(c.text)), Hex(c.date)) << c.text;
}

TEST(FruDate, ToMinutesMatchesTheCLibrary) {
  std::vector<std::string> texts = {"000000000000", "-99901010000", "1996-1010000", "19960101-1-1",
                                    "  1 1 1 1 1 ", "+199+1+1+1+1", "abcdefghijkl", "9999999999999"};
  std::mt19937 random(2010);
  const char alphabet[] = "0123456789-+ x";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    if (i % 2 == 0) {
      // Plausible dates from 1980 to 2040 with parts out of range now and then.
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "%04u%02u%02u%02u%02u", static_cast<unsigned>(1980 + random() % 61),
                    static_cast<unsigned>(random() % 15), static_cast<unsigned>(random() % 34),
                    static_cast<unsigned>(random() % 27), static_cast<unsigned>(random() % 62));
      text = buffer;
    } else {
      for (int j = 0; j < 12; ++j) text += alphabet[random() % (sizeof alphabet - 1)];
    }
    texts.push_back(text.substr(0, 12));
  }
  for (const std::string& text : texts) ASSERT_EQ(Hex(ToolDate(text)), Hex(OracleDate(text))) << text;
}

// ---- Decode -------------------------------------------------------------------

void Load(const Bytes& image, bool underFru1 = false, int32_t size = -1) {
  FruImage& fru = Fru().image;
  std::fill(std::begin(fru.bytes), std::end(fru.bytes), 0);
  const size_t held = image.size() < kFruImageCapacity ? image.size() : kFruImageCapacity;
  std::copy(image.begin(), image.begin() + static_cast<long>(held), fru.bytes);
  fru.size = size >= 0 ? size : static_cast<int32_t>(image.size());
  fru.shortReply = false;
  DecodeFruImage(fru, underFru1, &Store());
}

TEST(FruDecode, AreasPresent) {
  Load(LaidOut({{kHeaderBoard, BoardArea({1, 2, 3}, Fields({"a", "b", "c", "d", "e"}))},
                {kHeaderProduct, ProductArea(Fields({"", "", "", "", "", "", ""}))}},
               256));
  const FruFieldSet& s = Store();
  EXPECT_FALSE(s.hasInternalUse);
  EXPECT_FALSE(s.hasChassis);
  EXPECT_TRUE(s.hasBoard);
  EXPECT_TRUE(s.hasProduct);
  EXPECT_FALSE(s.hasMultiRecord);
  EXPECT_EQ(s.chassisType, 0x02);
  EXPECT_STREQ(s.chassis[kChassisPartNumber].text, "");
  EXPECT_STREQ(s.board[kBoardPartNumber].text, "d");
  EXPECT_EQ(s.boardDate[2], 3);
  EXPECT_EQ(Store().fault, FruModelFault::None);
}

TEST(FruDecode, FieldsCustomBytesAndBoardVersion) {
  // Custom part C1h at once: no custom bytes.
  Load(LaidOut({{kHeaderChassis, ChassisArea(0x17, Fields({"P", "S"}))}}, 64));
  EXPECT_EQ(Store().chassisCustom.count, 0);
  // 8Ah: ten bytes as 8-bit text; C0h: empty.
  Load(LaidOut({{kHeaderChassis, ChassisArea(0x17, Join({Field("0123456789", 0x80), Field("")}))}}, 64));
  EXPECT_STREQ(Store().chassis[0].text, "0123456789");
  EXPECT_EQ(Store().chassis[0].typeLength, 0x8A);
  EXPECT_STREQ(Store().chassis[1].text, "");
  // -fru1: the first custom field (C3h R 1 0) is BV; C2h and two letters after it stay custom bytes.
  const Bytes board = BoardArea({0, 0, 0}, Join({Fields({"", "", "", "", ""}), Field("R10"), Field("XY")}));
  Load(LaidOut({{kHeaderBoard, board}}, 64), true);
  EXPECT_STREQ(Store().board[kBoardVersion].text, "R10");
  EXPECT_EQ(Hex(Bytes(Store().boardCustom.bytes, Store().boardCustom.bytes + Store().boardCustom.count)), "C2 58 59");
  // Under -fru both are custom bytes.
  Load(LaidOut({{kHeaderBoard, board}}, 64), false);
  EXPECT_EQ(Store().boardCustom.count, 7);
  EXPECT_STREQ(Store().board[kBoardVersion].text, "");
}

TEST(FruDecode, MultiRecordsAndInternalUse) {
  const Bytes records = Join(
      {MultiRecord(0, {1}, false), MultiRecord(1, {2, 3}, false), MultiRecord(2, {}, true), MultiRecord(3, {9}, true)});
  Load(LaidOut({{kHeaderInternalUse, Bytes(24, 0x01)}, {kHeaderMultiRecord, records}}, 128));
  EXPECT_EQ(Store().multiRecordCount, 3u);  // the third ends the list
  EXPECT_EQ(Store().internalUseLength, 24u);
  // The last area: the internal use area runs to the end of the FRU.
  Load(LaidOut({{kHeaderMultiRecord, records}, {kHeaderInternalUse, Bytes(8, 0x01)}}, 100));
  EXPECT_EQ(Store().internalUseLength, 100u - 8 - records.size());
}

// The store's limits, both sides of each.
TEST(FruDecode, FaultsAtTheLimits) {
  const auto product = [](const Bytes& custom) {
    return LaidOut({{kHeaderProduct, ProductArea(Join({Fields({"", "", "", "", "", "", ""}), custom}))}}, 512);
  };
  const auto records = [](size_t count, size_t data) {
    Bytes all;
    for (size_t i = 0; i < count; ++i) {
      const Bytes record = MultiRecord(0xC0, Bytes(data, 0x11), i + 1 == count);
      all.insert(all.end(), record.begin(), record.end());
    }
    return LaidOut({{kHeaderMultiRecord, all}}, 4096);
  };
  const struct {
    Bytes image;
    int32_t size;
    FruModelFault fault;
  } cases[] = {
      {product(Join({Field(std::string(63, 'a')), Field(std::string(63, 'b'))})), -1, FruModelFault::None},
      {product(Join({Field(std::string(63, 'a')), Field(std::string(63, 'b')), Field("")})), -1,
       FruModelFault::CustomTooLong},
      {records(1, 64), -1, FruModelFault::None},
      {records(1, 65), -1, FruModelFault::MultiRecordTooLong},
      {records(32, 1), -1, FruModelFault::None},
      {records(33, 1), -1, FruModelFault::TooManyMultiRecords},
      {records(2, 10), 8 + 30, FruModelFault::None},
      {records(2, 10), 8 + 29, FruModelFault::AreaPastEnd},
      {Bytes(4096, 0), 4096, FruModelFault::None},
      {Bytes(4096, 0), 4097, FruModelFault::FruTooLarge},
  };
  for (const auto& c : cases) {
    Load(c.image, false, c.size);
    EXPECT_EQ(static_cast<int>(Store().fault), static_cast<int>(c.fault)) << FaultText();
  }
  // The end marker anywhere before the next area, whatever the length byte says
  // (here one unit, so that its C1h lies beyond the checksum byte it gives);
  // the area within the FRU, or not.
  Bytes image = LaidOut({{kHeaderChassis, ChassisArea(0x17, Fields({"P", "S"}))}}, 64);
  image[9] = 1;
  Load(image);
  EXPECT_EQ(Store().fault, FruModelFault::None);
  for (uint8_t& byte : image) byte = byte == 0xC1 ? 0x00 : byte;
  Load(image);
  EXPECT_EQ(Store().fault, FruModelFault::MissingEndMarker) << FaultText();
  // The FRU's bytes end after the end marker and one more byte (the checksum's
  // place), or with the end marker.
  const Bytes chassis = LaidOut({{kHeaderChassis, ChassisArea(0x17, Fields({"PN", "SN"}))}}, 24);
  const int32_t marker = static_cast<int32_t>(std::find(chassis.begin() + 11, chassis.end(), 0xC1) - chassis.begin());
  Load(chassis, false, marker + 2);
  EXPECT_EQ(Store().fault, FruModelFault::None) << FaultText();
  Load(chassis, false, marker + 1);
  EXPECT_EQ(Store().fault, FruModelFault::AreaPastEnd) << FaultText();
  // A short reply is a fault of its own.
  Load(LaidOut({}, 64));
  Fru().image.shortReply = true;
  DecodeFruImage(Fru().image, false, &Store());
  EXPECT_EQ(Store().fault, FruModelFault::ShortReply);
}

// Nothing outside the FRU bytes is read, whatever the header says.
TEST(FruDecode, OffsetsAndLengthsAtTheEdgeOfTheBuffer) {
  for (uint8_t offset : {0x01, 0x7F, 0xFF}) {
    Bytes image(kFruImageCapacity, 0xFF);
    image[0] = 0x01;
    for (size_t i = 1; i <= 5; ++i) image[i] = offset;
    Load(image, true);
    Load(image, false, 1 << 17);
    image.resize(16);
    Load(image, true);
  }
  SUCCEED();  // run under the sanitizers (build preset "debug") to see a stray read
}

// ---- The rebuild property -------------------------------------------------------

// An independent decode of a well-formed image: areas with their fixed bytes
// and fields, multirecords, internal use bytes; and whether every length, pad
// and checksum is right.
struct Area {
  bool present = false;
  Bytes fixed;                // chassis type / language and date / language
  std::vector<Bytes> fields;  // type/length byte and data, up to the end marker
};
struct Decoded {
  bool hasInternalUse = false;
  Bytes internalUse;
  Area chassis, board, product;
  bool hasMultiRecord = false;
  std::vector<Bytes> records;
  std::vector<std::string> problems;
};

Area DecodeArea(const Bytes& image, size_t start, size_t fixedBytes, std::vector<std::string>* problems,
                const char* name) {
  Area area;
  area.present = true;
  if (image.at(start) != 0x01) problems->push_back(std::string(name) + " version");
  const size_t length = image.at(start + 1) * 8u;
  area.fixed.assign(image.begin() + static_cast<long>(start + 2),
                    image.begin() + static_cast<long>(start + 2 + fixedBytes));
  size_t p = start + 2 + fixedBytes;
  while (image.at(p) != 0xC1) {
    const size_t n = image.at(p) & 0x3F;
    area.fields.emplace_back(image.begin() + static_cast<long>(p), image.begin() + static_cast<long>(p + 1 + n));
    p += 1 + n;
  }
  if (p + 1 >= start + length) problems->push_back(std::string(name) + " marker beyond its length");
  unsigned sum = 0;
  for (size_t i = start; i < start + length; ++i) sum += image.at(i);
  if (sum % 256 != 0) problems->push_back(std::string(name) + " checksum");
  for (size_t i = p + 1; i + 1 < start + length; ++i) {
    if (image.at(i) != 0) problems->push_back(std::string(name) + " pad");
  }
  return area;
}

Decoded Decode(const Bytes& image, size_t end) {
  Decoded d;
  unsigned sum = 0;
  for (size_t i = 0; i < 8; ++i) sum += image.at(i);
  if (image.at(0) != 0x01 || sum % 256 != 0 || image.at(6) != 0) d.problems.push_back("header");
  std::vector<size_t> starts;
  for (size_t h = 1; h <= 5; ++h) {
    if (image[h] != 0) starts.push_back(image[h] * 8u);
  }
  if (image[1] != 0) {
    d.hasInternalUse = true;
    const size_t start = image[1] * 8u;
    size_t next = end;
    for (size_t s : starts) {
      if (s > start && s < next) next = s;
    }
    d.internalUse.assign(image.begin() + static_cast<long>(start), image.begin() + static_cast<long>(next));
  }
  if (image[2] != 0) d.chassis = DecodeArea(image, image[2] * 8u, 1, &d.problems, "chassis");
  if (image[3] != 0) d.board = DecodeArea(image, image[3] * 8u, 4, &d.problems, "board");
  if (image[4] != 0) d.product = DecodeArea(image, image[4] * 8u, 1, &d.problems, "product");
  if (image[5] != 0) {
    d.hasMultiRecord = true;
    size_t p = image[5] * 8u;
    for (;;) {
      const size_t n = image.at(p + 2);
      Bytes record(image.begin() + static_cast<long>(p), image.begin() + static_cast<long>(p + 5 + n));
      if (ZeroChecksum(record.data(), 4) != record[4]) d.problems.push_back("multirecord header checksum");
      if (ZeroChecksum(record.data() + 5, n) != record[3]) d.problems.push_back("multirecord checksum");
      d.records.push_back(record);
      if (record[1] & 0x80) break;
      p += 5 + n;
    }
  }
  return d;
}

// A random field: any type code, any length but the end marker's.
Bytes RandomField(std::mt19937& random) {
  for (;;) {
    const uint8_t type = static_cast<uint8_t>((random() % 4) << 6);
    const size_t length = random() % 3 == 0 ? random() % 64 : random() % 12;
    if ((type | length) == 0xC1) continue;
    Bytes field{static_cast<uint8_t>(type | length)};
    for (size_t i = 0; i < length; ++i) field.push_back(static_cast<uint8_t>(random()));
    return field;
  }
}

std::vector<Bytes> RandomFields(std::mt19937& random, size_t count) {
  std::vector<Bytes> fields;
  for (size_t i = 0; i < count; ++i) fields.push_back(RandomField(random));
  return fields;
}

// Custom fields of at most 128 bytes in all.
std::vector<Bytes> RandomCustom(std::mt19937& random) {
  std::vector<Bytes> fields;
  size_t total = 0;
  for (size_t count = random() % 4; count > 0; --count) {
    const Bytes field = RandomField(random);
    if (total + field.size() > 128) break;
    total += field.size();
    fields.push_back(field);
  }
  return fields;
}

Bytes Flatten(const std::vector<Bytes>& fields) {
  Bytes bytes;
  for (const Bytes& f : fields) bytes.insert(bytes.end(), f.begin(), f.end());
  return bytes;
}

struct Generated {
  Bytes image;
  Decoded expected;  // the areas as they are before any change
};

Generated RandomFru(std::mt19937& random) {
  Generated g;
  Decoded& e = g.expected;
  std::vector<std::pair<size_t, Bytes>> areas;
  if (random() % 2) {
    e.hasInternalUse = true;
    e.internalUse = Bytes(8 * (1 + random() % 5));
    for (uint8_t& b : e.internalUse) b = static_cast<uint8_t>(random());
  }
  std::vector<std::pair<size_t, Bytes>> info;
  if (random() % 4) {
    e.chassis = {true, {static_cast<uint8_t>(random())}, RandomFields(random, 2)};
    const std::vector<Bytes> custom = RandomCustom(random);
    e.chassis.fields.insert(e.chassis.fields.end(), custom.begin(), custom.end());
    info.push_back({kHeaderChassis, InfoArea(Join({e.chassis.fixed, Flatten(e.chassis.fields)}))});
  }
  if (random() % 4) {
    e.board = {true,
               {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                static_cast<uint8_t>(random())},
               RandomFields(random, 5)};
    const std::vector<Bytes> custom = RandomCustom(random);
    e.board.fields.insert(e.board.fields.end(), custom.begin(), custom.end());
    info.push_back({kHeaderBoard, InfoArea(Join({e.board.fixed, Flatten(e.board.fields)}))});
  }
  if (random() % 4) {
    e.product = {true, {static_cast<uint8_t>(random())}, RandomFields(random, 7)};
    const std::vector<Bytes> custom = RandomCustom(random);
    e.product.fields.insert(e.product.fields.end(), custom.begin(), custom.end());
    info.push_back({kHeaderProduct, InfoArea(Join({e.product.fixed, Flatten(e.product.fields)}))});
  }
  std::shuffle(info.begin(), info.end(), random);
  // The internal use area first (it runs to the next area), the multirecord
  // area last, gaps of whole units between the info areas.
  Bytes image(8, 0);
  image[0] = 0x01;
  if (e.hasInternalUse) {
    image[kHeaderInternalUse] = 1;
    image.insert(image.end(), e.internalUse.begin(), e.internalUse.end());
  }
  for (const auto& [header, area] : info) {
    image[header] = static_cast<uint8_t>(image.size() / 8);
    image.insert(image.end(), area.begin(), area.end());
    image.insert(image.end(), 8 * (random() % 3), static_cast<uint8_t>(random()));
  }
  if (random() % 2) {
    e.hasMultiRecord = true;
    image[kHeaderMultiRecord] = static_cast<uint8_t>(image.size() / 8);
    for (size_t count = 1 + random() % 5, i = 0; i < count; ++i) {
      Bytes data(random() % 65);
      for (uint8_t& b : data) b = static_cast<uint8_t>(random());
      e.records.push_back(MultiRecord(static_cast<uint8_t>(random()), data, i + 1 == count));
      image.insert(image.end(), e.records.back().begin(), e.records.back().end());
    }
  }
  // When nothing follows, the internal use area runs to the end of the FRU.
  if (e.hasInternalUse && info.empty() && !e.hasMultiRecord) e.internalUse.resize(e.internalUse.size() + 40, 0);
  image[7] = ZeroChecksum(image.data(), 7);
  image.resize(image.size() + (info.empty() && !e.hasMultiRecord ? 40 : random() % 100), 0);
  g.image = image;
  return g;
}

struct Change {
  std::string code;
  std::string value;
};

Change RandomChange(std::mt19937& random, bool underFru1) {
  static const char* const kCodes[] = {"CT", "CP", "CS",  "BDT", "BM", "BPN", "BS", "BP",
                                       "PM", "PN", "PPM", "PV",  "PS", "PAT", "BV"};
  const size_t codes = underFru1 ? 15 : 14;
  Change change{kCodes[random() % codes], ""};
  if (change.code == "CT") {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(random() % 0x200));
    change.value = text;
  } else if (change.code == "BDT") {
    char text[16];
    std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u", static_cast<unsigned>(1990 + random() % 40),
                  static_cast<unsigned>(1 + random() % 13), static_cast<unsigned>(1 + random() % 31),
                  static_cast<unsigned>(random() % 24), static_cast<unsigned>(random() % 60));
    change.value = text;
  } else {
    // One character is refused before this point (its type/length byte would be C1h).
    size_t n = random() % 64;
    if (n == 1) n = 0;
    for (; n > 0; --n) change.value += static_cast<char>(' ' + random() % 95);
  }
  return change;
}

// What the change makes of the expected areas.
void Apply(const Change& c, bool underFru1, Decoded* e) {
  const Bytes field = Field(c.value);
  auto ensure = [](Area* area, Bytes fixed, size_t fields) {
    if (area->present) return;
    area->present = true;
    area->fixed = fixed;
    area->fields.assign(fields, Bytes{0xC0});
  };
  const std::string& code = c.code;
  if (code == "CT" || code == "CP" || code == "CS") ensure(&e->chassis, {0x02}, 2);
  if (code[0] == 'B') ensure(&e->board, {0x00, 0x00, 0x00, 0x00}, 5);
  if (code[0] == 'P') ensure(&e->product, {0x00}, 7);
  if (code == "CT") e->chassis.fixed[0] = static_cast<uint8_t>(std::stoul(c.value, nullptr, 16));
  if (code == "CP") e->chassis.fields[0] = field;
  if (code == "CS") e->chassis.fields[1] = field;
  if (code == "BDT") {
    const Bytes date = OracleDate(c.value);
    std::copy(date.begin(), date.end(), e->board.fixed.begin() + 1);
  }
  const char* const kBoard[] = {"BM", "BPN", "BS", "BP"};
  for (size_t i = 0; i < 4; ++i) {
    if (code == kBoard[i]) e->board.fields[i] = field;
  }
  // Under -fru1 every board carries its version, its first custom field: C0h
  // when the board had none.
  if (underFru1 && e->board.present && e->board.fields.size() == 5) e->board.fields.push_back(Bytes{0xC0});
  if (code == "BV") e->board.fields[5] = field;
  const char* const kProduct[] = {"PM", "PN", "PPM", "PV", "PS", "PAT"};
  for (size_t i = 0; i < 6; ++i) {
    if (code == kProduct[i]) e->product.fields[i] = field;
  }
  // Language codes are written as 00h.
  if (e->board.present) e->board.fixed[0] = 0x00;
  if (e->product.present) e->product.fixed[0] = 0x00;
}

void ExpectSameArea(const Area& actual, const Area& expected, const char* name) {
  EXPECT_EQ(actual.present, expected.present) << name;
  EXPECT_EQ(Hex(actual.fixed), Hex(expected.fixed)) << name;
  ASSERT_EQ(actual.fields.size(), expected.fields.size()) << name;
  for (size_t i = 0; i < actual.fields.size(); ++i)
    EXPECT_EQ(Hex(actual.fields[i]), Hex(expected.fields[i])) << name << i;
}

TEST(FruRebuild, ChangesOnlyTheFieldSet) {
  std::mt19937 random(5004);
  int withInternalUse = 0, withRecords = 0, created = 0, boardVersions = 0;
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE(round);
    const Generated g = RandomFru(random);
    const bool underFru1 = random() % 2;
    Load(g.image, underFru1);
    ASSERT_EQ(Store().fault, FruModelFault::None) << FaultText() << ' ' << Hex(g.image);

    const Change change = RandomChange(random, underFru1);
    Decoded expected = g.expected;
    const bool hadArea = change.code[0] == 'C'   ? expected.chassis.present
                         : change.code[0] == 'B' ? expected.board.present
                                                 : expected.product.present;
    SetFruFieldValue(Store(), change.code.c_str(), change.value.c_str());
    ASSERT_TRUE(BuildFruImage(Store(), underFru1, &Fru().writeImage));
    Apply(change, underFru1, &expected);

    const Bytes rebuilt(Fru().writeImage.bytes, Fru().writeImage.bytes + Fru().writeImage.length);
    SCOPED_TRACE(change.code + "=" + change.value + " in " + Hex(g.image) + " -> " + Hex(rebuilt));
    const Decoded actual = Decode(rebuilt, rebuilt.size());
    EXPECT_TRUE(actual.problems.empty()) << actual.problems.front();
    EXPECT_EQ(actual.hasInternalUse, expected.hasInternalUse);
    EXPECT_EQ(Hex(actual.internalUse), Hex(expected.internalUse));
    ExpectSameArea(actual.chassis, expected.chassis, "chassis");
    ExpectSameArea(actual.board, expected.board, "board");
    ExpectSameArea(actual.product, expected.product, "product");
    EXPECT_EQ(actual.hasMultiRecord, expected.hasMultiRecord);
    EXPECT_EQ(actual.records, expected.records);
    if (HasFailure()) return;
    withInternalUse += expected.hasInternalUse;
    withRecords += expected.hasMultiRecord;
    created += !hadArea;
    boardVersions += change.code == "BV";
  }
  // The rounds covered what the property is about.
  EXPECT_GT(withInternalUse, 1000);
  EXPECT_GT(withRecords, 1000);
  EXPECT_GT(created, 100);
  EXPECT_GT(boardVersions, 50);
}

}  // namespace
