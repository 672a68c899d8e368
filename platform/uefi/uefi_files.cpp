// Files of the UEFI binding, through the Shell protocol so that the shell's
// current directory and mappings apply; a file written is put in place of an
// earlier one only once it is whole.
#include "platform/platform.hpp"
#include "platform/uefi/ucs2_text.hpp"
#include "platform/uefi/uefi_shell.hpp"

namespace {

// The SEL listing keeps its nine event text data files open at once.
constexpr size_t kMaxOpenFiles = 16;

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
  size_t used = 0;
  return AppendWide(out, kMaxPathUnits, &used, path) &&
         AppendWide(out, kMaxPathUnits, &used, reinterpret_cast<const CHAR16*>(suffix));
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
      uefi_call_wrapper(BoundShell.shell->OpenFileByName, 3, path, &handle, EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE);
  if (!EFI_ERROR(status) && handle != nullptr) {
    // Closes the handle whatever it returns; EFI_WARN_DELETE_FAILURE when the
    // file stays.
    return uefi_call_wrapper(BoundShell.shell->DeleteFile, 1, handle) == EFI_SUCCESS;
  }
  if (status == EFI_NOT_FOUND) return true;
  // Not writable (read-only medium or attribute): gone only if it cannot be
  // opened at all because it is not there.
  handle = nullptr;
  status = uefi_call_wrapper(BoundShell.shell->OpenFileByName, 3, path, &handle, EFI_FILE_MODE_READ);
  if (!EFI_ERROR(status) && handle != nullptr) uefi_call_wrapper(BoundShell.shell->CloseFile, 1, handle);
  return status == EFI_NOT_FOUND;
}

bool RenameOpenFile(SHELL_FILE_HANDLE handle, const CHAR16* newName) {
  EFI_FILE_INFO* current = static_cast<EFI_FILE_INFO*>(uefi_call_wrapper(BoundShell.shell->GetFileInfo, 1, handle));
  if (current == nullptr) return false;
  auto* info = reinterpret_cast<EFI_FILE_INFO*>(RenameInfo);
  const size_t units = WideLength(newName);
  info->Size = SIZE_OF_EFI_FILE_INFO + (units + 1) * sizeof(CHAR16);
  info->FileSize = current->FileSize;
  info->PhysicalSize = current->PhysicalSize;
  info->CreateTime = current->CreateTime;
  info->LastAccessTime = current->LastAccessTime;
  info->ModificationTime = current->ModificationTime;
  info->Attribute = current->Attribute;
  for (size_t i = 0; i <= units; ++i) info->FileName[i] = newName[i];
  uefi_call_wrapper(BS->FreePool, 1, current);
  return !EFI_ERROR(uefi_call_wrapper(BoundShell.shell->SetFileInfo, 2, handle, info));
}

// Only files are replaced: a directory of that name is left alone.
bool IsDirectory(SHELL_FILE_HANDLE handle) {
  EFI_FILE_INFO* info = static_cast<EFI_FILE_INFO*>(uefi_call_wrapper(BoundShell.shell->GetFileInfo, 1, handle));
  if (info == nullptr) return true;  // unknown: not replaced
  const bool directory = (info->Attribute & EFI_FILE_DIRECTORY) != 0;
  uefi_call_wrapper(BS->FreePool, 1, info);
  return directory;
}

// The file a write would replace, opened for writing into *old (nullptr when
// there is none). False when something of that name may not be replaced: a file
// that cannot be opened for writing (read-only, on a read-only medium) or a
// directory.
bool OpenReplaceable(const CHAR16* path, SHELL_FILE_HANDLE* old) {
  *old = nullptr;
  const EFI_STATUS status =
      uefi_call_wrapper(BoundShell.shell->OpenFileByName, 3, path, old, EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE);
  if (EFI_ERROR(status) || *old == nullptr) {
    *old = nullptr;
    return status == EFI_NOT_FOUND;
  }
  if (IsDirectory(*old)) {
    uefi_call_wrapper(BoundShell.shell->CloseFile, 1, *old);
    *old = nullptr;
    return false;
  }
  return true;
}

// The written file (open as file->handle) takes the place of file->path. What
// FileOpen checked is checked again: the medium may have changed since.
bool PutInPlace(PlatformFile* file) {
  SHELL_FILE_HANDLE old = nullptr;
  if (!OpenReplaceable(file->path, &old)) return false;
  const bool hasOld = old != nullptr;
  if (hasOld) {
    if (!AppendSuffix(file->path, kAsideSuffix, SuffixedPath)) return false;
    DeleteFileByPath(SuffixedPath);  // left by an interrupted run
    if (!RenameOpenFile(old, BaseName(SuffixedPath))) {
      uefi_call_wrapper(BoundShell.shell->CloseFile, 1, old);
      return false;
    }
  }
  if (!RenameOpenFile(file->handle, BaseName(file->path))) {
    if (hasOld) {
      RenameOpenFile(old, BaseName(file->path));
      uefi_call_wrapper(BoundShell.shell->CloseFile, 1, old);
    }
    return false;
  }
  if (hasOld) uefi_call_wrapper(BoundShell.shell->DeleteFile, 1, old);
  return true;
}

}  // namespace

PlatformFile* FileOpen(const char* name, FileMode mode) {
  if (BoundShell.shell == nullptr || name == nullptr) return nullptr;
  PlatformFile* file = FreeFileSlot();
  if (file == nullptr) return nullptr;
  if (!Utf8ToUcs2String(name, reinterpret_cast<char16_t*>(PathBuffer), kMaxPathUnits)) return nullptr;
  SHELL_FILE_HANDLE handle = nullptr;
  EFI_STATUS status;
  if (mode == FileMode::WriteBinary) {
    // What may not be replaced is refused before anything is written.
    SHELL_FILE_HANDLE old = nullptr;
    if (!OpenReplaceable(PathBuffer, &old)) return nullptr;
    if (old != nullptr) uefi_call_wrapper(BoundShell.shell->CloseFile, 1, old);
    // Written under a temporary name and put in place by FileClose (above).
    if (!AppendSuffix(PathBuffer, kTemporarySuffix, SuffixedPath)) return nullptr;
    DeleteFileByPath(SuffixedPath);  // left by an interrupted run
    status = uefi_call_wrapper(BoundShell.shell->OpenFileByName, 3, SuffixedPath, &handle,
                               EFI_FILE_MODE_READ | EFI_FILE_MODE_WRITE | EFI_FILE_MODE_CREATE);
  } else {
    status = uefi_call_wrapper(BoundShell.shell->OpenFileByName, 3, PathBuffer, &handle, EFI_FILE_MODE_READ);
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
    EFI_STATUS status = uefi_call_wrapper(BoundShell.shell->ReadFile, 3, file->handle, &chunk, bytes + total);
    if (EFI_ERROR(status) || chunk == 0) break;  // zero bytes read: end of file
    total += chunk;
  }
  return total;
}

size_t FileWrite(PlatformFile* file, const void* data, size_t size) {
  if (file == nullptr || !file->inUse) return 0;
  UINTN written = size;
  EFI_STATUS status =
      uefi_call_wrapper(BoundShell.shell->WriteFile, 3, file->handle, &written, const_cast<void*>(data));
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
    if (EFI_ERROR(uefi_call_wrapper(BoundShell.shell->GetFilePosition, 2, file->handle, &base))) return false;
  } else if (origin == SeekOrigin::End) {
    if (EFI_ERROR(uefi_call_wrapper(BoundShell.shell->GetFileSize, 2, file->handle, &base))) return false;
  }
  if (offset < 0 && static_cast<UINT64>(-offset) > base) return false;
  UINT64 target = base + static_cast<UINT64>(offset);
  // All ones means "end of file" to the firmware; no real offset gets there.
  if (target == ~static_cast<UINT64>(0)) return false;
  return !EFI_ERROR(uefi_call_wrapper(BoundShell.shell->SetFilePosition, 2, file->handle, target));
}

int64_t FileTell(PlatformFile* file) {
  if (file == nullptr || !file->inUse) return -1;
  UINT64 position = 0;
  if (EFI_ERROR(uefi_call_wrapper(BoundShell.shell->GetFilePosition, 2, file->handle, &position))) return -1;
  return static_cast<int64_t>(position);
}

bool FileClose(PlatformFile* file) {
  if (file == nullptr || !file->inUse) return false;
  bool ok;
  if (file->replacing) {
    ok = !file->writeFailed && !EFI_ERROR(uefi_call_wrapper(BoundShell.shell->FlushFile, 1, file->handle)) &&
         PutInPlace(file);
    // A replacement that did not make it is deleted (which also closes it).
    EFI_STATUS status = ok ? uefi_call_wrapper(BoundShell.shell->CloseFile, 1, file->handle)
                           : uefi_call_wrapper(BoundShell.shell->DeleteFile, 1, file->handle);
    ok = ok && !EFI_ERROR(status);
  } else {
    // Closing is what makes the FAT driver write the directory entry and flush.
    EFI_STATUS status = uefi_call_wrapper(BoundShell.shell->CloseFile, 1, file->handle);
    ok = !EFI_ERROR(status) && !file->writeFailed;
  }
  file->handle = nullptr;
  file->inUse = false;
  file->writeFailed = false;
  file->replacing = false;
  return ok;
}

bool FileDelete(const char* name) {
  if (BoundShell.shell == nullptr || name == nullptr) return false;
  if (!Utf8ToUcs2String(name, reinterpret_cast<char16_t*>(PathBuffer), kMaxPathUnits)) return false;
  return DeleteFileByPath(PathBuffer);
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

// The data files lie beside the tool on its medium: the shell's current
// directory, where the technician runs it.
PlatformFile* OpenDataFile(const char* name) { return FileOpen(name, FileMode::ReadBinary); }
