// The UEFI binding of the platform seam: TOLVANE as a UEFI shell application.
//
// - KCS ports 0CA2h/0CA3h are reached through the firmware's PCI Root Bridge I/O
//   protocol: a UEFI application owns no I/O privilege of its own, and the root
//   bridge's Io.Read/Io.Write is the firmware's sanctioned way to touch legacy
//   I/O space (OVMF and server firmware both publish it); see port_binding.cpp.
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

#include "platform/platform.hpp"
#include "platform/uefi/ucs2_text.hpp"
#include "platform/uefi/uefi_application.hpp"

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

// The SEL listing keeps its nine event text data files open at once.
constexpr size_t kMaxOpenFiles = 16;
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

// FileDelete on a name already converted to UCS-2.
bool DeleteFileByPath(const CHAR16* path) {
  SHELL_FILE_HANDLE handle = nullptr;
  EFI_STATUS status =
      uefi_call_wrapper(ShellProtocol->OpenFileByName, 3, path, &handle, EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE);
  if (!EFI_ERROR(status) && handle != nullptr) {
    // Closes the handle whatever it returns; EFI_WARN_DELETE_FAILURE when the
    // file stays.
    return uefi_call_wrapper(ShellProtocol->DeleteFile, 1, handle) == EFI_SUCCESS;
  }
  if (status == EFI_NOT_FOUND) return true;
  // Not writable (read-only medium or attribute): gone only if it cannot be
  // opened at all because it is not there.
  handle = nullptr;
  status = uefi_call_wrapper(ShellProtocol->OpenFileByName, 3, path, &handle, EFI_FILE_MODE_READ);
  if (!EFI_ERROR(status) && handle != nullptr) uefi_call_wrapper(ShellProtocol->CloseFile, 1, handle);
  return status == EFI_NOT_FOUND;
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
    DeleteFileByPath(SuffixedPath);  // left by an interrupted run
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


}  // namespace

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
    // A file that cannot be opened for writing (read-only, on a read-only
    // medium) or a directory of that name is refused before anything is written.
    status = uefi_call_wrapper(ShellProtocol->OpenFileByName, 3, PathBuffer, &handle,
                               EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE);
    if (!EFI_ERROR(status) && handle != nullptr) {
      const bool directory = IsDirectory(handle);
      uefi_call_wrapper(ShellProtocol->CloseFile, 1, handle);
      handle = nullptr;
      if (directory) return nullptr;
    } else if (status != EFI_NOT_FOUND) {
      return nullptr;
    }
    // Written under a temporary name and put in place by FileClose (above).
    if (!AppendSuffix(PathBuffer, kTemporarySuffix, SuffixedPath)) return nullptr;
    DeleteFileByPath(SuffixedPath);  // left by an interrupted run
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

bool FileDelete(const char* name) {
  if (ShellProtocol == nullptr || name == nullptr) return false;
  if (!Utf8ToUcs2String(name, reinterpret_cast<char16_t*>(PathBuffer), kMaxPathUnits)) return false;
  return DeleteFileByPath(PathBuffer);
}

// ---- Shell commands -------------------------------------------------------------
//
// EDK II's shell runs every Execute in a nested shell instance, which clears the
// screen before it parses a single option and then prints its banner and the
// mapping table. A command line that just names an application found as a file
// (in the current directory or a %path% directory, where the shell looks) is
// therefore started here directly, the way the shell starts an application:
// LoadImage, its command line as load options, a Shell Parameters protocol with
// its arguments and this application's standard handles, StartImage. Anything
// else (internal commands, scripts, redirection, a program not found) goes to
// Execute, with "-nomap -noversion" for a nesting shell, so only the screen
// clearing remains of the nested shell's output.

namespace {

constexpr size_t kMaxCommandWords = 32;
constexpr int kNotStarted = -2;

CHAR16 CommandLineText[kMaxPathUnits];  // the whole line: the child's load options
CHAR16 CommandWords[kMaxPathUnits];     // the same, blanks turned into NULs
CHAR16* CommandArgv[kMaxCommandWords + 1];
CHAR16 ProgramPath[kMaxPathUnits];
CHAR16 ShellCommandLine[kMaxPathUnits];

size_t WideLength(const CHAR16* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

// Appends text at *used in buffer (capacity units with the NUL); false when it does not fit.
bool AppendWide(CHAR16* buffer, size_t capacity, size_t* used, const CHAR16* text) {
  const size_t length = WideLength(text);
  if (length >= capacity - *used) return false;
  for (size_t i = 0; i <= length; ++i) buffer[*used + i] = text[i];
  *used += length;
  return true;
}

bool WideEqualsIgnoreCase(const CHAR16* a, const char* b) {
  size_t i = 0;
  for (; a[i] != 0 && b[i] != '\0'; ++i) {
    CHAR16 x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<CHAR16>(a[i] - 'a' + 'A') : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
    if (x != static_cast<CHAR16>(y)) return false;
  }
  return a[i] == 0 && b[i] == '\0';
}

// Words separated by blanks, with no character the shell would give another
// meaning (quotes, variables, redirection, pipes, escapes, comments, wildcards).
bool SplitPlainCommandLine(const CHAR16* line, size_t* argc) {
  size_t used = 0;
  if (!AppendWide(CommandWords, kMaxPathUnits, &used, line)) return false;
  *argc = 0;
  bool inWord = false;
  for (size_t i = 0; CommandWords[i] != 0; ++i) {
    const CHAR16 c = CommandWords[i];
    if (c == '"' || c == '%' || c == '>' || c == '<' || c == '|' || c == '^' || c == '#' || c == '*' || c == '?' ||
        c == '[' || c == '\t') {
      return false;
    }
    if (c == ' ') {
      CommandWords[i] = 0;
      inWord = false;
    } else if (!inWord) {
      if (*argc == kMaxCommandWords) return false;
      CommandArgv[(*argc)++] = &CommandWords[i];
      inWord = true;
    }
  }
  CommandArgv[*argc] = nullptr;
  return *argc > 0;
}

bool FileExists(CHAR16* path) {
  SHELL_FILE_HANDLE handle = nullptr;
  if (EFI_ERROR(uefi_call_wrapper(ShellProtocol->OpenFileByName, 3, path, &handle, EFI_FILE_MODE_READ)) ||
      handle == nullptr) {
    return false;
  }
  uefi_call_wrapper(ShellProtocol->CloseFile, 1, handle);
  return true;
}

// Where the shell would find the program: a name with a drive or directory as
// it is, a bare name in the current directory, then in each %path% directory.
bool FindProgram(const CHAR16* name) {
  size_t used = 0;
  if (!AppendWide(ProgramPath, kMaxPathUnits, &used, name)) return false;
  if (FileExists(ProgramPath)) return true;
  for (size_t i = 0; name[i] != 0; ++i) {
    if (name[i] == ':' || name[i] == '\\') return false;
  }
  const CHAR16* path = uefi_call_wrapper(ShellProtocol->GetEnv, 1, reinterpret_cast<const CHAR16*>(u"path"));
  if (path == nullptr) return false;
  size_t start = 0;
  while (path[start] != 0) {
    size_t end = start;
    while (path[end] != 0 && path[end] != ';') ++end;
    if (end > start && end - start < kMaxPathUnits) {
      used = 0;
      for (size_t i = start; i < end; ++i) ProgramPath[used++] = path[i];
      ProgramPath[used] = 0;
      const bool joined = (ProgramPath[used - 1] == '\\' ||
                           AppendWide(ProgramPath, kMaxPathUnits, &used, reinterpret_cast<const CHAR16*>(u"\\"))) &&
                          AppendWide(ProgramPath, kMaxPathUnits, &used, name);
      if (joined && FileExists(ProgramPath)) return true;
    }
    start = path[end] == ';' ? end + 1 : end;
  }
  return false;
}

// The program at ProgramPath with CommandArgv: its status, or kNotStarted when
// it could not be loaded (the shell then gets the line and reports why).
int StartProgram(size_t argc) {
  EFI_DEVICE_PATH* devicePath =
      uefi_call_wrapper(ShellProtocol->GetDevicePathFromFilePath, 1, static_cast<const CHAR16*>(ProgramPath));
  if (devicePath == nullptr) return kNotStarted;
  EFI_HANDLE child = nullptr;
  EFI_STATUS status = uefi_call_wrapper(BS->LoadImage, 6, FALSE, ImageHandle, devicePath, nullptr, 0, &child);
  uefi_call_wrapper(BS->FreePool, 1, devicePath);
  if (EFI_ERROR(status)) {
    // A security violation still leaves an image handle behind.
    if (child != nullptr) uefi_call_wrapper(BS->UnloadImage, 1, child);
    return kNotStarted;
  }
  EFI_LOADED_IMAGE* loaded = nullptr;
  if (!EFI_ERROR(uefi_call_wrapper(BS->HandleProtocol, 3, child, &LoadedImageProtocol, reinterpret_cast<void**>(&loaded))) &&
      loaded != nullptr) {
    loaded->LoadOptions = CommandLineText;
    loaded->LoadOptionsSize = static_cast<UINT32>((WideLength(CommandLineText) + 1) * sizeof(CHAR16));
  }
  static EFI_SHELL_PARAMETERS_PROTOCOL childParameters;
  childParameters = EFI_SHELL_PARAMETERS_PROTOCOL{CommandArgv, argc, ShellParameters->StdIn, ShellParameters->StdOut,
                                                  ShellParameters->StdErr};
  status = uefi_call_wrapper(BS->InstallProtocolInterface, 4, &child, &ShellParametersProtocolGuid,
                             EFI_NATIVE_INTERFACE, &childParameters);
  if (EFI_ERROR(status)) {
    uefi_call_wrapper(BS->UnloadImage, 1, child);
    return kNotStarted;
  }
  UINTN exitDataSize = 0;
  CHAR16* exitData = nullptr;
  const EFI_STATUS childStatus = uefi_call_wrapper(BS->StartImage, 3, child, &exitDataSize, &exitData);
  uefi_call_wrapper(BS->UninstallProtocolInterface, 3, child, &ShellParametersProtocolGuid, &childParameters);
  if (exitData != nullptr) uefi_call_wrapper(BS->FreePool, 1, exitData);
  return static_cast<int>(static_cast<uint32_t>(childStatus) & 0x7FFFFFFF);
}

}  // namespace

int RunCommandLineInShell(const char* commandLine) {
  if (ShellProtocol == nullptr || commandLine == nullptr) return -1;
  size_t used = 0;
  ShellCommandLine[0] = 0;
  // A nesting shell takes options before the command; one that runs Execute in
  // itself would take "-nomap" for the command.
  const CHAR16* noNesting = uefi_call_wrapper(ShellProtocol->GetEnv, 1, reinterpret_cast<const CHAR16*>(u"nonesting"));
  if ((noNesting == nullptr || !WideEqualsIgnoreCase(noNesting, "True")) &&
      !AppendWide(ShellCommandLine, kMaxPathUnits, &used, reinterpret_cast<const CHAR16*>(u"-nomap -noversion "))) {
    return -1;
  }
  if (!Utf8ToUcs2String(commandLine, reinterpret_cast<char16_t*>(ShellCommandLine + used), kMaxPathUnits - used)) {
    return -1;
  }
  // The shell leaves the status alone when it finds no program to run.
  EFI_STATUS commandStatus = EFI_SUCCESS;
  EFI_STATUS status =
      uefi_call_wrapper(ShellProtocol->Execute, 4, &ImageHandle, ShellCommandLine, nullptr, &commandStatus);
  if (EFI_ERROR(status)) return -1;
  // Shell commands end with small SHELL_STATUS values; an application's EFI error
  // code keeps its low bits (what %lasterror% shows without the error bit).
  return static_cast<int>(static_cast<uint32_t>(commandStatus) & 0x7FFFFFFF);
}

// Whether a word names a UEFI application by its file name (NAME.efi).
bool NamesApplication(const CHAR16* word) {
  const size_t length = WideLength(word);
  return length > 4 && WideEqualsIgnoreCase(word + length - 4, ".efi");
}

int RunCommandLine(const char* commandLine) {
  if (ShellProtocol == nullptr || commandLine == nullptr) return -1;
  if (!Utf8ToUcs2String(commandLine, reinterpret_cast<char16_t*>(CommandLineText), kMaxPathUnits)) return -1;
  size_t argc = 0;
  if (ShellParameters != nullptr && SplitPlainCommandLine(CommandLineText, &argc)) {
    if (FindProgram(CommandArgv[0])) {
      const int status = StartProgram(argc);
      if (status != kNotStarted) return status;
    } else if (NamesApplication(CommandArgv[0])) {
      // An application that is nowhere the shell would look: a nested shell
      // would only clear the screen to say so.
      return -1;
    }
  }
  return RunCommandLineInShell(commandLine);
}

EFI_STATUS RunUefiApplication(EFI_HANDLE image, EFI_SYSTEM_TABLE* systemTable, int (*main)(int argc, char* argv[]),
                              const char* programName) {
  InitializeLib(image, systemTable);
  ImageHandle = image;
  for (size_t i = 0; i + 1 < sizeof ProgramName && programName[i] != '\0'; ++i) ProgramName[i] = programName[i];

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
  int status = main(argc, ArgumentVector);
  CloseAllFiles();
  // The shell shows this as %lasterror% (31 as 0x1F): the application's exit status.
  return static_cast<EFI_STATUS>(static_cast<uint32_t>(status));
}
