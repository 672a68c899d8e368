// The UEFI binding of the platform seam: TOLVANE as a UEFI shell application.
//
// - KCS ports 0CA2h/0CA3h are reached through the firmware's PCI Root Bridge I/O
//   protocol: a UEFI application owns no I/O privilege of its own, and the root
//   bridge's Io.Read/Io.Write is the firmware's sanctioned way to touch legacy
//   I/O space (OVMF and server firmware both publish it).
// - Console text and files go through the UEFI Shell protocol so that the
//   shell's redirection (`>`, `>>`, `>a`) and current directory apply, with the
//   firmware's text console as the fallback outside a shell.
// - Nothing here allocates: gnu-efi's start-up code runs no global constructors,
//   so every table is a zero-initialised static array of fixed size.
extern "C" {
#include <efi.h>
#include <efilib.h>
#include <efishell.h>
#include <efishellintf.h>
}

#include "app/tool_main.hpp"
#include "platform/platform.hpp"
#include "platform/uefi/ucs2_text.hpp"

namespace {

EFI_HANDLE ImageHandle;
EFI_SHELL_PROTOCOL* ShellProtocol;               // null outside the UEFI shell 2.x
EFI_SHELL_PARAMETERS_PROTOCOL* ShellParameters;  // this run's argv and standard handles

// ---- Arguments ----------------------------------------------------------------

// Room for the longest command line the tool takes (-raw with 110 data bytes and
// more), with ample space for long operands.
constexpr size_t kMaxArguments = 256;
constexpr size_t kArgumentBytes = 16384;  // all arguments together, as UTF-8 with NULs

char ArgumentText[kArgumentBytes];
char* ArgumentVector[kMaxArguments + 1];
char ProgramName[] = "tolvane.efi";

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

// ---- Console ------------------------------------------------------------------

// Units per firmware call: every ConsoleWrite costs at most
// ceil(2 * length / kConsoleChunk) + 1 calls into the firmware.
constexpr size_t kConsoleChunk = 256;
CHAR16 ConsoleBuffer[kConsoleChunk + 1];
bool ConsolePreviousWasCr[2];

void EmitConsole(ConsoleStream stream, size_t units) {
  // The shell's console handle passes the buffer straight to ConOut's
  // OutputString, which reads up to a NUL whatever the size says.
  ConsoleBuffer[units] = 0;
  SHELL_FILE_HANDLE handle = nullptr;
  if (ShellProtocol != nullptr && ShellParameters != nullptr) {
    handle = stream == ConsoleStream::Error ? ShellParameters->StdErr : ShellParameters->StdOut;
  }
  if (handle != nullptr) {
    UINTN size = units * sizeof(CHAR16);
    uefi_call_wrapper(ShellProtocol->WriteFile, 3, handle, &size, ConsoleBuffer);
    return;
  }
  SIMPLE_TEXT_OUTPUT_INTERFACE* out = ST->ConOut;
  if (stream == ConsoleStream::Error && ST->StdErr != nullptr) out = ST->StdErr;
  if (out != nullptr) uefi_call_wrapper(out->OutputString, 2, out, ConsoleBuffer);
}

// ---- Files --------------------------------------------------------------------

constexpr size_t kMaxOpenFiles = 8;
constexpr size_t kMaxPathUnits = 512;  // UEFI shell paths are far shorter in practice

CHAR16 PathBuffer[kMaxPathUnits];

}  // namespace

struct PlatformFile {
  SHELL_FILE_HANDLE handle;
  bool inUse;
  bool writeFailed;
  // Written under a temporary name; FileClose puts it in place of path.
  bool replacing;
  CHAR16 path[kMaxPathUnits];
};

namespace {

PlatformFile OpenFiles[kMaxOpenFiles];

PlatformFile* FreeFileSlot() {
  for (auto& file : OpenFiles) {
    if (!file.inUse) return &file;
  }
  return nullptr;
}

// ---- Replacing a file -------------------------------------------------------------
//
// FAT has no truncate-on-open, and a file written in place would be half old and
// half new, or lost, when a write fails. So a file opened for writing is written
// under "<name>.tvnew" and put in place only once it is whole: an old file of
// that name is renamed aside to "<name>.tvold", the new file renamed to the name,
// the old one deleted. At every moment one of them carries the name, and a
// failure at any step leaves the old file as it was.

constexpr char16_t kTemporarySuffix[] = u".tvnew";
constexpr char16_t kAsideSuffix[] = u".tvold";
CHAR16 SuffixedPath[kMaxPathUnits];
// EFI_FILE_INFO followed by the longest name, 8-byte aligned.
UINT64 RenameInfo[(SIZE_OF_EFI_FILE_INFO + kMaxPathUnits * sizeof(CHAR16)) / sizeof(UINT64) + 1];

bool AppendSuffix(const CHAR16* path, const char16_t* suffix, CHAR16* out) {
  size_t length = 0;
  for (; path[length] != 0; ++length) {
    if (length + 1 >= kMaxPathUnits) return false;
    out[length] = path[length];
  }
  for (size_t i = 0; suffix[i] != 0; ++i, ++length) {
    if (length + 1 >= kMaxPathUnits) return false;
    out[length] = suffix[i];
  }
  out[length] = 0;
  return true;
}

// The last component: a new name given to SetInfo is taken relative to the
// file's own directory.
const CHAR16* BaseName(const CHAR16* path) {
  const CHAR16* base = path;
  for (const CHAR16* c = path; *c != 0; ++c) {
    if (*c == u'\\' || *c == u'/' || *c == u':') base = c + 1;
  }
  return base;
}

void DeleteByName(const CHAR16* path) {
  SHELL_FILE_HANDLE handle = nullptr;
  EFI_STATUS status = uefi_call_wrapper(ShellProtocol->OpenFileByName, 3, path, &handle,
                                        EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE);
  if (!EFI_ERROR(status) && handle != nullptr) uefi_call_wrapper(ShellProtocol->DeleteFile, 1, handle);
}

bool RenameOpenFile(SHELL_FILE_HANDLE handle, const CHAR16* newName) {
  EFI_FILE_INFO* current = static_cast<EFI_FILE_INFO*>(uefi_call_wrapper(ShellProtocol->GetFileInfo, 1, handle));
  if (current == nullptr) return false;
  auto* info = reinterpret_cast<EFI_FILE_INFO*>(RenameInfo);
  size_t units = 0;
  while (newName[units] != 0) ++units;
  info->Size = SIZE_OF_EFI_FILE_INFO + (units + 1) * sizeof(CHAR16);
  info->FileSize = current->FileSize;
  info->PhysicalSize = current->PhysicalSize;
  info->CreateTime = current->CreateTime;
  info->LastAccessTime = current->LastAccessTime;
  info->ModificationTime = current->ModificationTime;
  info->Attribute = current->Attribute;
  for (size_t i = 0; i <= units; ++i) info->FileName[i] = newName[i];
  uefi_call_wrapper(BS->FreePool, 1, current);
  return !EFI_ERROR(uefi_call_wrapper(ShellProtocol->SetFileInfo, 2, handle, info));
}

// Only files are replaced: a directory of that name is left alone.
bool IsDirectory(SHELL_FILE_HANDLE handle) {
  EFI_FILE_INFO* info = static_cast<EFI_FILE_INFO*>(uefi_call_wrapper(ShellProtocol->GetFileInfo, 1, handle));
  if (info == nullptr) return true;  // unknown: not replaced
  const bool directory = (info->Attribute & EFI_FILE_DIRECTORY) != 0;
  uefi_call_wrapper(BS->FreePool, 1, info);
  return directory;
}

// The written file (open as file->handle) takes the place of file->path.
bool PutInPlace(PlatformFile* file) {
  SHELL_FILE_HANDLE old = nullptr;
  EFI_STATUS status = uefi_call_wrapper(ShellProtocol->OpenFileByName, 3, file->path, &old,
                                        EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE);
  const bool hasOld = !EFI_ERROR(status) && old != nullptr;
  // An old file that cannot be opened for writing (read-only) stays as it is.
  if (!hasOld && status != EFI_NOT_FOUND) return false;
  if (hasOld && IsDirectory(old)) {
    uefi_call_wrapper(ShellProtocol->CloseFile, 1, old);
    return false;
  }
  if (hasOld) {
    if (!AppendSuffix(file->path, kAsideSuffix, SuffixedPath)) return false;
    DeleteByName(SuffixedPath);  // left by an interrupted run
    if (!RenameOpenFile(old, BaseName(SuffixedPath))) {
      uefi_call_wrapper(ShellProtocol->CloseFile, 1, old);
      return false;
    }
  }
  if (!RenameOpenFile(file->handle, BaseName(file->path))) {
    if (hasOld) {
      RenameOpenFile(old, BaseName(file->path));
      uefi_call_wrapper(ShellProtocol->CloseFile, 1, old);
    }
    return false;
  }
  if (hasOld) uefi_call_wrapper(ShellProtocol->DeleteFile, 1, old);
  return true;
}

// A file still open when the run ends was not finished: a replacement is
// dropped, the old file kept.
void CloseAllFiles() {
  for (auto& file : OpenFiles) {
    if (!file.inUse) continue;
    if (file.replacing) file.writeFailed = true;
    FileClose(&file);
  }
}

// ---- KCS port access ----------------------------------------------------------

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

void StallMicroseconds(uint32_t microseconds) {
  // Boot Services Stall busy-waits on the firmware's calibrated timer; the KCS
  // IBF/OBF polling intervals rely on it being a real-time wait.
  uefi_call_wrapper(BS->Stall, 1, static_cast<UINTN>(microseconds));
}

void ConsoleWrite(ConsoleStream stream, const char* text, size_t length) {
  bool* previousWasCr = &ConsolePreviousWasCr[stream == ConsoleStream::Error ? 1 : 0];
  size_t done = 0;
  while (done < length) {
    size_t consumed = 0;
    size_t units = Utf8ToUcs2Chunk(text + done, length - done, &consumed, reinterpret_cast<char16_t*>(ConsoleBuffer),
                                   kConsoleChunk, true, previousWasCr);
    if (consumed == 0) break;  // cannot happen with a chunk of two or more units
    EmitConsole(stream, units);
    done += consumed;
  }
}

PlatformFile* FileOpen(const char* name, FileMode mode) {
  if (ShellProtocol == nullptr || name == nullptr) return nullptr;
  PlatformFile* file = FreeFileSlot();
  if (file == nullptr) return nullptr;
  if (!Utf8ToUcs2String(name, reinterpret_cast<char16_t*>(PathBuffer), kMaxPathUnits)) return nullptr;
  SHELL_FILE_HANDLE handle = nullptr;
  EFI_STATUS status;
  if (mode == FileMode::WriteBinary) {
    // Written under a temporary name and put in place by FileClose (above).
    if (!AppendSuffix(PathBuffer, kTemporarySuffix, SuffixedPath)) return nullptr;
    DeleteByName(SuffixedPath);  // left by an interrupted run
    status = uefi_call_wrapper(ShellProtocol->OpenFileByName, 3, SuffixedPath, &handle,
                               EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE | EFI_FILE_MODE_CREATE);
  } else {
    status = uefi_call_wrapper(ShellProtocol->OpenFileByName, 3, PathBuffer, &handle, EFI_FILE_MODE_READ);
  }
  if (EFI_ERROR(status) || handle == nullptr) return nullptr;
  file->handle = handle;
  file->inUse = true;
  file->writeFailed = false;
  file->replacing = mode == FileMode::WriteBinary;
  for (size_t i = 0; i < kMaxPathUnits; ++i) file->path[i] = PathBuffer[i];
  return file;
}

size_t FileRead(PlatformFile* file, void* buffer, size_t size) {
  if (file == nullptr || !file->inUse) return 0;
  size_t total = 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (total < size) {
    UINTN chunk = size - total;
    EFI_STATUS status = uefi_call_wrapper(ShellProtocol->ReadFile, 3, file->handle, &chunk, bytes + total);
    if (EFI_ERROR(status) || chunk == 0) break;  // zero bytes read: end of file
    total += chunk;
  }
  return total;
}

size_t FileWrite(PlatformFile* file, const void* data, size_t size) {
  if (file == nullptr || !file->inUse) return 0;
  UINTN written = size;
  EFI_STATUS status =
      uefi_call_wrapper(ShellProtocol->WriteFile, 3, file->handle, &written, const_cast<void*>(data));
  if (EFI_ERROR(status)) {
    file->writeFailed = true;
    return 0;
  }
  if (written != size) file->writeFailed = true;
  return written;
}

bool FileSeek(PlatformFile* file, int64_t offset, SeekOrigin origin) {
  if (file == nullptr || !file->inUse) return false;
  UINT64 base = 0;
  if (origin == SeekOrigin::Current) {
    if (EFI_ERROR(uefi_call_wrapper(ShellProtocol->GetFilePosition, 2, file->handle, &base))) return false;
  } else if (origin == SeekOrigin::End) {
    if (EFI_ERROR(uefi_call_wrapper(ShellProtocol->GetFileSize, 2, file->handle, &base))) return false;
  }
  if (offset < 0 && static_cast<UINT64>(-offset) > base) return false;
  UINT64 target = base + static_cast<UINT64>(offset);
  // All ones means "end of file" to the firmware; no real offset gets there.
  if (target == ~static_cast<UINT64>(0)) return false;
  return !EFI_ERROR(uefi_call_wrapper(ShellProtocol->SetFilePosition, 2, file->handle, target));
}

int64_t FileTell(PlatformFile* file) {
  if (file == nullptr || !file->inUse) return -1;
  UINT64 position = 0;
  if (EFI_ERROR(uefi_call_wrapper(ShellProtocol->GetFilePosition, 2, file->handle, &position))) return -1;
  return static_cast<int64_t>(position);
}

bool FileClose(PlatformFile* file) {
  if (file == nullptr || !file->inUse) return false;
  bool ok;
  if (file->replacing) {
    ok = !file->writeFailed && !EFI_ERROR(uefi_call_wrapper(ShellProtocol->FlushFile, 1, file->handle)) &&
         PutInPlace(file);
    // A replacement that did not make it is deleted (which also closes it).
    EFI_STATUS status = ok ? uefi_call_wrapper(ShellProtocol->CloseFile, 1, file->handle)
                           : uefi_call_wrapper(ShellProtocol->DeleteFile, 1, file->handle);
    ok = ok && !EFI_ERROR(status);
  } else {
    // Closing is what makes the FAT driver write the directory entry and flush.
    EFI_STATUS status = uefi_call_wrapper(ShellProtocol->CloseFile, 1, file->handle);
    ok = !EFI_ERROR(status) && !file->writeFailed;
  }
  file->handle = nullptr;
  file->inUse = false;
  file->writeFailed = false;
  file->replacing = false;
  return ok;
}

int RunCommandLine(const char* commandLine) {
  if (ShellProtocol == nullptr || commandLine == nullptr) return -1;
  static CHAR16 wideCommand[kMaxPathUnits];
  if (!Utf8ToUcs2String(commandLine, reinterpret_cast<char16_t*>(wideCommand), kMaxPathUnits)) return -1;
  EFI_STATUS commandStatus = EFI_SUCCESS;
  EFI_STATUS status =
      uefi_call_wrapper(ShellProtocol->Execute, 4, &ImageHandle, wideCommand, nullptr, &commandStatus);
  if (EFI_ERROR(status)) return -1;
  // Shell commands end with small SHELL_STATUS values; an application's EFI error
  // code keeps its low bits (what %lasterror% shows without the error bit).
  return static_cast<int>(static_cast<uint32_t>(commandStatus) & 0x7FFFFFFF);
}

[[noreturn]] void ExitProcess(int status) {
  CloseAllFiles();
  uefi_call_wrapper(BS->Exit, 4, ImageHandle, static_cast<EFI_STATUS>(static_cast<uint32_t>(status)), 0, nullptr);
  for (;;) {
    // Exit does not return for a started image; nothing sensible remains if it did.
  }
}

// gnu-efi's start-up code (crt0) receives the firmware's Microsoft-convention
// call, applies the image's relocations and calls efi_main with the System V
// convention: no EFIAPI here.
extern "C" EFI_STATUS efi_main(EFI_HANDLE image, EFI_SYSTEM_TABLE* systemTable) {
  InitializeLib(image, systemTable);
  ImageHandle = image;

  void* interface = nullptr;
  if (!EFI_ERROR(uefi_call_wrapper(BS->HandleProtocol, 3, image, &ShellParametersProtocolGuid, &interface))) {
    ShellParameters = static_cast<EFI_SHELL_PARAMETERS_PROTOCOL*>(interface);
  }
  interface = nullptr;
  if (!EFI_ERROR(LibLocateProtocol(&ShellProtocolGuid, &interface))) {
    ShellProtocol = static_cast<EFI_SHELL_PROTOCOL*>(interface);
  }

  int argc;
  if (ShellParameters != nullptr) {
    argc = NarrowArguments(ShellParameters->Argv, ShellParameters->Argc);
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
  int status = ToolMain(argc, ArgumentVector);
  CloseAllFiles();
  // The shell shows this as %lasterror% (31 as 0x1F): the tool's exit status.
  return static_cast<EFI_STATUS>(static_cast<uint32_t>(status));
}
