#include "sim/json_reader.hpp"

#include <cstdio>

#include "sim/ipmi_message.hpp"

std::string ByteText(uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

void JsonReader::Bytes(const json& object, const char* key, std::vector<uint8_t>* target) {
  if (!object.contains(key)) return;
  const json& value = object.at(key);
  if (!value.is_string() || !ParseHexBytes(value.get<std::string>(), target)) {
    Fail(key, "hexadecimal bytes such as \"20 81 0A\"");
  }
}

void JsonReader::Byte(const json& object, const char* key, uint8_t* target) {
  if (!object.contains(key)) return;
  std::vector<uint8_t> bytes;
  const json& value = object.at(key);
  if (value.is_number_unsigned() && value.get<unsigned>() <= 0xFF) {
    *target = static_cast<uint8_t>(value.get<unsigned>());
  } else if (value.is_string() && ParseHexBytes(value.get<std::string>(), &bytes) && bytes.size() == 1) {
    *target = bytes[0];
  } else {
    Fail(key, "one byte, e.g. \"C1\"");
  }
}

void JsonReader::OptionalByte(const json& object, const char* key, std::optional<uint8_t>* target) {
  if (!object.contains(key)) return;
  uint8_t value = 0;
  Byte(object, key, &value);
  *target = value;
}

void JsonReader::Unsigned(const json& object, const char* key, unsigned* target) {
  if (!object.contains(key)) return;
  if (!object.at(key).is_number_unsigned()) return Fail(key, "a number of 0 or more");
  *target = object.at(key).get<unsigned>();
}

void JsonReader::Bool(const json& object, const char* key, bool* target) {
  if (!object.contains(key)) return;
  if (!object.at(key).is_boolean()) return Fail(key, "true or false");
  *target = object.at(key).get<bool>();
}

void JsonReader::Text(const json& object, const char* key, std::string* target) {
  if (!object.contains(key)) return;
  if (!object.at(key).is_string()) return Fail(key, "a string");
  *target = object.at(key).get<std::string>();
}

void JsonReader::Fail(const char* key, const std::string& expected) {
  if (error_->empty()) *error_ = std::string("\"") + key + "\" must be " + expected;
}
