#include "controller/controller_family.hpp"

#include "controller/controller_commands.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// Cleaning only the LAN settings: the request differs by family.
constexpr uint8_t kCleanLanOnly = 0x01;
constexpr FactoryDefaultRequest kCleanLanByCleanCommand = {
    kNetFnOemController, kCmdOemFactoryDefaultClean, {kCleanLanOnly}, 1};
constexpr FactoryDefaultRequest kCleanLanByOwnCommand = {kNetFnOemController, kCmdOemFactoryDefaultCleanLan, {}, 0};
// OEM/Group request: IANA enterprise number 002B5Eh, least significant byte
// first, then the function bytes.
constexpr FactoryDefaultRequest kCleanLanByOemGroup = {
    kNetFnOemGroup, kCmdOemGroupFactoryDefault, {0x5E, 0x2B, 0x00, 0x0A, 0x01, 0xFF, 0x00, 0x00, 0x00}, 9};

constexpr GuidPattern kByCapability = {{}, 0, ""};
constexpr GuidPattern Prefix(std::initializer_list<uint8_t> bytes) {
  GuidPattern pattern{{}, 0, ""};
  for (uint8_t byte : bytes) pattern.prefix[pattern.prefixLength++] = byte;
  return pattern;
}
constexpr GuidPattern Characters(const char* characters) { return {{}, 0, characters}; }

using enum VersionForm;
constexpr ControllerFamily kFamilies[] = {
    {kBmcTypeIpmi20, kByCapability, TwoFields, &kCleanLanByOemGroup},
    {3, Prefix({0x20, 0x00, 0x0E, 0x40, 0x02, 0x7F, 0x78, 0x08}), TwoFields, &kCleanLanByOwnCommand},
    {4, Prefix({0x02, 0x00, 0x00, 0xFF, 0xFE, 0x00}), Oem, &kCleanLanByOwnCommand},
    {5, Characters("0"), Oem, &kCleanLanByOwnCommand},
    {6, Characters("1"), Oem, &kCleanLanByOwnCommand},
    {7, Characters("3"), Oem, &kCleanLanByOwnCommand},
    {8, Characters("8"), Oem, &kCleanLanByOwnCommand},
    {9, Characters("2"), Oem, &kCleanLanByOwnCommand},
    {10, Characters("45"), TwoFields, &kCleanLanByCleanCommand},
    {11, Characters("6"), TwoFields, &kCleanLanByCleanCommand},
    {12, Characters("9"), ThreeFields, &kCleanLanByCleanCommand},
    {13, Characters("7"), TwoFields, &kCleanLanByOwnCommand},
    {14, Characters("C"), TwoFields, &kCleanLanByOwnCommand},
    {15, Characters("D"), TwoFields, &kCleanLanByCleanCommand},
};

bool StartsWith(const uint8_t* data, uint32_t count, const uint8_t* prefix, uint32_t length) {
  if (count < length) return false;
  for (uint32_t i = 0; i < length; ++i) {
    if (data[i] != prefix[i]) return false;
  }
  return true;
}

bool NamesFamilyCharacter(const char* characters, uint8_t character) {
  for (const char* c = characters; *c != '\0'; ++c) {
    if (static_cast<uint8_t>(*c) == character) return true;
  }
  return false;
}

}  // namespace

const ControllerFamily* FindControllerFamily(uint8_t bmcType) {
  for (const ControllerFamily& family : kFamilies) {
    if (family.bmcType == bmcType) return &family;
  }
  return nullptr;
}

uint8_t BmcTypeFromGuid(const uint8_t* guid, uint32_t count) {
  // Whole-GUID prefixes first: they name a family by themselves.
  for (const ControllerFamily& family : kFamilies) {
    const GuidPattern& pattern = family.guid;
    if (pattern.prefixLength != 0 && StartsWith(guid, count, pattern.prefix, pattern.prefixLength)) {
      return family.bmcType;
    }
  }
  if (count < 1 + sizeof kGuidFamilyMarker ||
      !StartsWith(guid + 1, count - 1, kGuidFamilyMarker, sizeof kGuidFamilyMarker)) {
    return kBmcTypeNone;
  }
  for (const ControllerFamily& family : kFamilies) {
    if (NamesFamilyCharacter(family.guid.familyCharacters, guid[0])) return family.bmcType;
  }
  return kBmcTypeNone;
}
