#include "fru/fru_backup.hpp"

#include "fru/fru_access.hpp"
#include "fru/fru_build.hpp"
#include "fru/fru_commands.hpp"
#include "fru/fru_display.hpp"
#include "platform/platform.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

constexpr unsigned kByteBits = 8;
constexpr unsigned kByteMask = 0xFF;

// The file's length from the file system; -1 when it cannot be found.
int64_t FileLength(PlatformFile* file) {
  if (!FileSeek(file, 0, SeekOrigin::End)) return -1;
  const int64_t length = FileTell(file);
  if (!FileSeek(file, 0, SeekOrigin::Start)) return -1;
  return length;
}

}  // namespace

int BackupFru(const char* path) {
  const int status = ReadWholeFru();
  if (status != kStatusSuccess) return status;
  // A backup holds the whole FRU or is not written at all.
  if (FruImageSize > static_cast<int32_t>(kFruImageCapacity)) {
    Printf("FRU of %d bytes is larger than 4096 bytes; no backup written.\n", static_cast<int>(FruImageSize));
    return kStatusFailed;
  }
  if (FruImageShortReply) {
    Printf("The BMC returned fewer FRU bytes than asked; no backup written.\n");
    return kStatusFailed;
  }
  PlatformFile* file = FileOpen(path, FileMode::WriteBinary);
  if (file == nullptr) {
    Printf("new %s file error\n", path);
    return kStatusFailed;
  }
  const size_t size = FruImageBytesHeld();
  const bool written = size == 0 || FileWrite(file, FruImage, size) == size;
  // Closing puts the file in place; a failure leaves any earlier file of that
  // name as it was.
  if (!FileClose(file) || !written) {
    Printf("Write %s file error\n", path);
    return kStatusFailed;
  }
  Printf("Backup FRU successfully.\n");
  return kStatusSuccess;
}

FruFileResult LoadAndWriteFruFile(const char* path, uint8_t* completionCode) {
  SelectFruSource();
  PlatformFile* file = FileOpen(path, FileMode::ReadBinary);
  if (file == nullptr) return FruFileResult::NotOpened;
  const int64_t length = FileLength(file);
  if (length > static_cast<int64_t>(kWriteImageCapacity)) {
    FileClose(file);
    return FruFileResult::TooLarge;
  }
  const size_t size = length < 0 ? 0 : static_cast<size_t>(length);
  if (length < 0 || FileRead(file, WriteImage, size) < size) {
    ErrorPrintf("Reading error");
    FileClose(file);
    return FruFileResult::ShortRead;
  }
  FileClose(file);

  // Every chunk is 16 bytes; past the file's end WriteImage holds 00h.
  for (size_t offset = 0; offset < size; offset += kFruRestoreChunk) {
    const uint8_t cc = WriteFruChunk(static_cast<uint8_t>(offset & kByteMask), static_cast<uint8_t>(offset >> kByteBits),
                                     WriteImage + offset, static_cast<uint8_t>(kFruRestoreChunk));
    if (cc != kCcSuccess) {
      *completionCode = cc;
      return FruFileResult::WriteFailed;
    }
  }
  return FruFileResult::Done;
}

int RestoreFru(const char* path) {
  uint8_t cc = UnlockFru();
  if (cc != kCcSuccess) {
    Printf("Unlock FRU error, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  switch (LoadAndWriteFruFile(path, &cc)) {
    case FruFileResult::Done:
      break;
    case FruFileResult::NotOpened:
      Printf("Load %s file error.\n", path);
      return kStatusFailed;
    case FruFileResult::ShortRead:
      Printf("Reading error.\n");
      return kStatusFailed;
    case FruFileResult::TooLarge:
      Printf("%s is larger than 8192 bytes; nothing written.\n", path);
      return kStatusFailed;
    case FruFileResult::WriteFailed:
      Printf("Write FRU error, Completion Code=%02Xh\n", cc);
      return kStatusFailed;
  }
  // The success line comes before the lock, so a lock failure shows both.
  Printf("Restore FRU successfully.\n");
  cc = LockFru();
  if (cc != kCcSuccess) {
    Printf("Lock FRU error, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  return kStatusSuccess;
}
