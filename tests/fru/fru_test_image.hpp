// FRU images for tests, laid out from the FRU Information Storage Definition
// on their own (not with the tool's code), so a layout fault of the tool cannot
// hide in its tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace fru_test {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kHeaderInternalUse = 1, kHeaderChassis = 2, kHeaderBoard = 3, kHeaderProduct = 4,
                        kHeaderMultiRecord = 5;

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes bytes;
  for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

inline uint8_t ZeroChecksum(const uint8_t* bytes, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(-sum & 0xFF);
}

// A field: type/length byte (type bits given, length from the data) and data.
inline Bytes Field(const std::string& text, uint8_t type = 0xC0) {
  Bytes field{static_cast<uint8_t>(type | text.size())};
  field.insert(field.end(), text.begin(), text.end());
  return field;
}
inline Bytes Fields(std::initializer_list<std::string> texts) {
  Bytes bytes;
  for (const std::string& text : texts) {
    const Bytes field = Field(text);
    bytes.insert(bytes.end(), field.begin(), field.end());
  }
  return bytes;
}

// Version 01h, length, body, C1h, 00h pad to whole units, zero checksum.
inline Bytes InfoArea(const Bytes& body) {
  Bytes area{0x01, 0x00};
  area.insert(area.end(), body.begin(), body.end());
  area.push_back(0xC1);
  while ((area.size() + 1) % 8 != 0) area.push_back(0x00);
  area[1] = static_cast<uint8_t>((area.size() + 1) / 8);
  area.push_back(ZeroChecksum(area.data(), area.size()));
  return area;
}

inline Bytes ChassisArea(uint8_t type, const Bytes& fields) { return InfoArea(Join({{type}, fields})); }
inline Bytes BoardArea(const Bytes& date, const Bytes& fields, uint8_t language = 0x00) {
  return InfoArea(Join({{language}, date, fields}));
}
inline Bytes ProductArea(const Bytes& fields, uint8_t language = 0x00) { return InfoArea(Join({{language}, fields})); }

// A multirecord with its checksums; last sets the end-of-list bit.
inline Bytes MultiRecord(uint8_t type, const Bytes& data, bool last) {
  Bytes record{type, static_cast<uint8_t>(last ? 0x82 : 0x02), static_cast<uint8_t>(data.size()), 0, 0};
  record[3] = ZeroChecksum(data.data(), data.size());
  record[4] = ZeroChecksum(record.data(), 4);
  record.insert(record.end(), data.begin(), data.end());
  return record;
}

// Header, then the areas in the order given (each at the next offset, its
// header byte set), padded with 00h to size.
inline Bytes LaidOut(const std::vector<std::pair<size_t, Bytes>>& areas, size_t size) {
  Bytes image(8, 0x00);
  image[0] = 0x01;
  for (const auto& [headerByte, area] : areas) {
    image[headerByte] = static_cast<uint8_t>(image.size() / 8);
    image.insert(image.end(), area.begin(), area.end());
  }
  image[7] = ZeroChecksum(image.data(), 7);
  if (image.size() < size) image.resize(size, 0x00);
  return image;
}

inline std::string Hex(const Bytes& bytes) {
  std::string text;
  char byte[4];
  for (uint8_t b : bytes) {
    std::snprintf(byte, sizeof byte, "%02X ", b);
    text += byte;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace fru_test
