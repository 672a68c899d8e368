#include "companion/smbios_entry_point.hpp"

namespace {

// Offsets in the 2.x entry point (SMBIOS 3.x standard, table 1).
constexpr size_t kLength2 = 0x05;
constexpr size_t kMajor2 = 0x06;
constexpr size_t kMinor2 = 0x07;
constexpr size_t kIntermediateAnchor = 0x10;
constexpr size_t kIntermediateLength = 0x0F;  // 10h..1Eh, covered by the intermediate checksum
constexpr size_t kTableLength2 = 0x16;
constexpr size_t kTableAddress2 = 0x18;
constexpr size_t kMinimumLength2 = 0x1F;

// Offsets in the 3.x entry point (table 2).
constexpr size_t kLength3 = 0x06;
constexpr size_t kMajor3 = 0x07;
constexpr size_t kMinor3 = 0x08;
constexpr size_t kTableMaximum3 = 0x0C;
constexpr size_t kTableAddress3 = 0x10;
constexpr size_t kMinimumLength3 = 0x18;

constexpr size_t kAnchorAndLengthBytes = 7;

bool StartsWith(const uint8_t* bytes, size_t available, const char* anchor, size_t anchorLength) {
  if (available < anchorLength) return false;
  for (size_t i = 0; i < anchorLength; ++i) {
    if (bytes[i] != static_cast<uint8_t>(anchor[i])) return false;
  }
  return true;
}

bool Is64BitAnchor(const uint8_t* bytes, size_t available) { return StartsWith(bytes, available, "_SM3_", 5); }
bool Is32BitAnchor(const uint8_t* bytes, size_t available) { return StartsWith(bytes, available, "_SM_", 4); }

uint8_t Sum(const uint8_t* bytes, size_t count) {
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum;
}

uint64_t LittleEndian(const uint8_t* bytes, size_t count) {
  uint64_t value = 0;
  for (size_t i = count; i > 0; --i) value = (value << 8) | bytes[i - 1];
  return value;
}

constexpr const char* kErrorTexts[] = {
    "no error",
    "no \"_SM_\" or \"_SM3_\" anchor",
    "its length is too short",
    "its length reaches past the entry point",
    "checksum error",
    "no \"_DMI_\" intermediate anchor",
    "intermediate checksum error",
    "no structure table",
};

}  // namespace

size_t SmbiosEntryPointLength(const uint8_t* bytes, size_t available) {
  if (bytes == nullptr || available < kAnchorAndLengthBytes) return 0;
  if (Is64BitAnchor(bytes, available)) return bytes[kLength3];
  if (Is32BitAnchor(bytes, available)) return bytes[kLength2];
  return 0;
}

SmbiosEntryPointError DecodeSmbiosEntryPoint(const uint8_t* bytes, size_t available, SmbiosEntryPoint* entry) {
  *entry = SmbiosEntryPoint{};
  if (bytes == nullptr) return SmbiosEntryPointError::UnknownAnchor;
  const bool is64Bit = Is64BitAnchor(bytes, available);
  if (!is64Bit && !Is32BitAnchor(bytes, available)) return SmbiosEntryPointError::UnknownAnchor;
  if (available < kAnchorAndLengthBytes) return SmbiosEntryPointError::LengthPastEnd;
  const size_t length = SmbiosEntryPointLength(bytes, available);
  if (length < (is64Bit ? kMinimumLength3 : kMinimumLength2)) return SmbiosEntryPointError::LengthTooSmall;
  if (length > available) return SmbiosEntryPointError::LengthPastEnd;
  if (Sum(bytes, length) != 0) return SmbiosEntryPointError::Checksum;

  entry->is64Bit = is64Bit;
  if (is64Bit) {
    entry->majorVersion = bytes[kMajor3];
    entry->minorVersion = bytes[kMinor3];
    entry->tableLength = static_cast<uint32_t>(LittleEndian(bytes + kTableMaximum3, 4));
    entry->tableAddress = LittleEndian(bytes + kTableAddress3, 8);
  } else {
    if (!StartsWith(bytes + kIntermediateAnchor, length - kIntermediateAnchor, "_DMI_", 5)) {
      return SmbiosEntryPointError::IntermediateAnchor;
    }
    if (Sum(bytes + kIntermediateAnchor, kIntermediateLength) != 0) return SmbiosEntryPointError::IntermediateChecksum;
    entry->majorVersion = bytes[kMajor2];
    entry->minorVersion = bytes[kMinor2];
    entry->tableLength = static_cast<uint32_t>(LittleEndian(bytes + kTableLength2, 2));
    entry->tableAddress = LittleEndian(bytes + kTableAddress2, 4);
  }
  if (entry->tableAddress == 0 || entry->tableLength == 0 ||
      entry->tableAddress + entry->tableLength < entry->tableAddress) {
    return SmbiosEntryPointError::NoStructureTable;
  }
  return SmbiosEntryPointError::None;
}

const char* SmbiosEntryPointErrorText(SmbiosEntryPointError error) {
  const auto index = static_cast<size_t>(error);
  return index < sizeof kErrorTexts / sizeof kErrorTexts[0] ? kErrorTexts[index] : "unknown error";
}
