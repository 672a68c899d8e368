// tolvane.efi: the tool's entry from the UEFI shell.
#include "app/tool_main.hpp"
#include "platform/uefi/uefi_application.hpp"

namespace {

// The run's state: zero-initialised static storage (gnu-efi's start-up code
// runs no constructors, and none is needed).
RunState Run;

int Main(int argc, char* argv[]) { return ToolMain(argc, argv, Run); }

}  // namespace

// gnu-efi's start-up code (crt0) receives the firmware's Microsoft-convention
// call, applies the image's relocations and calls efi_main with the System V
// convention: no EFIAPI here.
extern "C" EFI_STATUS efi_main(EFI_HANDLE image, EFI_SYSTEM_TABLE* systemTable) {
  return RunUefiApplication(image, systemTable, Main, "tolvane.efi");
}
