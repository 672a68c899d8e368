#include "fru/fru_backup.hpp"

#include "platform/platform.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// The file's length from the file system; -1 when it cannot be found.
int64_t FileLength(PlatformFile* file) {
  if (!FileSeek(file, 0, SeekOrigin::End)) return -1;
  const int64_t length = FileTell(file);
  if (!FileSeek(file, 0, SeekOrigin::Start)) return -1;
  return length;
}

}  // namespace

int BackupFru(FruSession& fru, bool fru1Mode, const char* path) {
  const int status = ReadWholeFru(fru, fru1Mode);
  if (status != kStatusSuccess) return status;
  // A backup holds the whole FRU or is not written at all.
  if (fru.image.size > static_cast<int32_t>(kFruImageCapacity)) {
    Printf("FRU of %d bytes is larger than %zu bytes; no backup written.\n", static_cast<int>(fru.image.size),
           kFruImageCapacity);
    return kStatusFailed;
  }
  if (fru.image.shortReply) {
    Printf("The BMC returned fewer FRU bytes than asked; no backup written.\n");
    return kStatusFailed;
  }
  PlatformFile* file = FileOpen(path, FileMode::WriteBinary);
  if (file == nullptr) {
    Printf("new %s file error\n", path);
    return kStatusFailed;
  }
  const std::span<const uint8_t> bytes = fru.image.Held();
  const bool written = bytes.empty() || FileWrite(file, bytes.data(), bytes.size()) == bytes.size();
  // Closing puts the file in place; a failure leaves any earlier file of that
  // name as it was.
  if (!FileClose(file) || !written) {
    Printf("Write %s file error\n", path);
    return kStatusFailed;
  }
  Printf("Backup FRU successfully.\n");
  return kStatusSuccess;
}

FruFileResult LoadAndWriteFruFile(FruSession& fru, bool fru1Mode, const char* path, uint8_t* completionCode) {
  SelectFruSource(fru);
  PlatformFile* file = FileOpen(path, FileMode::ReadBinary);
  if (file == nullptr) return FruFileResult::NotOpened;
  const int64_t length = FileLength(file);
  if (length > static_cast<int64_t>(kWriteImageCapacity)) {
    FileClose(file);
    return FruFileResult::TooLarge;
  }
  uint8_t* image = fru.writeImage.bytes;
  const size_t size = length < 0 ? 0 : static_cast<size_t>(length);
  if (length < 0 || FileRead(file, image, size) < size) {
    ErrorPrintf("Reading error");
    FileClose(file);
    return FruFileResult::ShortRead;
  }
  FileClose(file);

  // Every chunk is 16 bytes; past the file's end the image holds 00h.
  for (size_t offset = 0; offset < size; offset += kFruRestoreChunk) {
    const uint8_t cc = WriteFruChunk(fru, fru1Mode, offset, {image + offset, kFruRestoreChunk});
    if (cc != kCcSuccess) {
      *completionCode = cc;
      return FruFileResult::WriteFailed;
    }
  }
  return FruFileResult::Done;
}

int RestoreFru(FruSession& fru, bool fru1Mode, const char* path) {
  uint8_t cc = UnlockFru();
  if (cc != kCcSuccess) return ReportFailure("Unlock FRU error", cc);
  switch (LoadAndWriteFruFile(fru, fru1Mode, path, &cc)) {
    case FruFileResult::Done:
      break;
    case FruFileResult::NotOpened:
      Printf("Load %s file error.\n", path);
      return kStatusFailed;
    case FruFileResult::ShortRead:
      Printf("Reading error.\n");
      return kStatusFailed;
    case FruFileResult::TooLarge:
      Printf("%s is larger than %zu bytes; nothing written.\n", path, kWriteImageCapacity);
      return kStatusFailed;
    case FruFileResult::WriteFailed:
      return ReportFailure("Write FRU error", cc);
  }
  // The success line comes before the lock, so a lock failure shows both.
  Printf("Restore FRU successfully.\n");
  cc = LockFru();
  if (cc != kCcSuccess) return ReportFailure("Lock FRU error", cc);
  return kStatusSuccess;
}
