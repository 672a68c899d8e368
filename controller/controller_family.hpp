// The controller families the tool knows: how each is recognised, the form of
// its firmware version and its request for a factory default that cleans only
// the LAN settings. One row per family.
#pragma once

#include <cstdint>
#include <span>

// BmcType values that are not a family of the table.
inline constexpr uint8_t kBmcTypeNone = 0;            // not identified yet in this run
inline constexpr uint8_t kBmcTypeUnidentified = 121;  // 'y': taken for an IPMI 1.5 controller
// The family of a controller that reports IPMI 2.0 but whose GUID names none.
inline constexpr uint8_t kBmcTypeIpmi20 = 2;

// How -ver shows the firmware version.
enum class VersionForm : uint8_t {
  TwoFields,    // Get Device ID major.minor
  ThreeFields,  // Get Device ID major.minor.auxiliary
  Oem,          // the OEM firmware version request's 32-bit values
};

// One factory-default request: network function, command and its data.
struct FactoryDefaultRequest {
  uint8_t netFn;
  uint8_t cmd;
  uint8_t data[9];
  uint8_t dataLength;

  std::span<const uint8_t> Data() const { return {data, dataLength}; }
};

// A system GUID that names a family: a whole-GUID prefix, or the form
// <family character> "001VQ" with one of the family's characters first.
inline constexpr uint8_t kGuidFamilyMarker[] = {'0', '0', '1', 'V', 'Q'};  // after the family character

struct GuidPattern {
  uint8_t prefix[8];
  uint8_t prefixLength;          // 0: the family is not named by a prefix
  const char* familyCharacters;  // "": not named by a family character
};

struct ControllerFamily {
  uint8_t bmcType;
  GuidPattern guid;  // no prefix and no characters: recognised by its IPMI 2.0 capability
  VersionForm versionForm;
  const FactoryDefaultRequest* cleanLanRequest;
};

// The family with this BmcType, or nullptr (kBmcTypeNone, kBmcTypeUnidentified).
const ControllerFamily* FindControllerFamily(uint8_t bmcType);

// The family a system GUID names (bytes as Get System GUID returns them; only
// the count received is read), or kBmcTypeNone when it matches no pattern.
uint8_t BmcTypeFromGuid(const uint8_t* guid, uint32_t count);
