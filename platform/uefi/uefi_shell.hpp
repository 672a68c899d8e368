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

// The units of a NUL-terminated UCS-2 string, without the NUL.
inline size_t WideLength(const CHAR16* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

// Appends text at *used in buffer (capacity units with the NUL); false when it
// does not fit.
inline bool AppendWide(CHAR16* buffer, size_t capacity, size_t* used, const CHAR16* text) {
  const size_t length = WideLength(text);
  if (length >= capacity - *used) return false;
  for (size_t i = 0; i <= length; ++i) buffer[*used + i] = text[i];
  *used += length;
  return true;
}

// Closes the files the run left open; a replacement not finished is dropped and
// the file it was to replace kept.
void CloseAllFiles();
