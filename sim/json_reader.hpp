// Reading scenario JSON with error reporting: every getter records the first
// problem (naming the key) and leaves its target unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

template <typename Enum>
struct EnumName {
  Enum value;
  const char* name;
};

template <typename Enum, size_t N>
const char* NameOf(const std::array<EnumName<Enum>, N>& names, Enum value) {
  for (const auto& entry : names) {
    if (entry.value == value) return entry.name;
  }
  return names[0].name;
}

std::string ByteText(uint8_t value);  // "C1"

class JsonReader {
 public:
  using json = nlohmann::json;
  explicit JsonReader(std::string* error) : error_(error) {}
  bool Ok() const { return error_->empty(); }

  void Bytes(const json& object, const char* key, std::vector<uint8_t>* target);
  void Byte(const json& object, const char* key, uint8_t* target);  // a number or "C1"
  void OptionalByte(const json& object, const char* key, std::optional<uint8_t>* target);
  void Unsigned(const json& object, const char* key, unsigned* target);
  void Bool(const json& object, const char* key, bool* target);
  void Text(const json& object, const char* key, std::string* target);

  template <typename Enum, size_t N>
  void Name(const json& object, const char* key, const std::array<EnumName<Enum>, N>& names, Enum* target) {
    if (!object.contains(key)) return;
    std::string allowed;
    for (const auto& entry : names) {
      if (object.at(key) == entry.name) {
        *target = entry.value;
        return;
      }
      allowed += (allowed.empty() ? "" : ", ") + std::string(entry.name);
    }
    Fail(key, "one of " + allowed);
  }

  void Fail(const char* key, const std::string& expected);

 private:
  std::string* error_;
};
