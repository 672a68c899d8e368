// The UEFI binding of the platform seam: TOLVANE as a UEFI shell application.
//
// - KCS ports 0CA2h/0CA3h are reached through the firmware's PCI Root Bridge I/O
//   protocol: a UEFI application owns no I/O privilege of its own, and the root
//   bridge's Io.Read/Io.Write is the firmware's sanctioned way to touch legacy
//   I/O space (OVMF and server firmware both publish it); see port_binding.cpp.
// - Console text (uefi_console.cpp) and files (uefi_files.cpp) go through the
//   UEFI Shell protocol; command lines are run as the shell would
//   (uefi_launch.cpp).
// - Nothing here allocates: gnu-efi's start-up code runs no global constructors,
//   so every table is a zero-initialised static array of fixed size.
#include "platform/uefi/uefi_application.hpp"

#include "platform/platform.hpp"
#include "platform/uefi/ucs2_text.hpp"
#include "platform/uefi/uefi_shell.hpp"

ShellBinding BoundShell;

namespace {

// Room for the longest command line the tool takes (-raw with 110 data bytes and
// more), with ample space for long operands.
constexpr size_t kMaxArguments = 256;
constexpr size_t kArgumentBytes = 16384;  // all arguments together, as UTF-8 with NULs

char ArgumentText[kArgumentBytes];
char* ArgumentVector[kMaxArguments + 1];
char ProgramName[32];  // argv[0] when the shell gives none

// Copies the shell's UCS-2 arguments into ArgumentText. Returns argc, or -1 when
// they do not all fit: a command line is never cut short, since a shortened one
// could still be a valid command (a raw request with fewer data bytes).
int NarrowArguments(CHAR16** wideArgv, UINTN wideArgc) {
  size_t used = 0;
  int argc = 0;
  for (UINTN i = 0; i < wideArgc; ++i) {
    if (wideArgv[i] == nullptr) break;
    if (static_cast<size_t>(argc) == kMaxArguments) return -1;
    const auto* wide = reinterpret_cast<const char16_t*>(wideArgv[i]);
    if (Utf8LengthOfUcs2(wide) + 1 > kArgumentBytes - used) return -1;
    const size_t length = Ucs2ToUtf8String(wide, ArgumentText + used, kArgumentBytes - used);
    ArgumentVector[argc++] = ArgumentText + used;
    used += length + 1;
  }
  if (argc == 0) ArgumentVector[argc++] = ProgramName;
  ArgumentVector[argc] = nullptr;
  return argc;
}

}  // namespace

void StallMicroseconds(uint32_t microseconds) {
  // Boot Services Stall busy-waits on the firmware's calibrated timer; the KCS
  // IBF/OBF polling intervals rely on it being a real-time wait.
  uefi_call_wrapper(BS->Stall, 1, static_cast<UINTN>(microseconds));
}

// In the UEFI shell the tool drives the KCS interface itself.
BmcPath BmcRequestPath() { return BmcPath::KcsPorts; }

bool TransferMessage(uint8_t, uint8_t, std::span<const uint8_t>, std::span<uint8_t>, size_t*, const char** failure) {
  *failure = "No message path to the BMC in the UEFI shell.";
  return false;
}

EFI_STATUS RunUefiApplication(EFI_HANDLE image, EFI_SYSTEM_TABLE* systemTable, int (*main)(int argc, char* argv[]),
                              const char* programName) {
  InitializeLib(image, systemTable);
  BoundShell.image = image;
  for (size_t i = 0; i + 1 < sizeof ProgramName && programName[i] != '\0'; ++i) ProgramName[i] = programName[i];

  void* interface = nullptr;
  if (!EFI_ERROR(uefi_call_wrapper(BS->HandleProtocol, 3, image, &ShellParametersProtocolGuid, &interface))) {
    BoundShell.parameters = static_cast<EFI_SHELL_PARAMETERS_PROTOCOL*>(interface);
  }
  interface = nullptr;
  if (!EFI_ERROR(LibLocateProtocol(&ShellProtocolGuid, &interface))) {
    BoundShell.shell = static_cast<EFI_SHELL_PROTOCOL*>(interface);
  }

  int argc;
  if (BoundShell.parameters != nullptr) {
    argc = NarrowArguments(BoundShell.parameters->Argv, BoundShell.parameters->Argc);
  } else {
    // An older shell publishes only its own interface; gnu-efi reads either.
    CHAR16** wideArgv = nullptr;
    INTN wideArgc = GetShellArgcArgv(image, &wideArgv);
    argc = NarrowArguments(wideArgv, (wideArgv != nullptr && wideArgc > 0) ? static_cast<UINTN>(wideArgc) : 0);
  }

  if (argc < 0) {
    static const char kTooLong[] = "The command line is too long.\n";
    ConsoleWrite(ConsoleStream::Output, kTooLong, sizeof kTooLong - 1);
    return 12;  // an operand value was rejected
  }
  int status = main(argc, ArgumentVector);
  CloseAllFiles();
  // The shell shows this as %lasterror% (31 as 0x1F): the application's exit status.
  return static_cast<EFI_STATUS>(static_cast<uint32_t>(status));
}
