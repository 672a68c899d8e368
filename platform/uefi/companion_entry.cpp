// tablornX64.efi: the SMBIOS dump's entry from the UEFI shell, on the same UEFI
// binding as tolvane.efi.
#include "companion/companion_main.hpp"
#include "platform/uefi/uefi_application.hpp"

// Called by gnu-efi's crt0 with the System V convention (see tool_entry.cpp).
extern "C" EFI_STATUS efi_main(EFI_HANDLE image, EFI_SYSTEM_TABLE* systemTable) {
  return RunUefiApplication(image, systemTable, CompanionMain, "tablornX64.efi");
}
