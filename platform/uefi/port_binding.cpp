// The UEFI binding's KCS port access: the firmware's PCI Root Bridge I/O
// protocol, looked up through Boot Services at the start of every IPMI request.
//
// Needs nothing but gnu-efi's headers and the Boot Services table BS (set by
// InitializeLib in tolvane.efi), so the host tests compile this very file
// against a stand-in firmware.
extern "C" {
#include <efi.h>
#include <efilib.h>
}

#include "platform/platform.hpp"

namespace {

EFI_GUID RootBridgeIoGuid = EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL_GUID;
EFI_PCI_ROOT_BRIDGE_IO_PROTOCOL* RootBridgeIo;

}  // namespace

bool BindPortAccess() {
  // Looked up afresh for every IPMI request, so a driver that was reconnected
  // since the last request is never called through a stale interface. When
  // several root bridges carry the protocol, the last one found is used.
  RootBridgeIo = nullptr;
  UINTN count = 0;
  EFI_HANDLE* handles = nullptr;
  EFI_STATUS status =
      uefi_call_wrapper(BS->LocateHandleBuffer, 5, ByProtocol, &RootBridgeIoGuid, nullptr, &count, &handles);
  if (!EFI_ERROR(status)) {
    // Each call stores straight into the binding; its status is not examined.
    for (UINTN i = 0; i < count; ++i) {
      uefi_call_wrapper(BS->HandleProtocol, 3, handles[i], &RootBridgeIoGuid, reinterpret_cast<void**>(&RootBridgeIo));
    }
  }
  if (handles != nullptr) uefi_call_wrapper(BS->FreePool, 1, handles);
  return RootBridgeIo != nullptr;
}

const char* PortAccessUnavailableText() { return "No PCI Root Bridge I/O protocol found."; }

uint8_t PortRead8(uint16_t port) {
  // A failed read leaves the value FFh, what an absent ISA device returns on the
  // bus, so the KCS state machine sees a BMC that is not there.
  UINT8 value = 0xFF;
  uefi_call_wrapper(RootBridgeIo->Io.Read, 5, RootBridgeIo, EfiPciIoWidthUint8, static_cast<UINT64>(port), 1, &value);
  return value;
}

void PortWrite8(uint16_t port, uint8_t value) {
  UINT8 byte = value;
  uefi_call_wrapper(RootBridgeIo->Io.Write, 5, RootBridgeIo, EfiPciIoWidthUint8, static_cast<UINT64>(port), 1, &byte);
}
