// What the parts of the UEFI binding share: the image and the shell protocols
// this run is bound to (set once by RunUefiApplication), and the longest path.
#pragma once

extern "C" {
#include <efi.h>
#include <efilib.h>
#include <efishell.h>
#include <efishellintf.h>
}

#include <cstddef>

inline constexpr size_t kMaxPathUnits = 512;  // UEFI shell paths are far shorter in practice

struct ShellBinding {
  EFI_HANDLE image;
  EFI_SHELL_PROTOCOL* shell;                  // null outside the UEFI shell 2.x
  EFI_SHELL_PARAMETERS_PROTOCOL* parameters;  // this run's argv and standard handles
};
// Zero-initialised: gnu-efi's start-up code runs no constructors.
extern ShellBinding BoundShell;

// Closes the files the run left open; a replacement not finished is dropped and
// the file it was to replace kept.
void CloseAllFiles();
