// FindSmbiosTable for UEFI: the SMBIOS entry points the firmware publishes in
// the EFI configuration table (UEFI standard 2.x, section 4.6, with the SMBIOS
// and SMBIOS3 table GUIDs). Memory is identity-mapped while boot services run,
// so the structure table's physical address is its pointer.
extern "C" {
#include <efi.h>
#include <efilib.h>
}

#include <cstdint>

#include "companion/smbios_entry_point.hpp"
#include "platform/platform.hpp"

namespace {

bool SameGuid(const EFI_GUID& a, const EFI_GUID& b) {
  const auto* x = reinterpret_cast<const uint8_t*>(&a);
  const auto* y = reinterpret_cast<const uint8_t*>(&b);
  for (size_t i = 0; i < sizeof(EFI_GUID); ++i) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

const uint8_t* ConfigurationTable(const EFI_GUID& guid) {
  for (UINTN i = 0; i < ST->NumberOfTableEntries; ++i) {
    if (SameGuid(ST->ConfigurationTable[i].VendorGuid, guid)) {
      return static_cast<const uint8_t*>(ST->ConfigurationTable[i].VendorTable);
    }
  }
  return nullptr;
}

// Sizes the entry point from its first 7 bytes (anchor and length byte), so
// nothing past the structure the firmware published is read. A length beyond
// the largest entry point defined (20h) is not believed: only the 7 bytes are
// offered, and the decoder reports the length.
size_t EntryPointLength(const uint8_t* entryPoint) {
  constexpr size_t kAnchorAndLengthBytes = 7;
  constexpr size_t kLargestEntryPoint = 0x20;
  const size_t length = SmbiosEntryPointLength(entryPoint, kAnchorAndLengthBytes);
  return length >= kAnchorAndLengthBytes && length <= kLargestEntryPoint ? length : kAnchorAndLengthBytes;
}

}  // namespace

bool FindSmbiosTable(SmbiosTableBytes* tables) {
  *tables = SmbiosTableBytes{};
  // Firmware that publishes both (OVMF with the 64-bit entry point) gives each
  // its own copy of the same structures; 3.x tables may lie above 4 GiB and
  // hold structures a 2.x reader would not.
  const uint8_t* candidates[] = {ConfigurationTable(SMBIOS3TableGuid), ConfigurationTable(SMBIOSTableGuid)};
  for (const uint8_t* entryPoint : candidates) {
    if (entryPoint == nullptr) continue;
    const size_t length = EntryPointLength(entryPoint);
    SmbiosEntryPoint entry;
    if (DecodeSmbiosEntryPoint(entryPoint, length, &entry) != SmbiosEntryPointError::None) {
      // Kept for the caller to report unless a later one decodes.
      if (tables->entryPoint == nullptr) *tables = SmbiosTableBytes{entryPoint, length, nullptr, 0};
      continue;
    }
    *tables = SmbiosTableBytes{entryPoint, length,
                               reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(entry.tableAddress)),
                               entry.tableLength};
    return true;
  }
  return tables->entryPoint != nullptr;
}
