// tvrun.efi, for the UEFI shell tier only: runs its arguments as one command
// line through the UEFI binding's RunCommandLine, as the tool runs the SMBIOS
// dump, and prints the status it got. With -shell the line goes to the shell's
// Execute instead (RunCommandLineInShell); with -t the guest time the call took
// is printed too (the time stamp counter, calibrated against the firmware's Stall).
#include <cstdint>

#include "platform/platform.hpp"
#include "platform/uefi/uefi_application.hpp"
#include "support/format.hpp"
#include "support/text.hpp"

namespace {

char CommandLine[1024];

uint64_t TimeStampCounter() { return __builtin_ia32_rdtsc(); }

int RunCommandMain(int argc, char* argv[]) {
  bool inShell = false;
  bool timed = false;
  int first = 1;
  for (; first < argc; ++first) {
    if (StringEquals(argv[first], "-shell")) {
      inShell = true;
    } else if (StringEquals(argv[first], "-t")) {
      timed = true;
    } else {
      break;
    }
  }
  size_t used = 0;
  for (int i = first; i < argc; ++i) {
    const size_t length = StringLength(argv[i]);
    if (used + length + 2 > sizeof CommandLine) return 12;
    if (used > 0) CommandLine[used++] = ' ';
    CopyBytes(CommandLine + used, argv[i], length);
    used += length;
  }
  CommandLine[used] = '\0';

  constexpr uint32_t kCalibrationMicroseconds = 100000;
  uint64_t ticksPerCalibration = 0;
  if (timed) {
    const uint64_t before = TimeStampCounter();
    StallMicroseconds(kCalibrationMicroseconds);
    ticksPerCalibration = TimeStampCounter() - before;
  }
  const uint64_t start = TimeStampCounter();
  const int status = inShell ? RunCommandLineInShell(CommandLine) : RunCommandLine(CommandLine);
  const uint64_t ticks = TimeStampCounter() - start;
  Printf("status %d\n", status);
  if (timed && ticksPerCalibration != 0) {
    Printf("took %u ms\n", static_cast<unsigned>(ticks * (kCalibrationMicroseconds / 1000) / ticksPerCalibration));
  }
  return 0;
}

}  // namespace

extern "C" EFI_STATUS efi_main(EFI_HANDLE image, EFI_SYSTEM_TABLE* systemTable) {
  return RunUefiApplication(image, systemTable, RunCommandMain, "tvrun.efi");
}
