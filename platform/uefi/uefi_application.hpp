// The start of a UEFI shell application on the platform seam. tolvane.efi and
// tablornX64.efi share the whole UEFI binding (uefi_platform.cpp); each has only
// its own efi_main, which hands its main function to RunUefiApplication.
#pragma once

extern "C" {
#include <efi.h>
}

// Binds the Shell and Shell Parameters protocols, converts the shell's UCS-2
// arguments to UTF-8 (programName stands in for a missing argv[0]), runs main
// and returns its result as the exit status the shell shows in %lasterror%.
// Files main left open are closed.
EFI_STATUS RunUefiApplication(EFI_HANDLE image, EFI_SYSTEM_TABLE* systemTable, int (*main)(int argc, char* argv[]),
                              const char* programName);

// RunCommandLine's way for whatever it does not start itself: the shell's
// Execute (in EDK II's shell a nested shell instance, with "-nomap -noversion").
int RunCommandLineInShell(const char* commandLine);
