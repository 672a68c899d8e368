#include "fru/fru_access.hpp"

#include "platform/platform.hpp"
#include "support/bytes.hpp"
#include "support/exit_status.hpp"
#include "support/file_stream.hpp"
#include "support/report.hpp"
#include "support/text.hpp"
#include "transport/ipmi.hpp"

namespace {

constexpr const char kFruSourceFile[] = "fru_source_index";
constexpr int kFruSourceOem = 1;

constexpr FruCommandCodes kStorageFruCommands = {kNetFnStorage, kCmdGetFruInventoryAreaInfo, kCmdReadFruData,
                                                 kCmdWriteFruData};
constexpr FruCommandCodes kOemFruCommands = {kNetFnOemController, kCmdOemGetFruInventoryAreaInfo, kCmdOemReadFruData,
                                             kCmdOemWriteFruData};

uint8_t FruWriteControl(uint8_t operation) {
  const uint8_t request[] = {operation};
  return IpmiCommand(kNetFnOemController, kCmdOemFruWriteControl, request);
}

// Device, offset LS byte, offset MS byte: what reads and writes start with.
void PutFruAddress(std::span<uint8_t> request, bool fru1Mode, size_t offset) {
  request[0] = FruDeviceId(fru1Mode);
  PutLe16(request, 1, static_cast<uint16_t>(offset));
}

}  // namespace

void SelectFruSource(FruSession& fru) {
  // Read afresh every time, as fscanf "%d" reads it; no file, no number or a
  // value other than 0 and 1 all give the storage commands.
  int source = 0;
  FileStream stream;
  if (OpenFileStream(&stream, kFruSourceFile, FileMode::ReadText)) {
    ScanDecimalFromFile(&stream, &source);
    CloseFileStream(&stream);
  }
  fru.commandSet = source == kFruSourceOem ? kOemFruCommands : kStorageFruCommands;
}

uint8_t GetFruInventoryInfo(FruSession& fru) {
  SelectFruSource(fru);
  const uint8_t request[] = {kFruDeviceBoard};
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(fru.commandSet.netFn, fru.commandSet.inventoryInfo, request, &reply);
  ByteReader reader = reply.Reader();
  const FruInventoryInfo info = {reader.Le16(), reader.Byte()};
  const uint8_t result = DecodedResult(cc, reader);
  if (result == kCcSuccess) fru.inventoryInfo = info;
  return result;
}

uint8_t ReadFruImage(FruSession& fru, bool fru1Mode) {
  FruImage& image = fru.image;
  image.size = fru.inventoryInfo.size;
  if (fru.inventoryInfo.accessType == kFruAccessByWords) image.size *= 2;
  image.shortReply = false;

  // Offsets and counts are in bytes, also for a device that reports word
  // access; only the total is doubled. A FRU larger than the buffer is read as
  // far as the buffer goes.
  const size_t end = image.Held().size();
  for (size_t offset = 0; offset < end; offset += kFruReadChunk) {
    uint8_t request[kFruWriteHeaderBytes + 1];
    PutFruAddress(request, fru1Mode, offset);
    request[kFruWriteHeaderBytes] = static_cast<uint8_t>(kFruReadChunk);
    IpmiResponse reply;
    const uint8_t cc = IpmiExchange(fru.commandSet.netFn, fru.commandSet.read, request, &reply);
    ByteReader reader = reply.Reader();
    reader.Skip(kFruReadCountBytes);  // the count the BMC says it returned is not trusted
    if (const uint8_t result = DecodedResult(cc, reader); result != kCcSuccess) return result;
    // Every byte after the count byte goes in at the offset, as far as the
    // buffer reaches; the next request starts 16 bytes on whatever came back.
    const std::span<const uint8_t> bytes = reader.Rest();
    const size_t expected = end - offset < kFruReadChunk ? end - offset : kFruReadChunk;
    if (bytes.size() < expected) image.shortReply = true;
    const size_t room = kFruImageCapacity - offset;
    CopyBytes(image.bytes + offset, bytes.data(), bytes.size() < room ? bytes.size() : room);
  }
  return kCcSuccess;
}

uint8_t WriteFruChunk(const FruSession& fru, bool fru1Mode, size_t offset, std::span<const uint8_t> bytes) {
  uint8_t request[kFruWriteHeaderBytes + kFruRestoreChunk];
  const size_t length = bytes.size() < kFruRestoreChunk ? bytes.size() : kFruRestoreChunk;
  PutFruAddress(request, fru1Mode, offset);
  CopyBytes(request + kFruWriteHeaderBytes, bytes.data(), length);
  return IpmiCommand(fru.commandSet.netFn, fru.commandSet.write, {request, kFruWriteHeaderBytes + length});
}

uint8_t UnlockFru() { return FruWriteControl(kFruWriteUnlock); }

uint8_t LockFru() { return FruWriteControl(kFruWriteLock); }

int ReadWholeFru(FruSession& fru, bool fru1Mode) {
  uint8_t cc = GetFruInventoryInfo(fru);
  if (cc != kCcSuccess) return ReportFailure("Failed to get FRU inventory area", cc);
  cc = ReadFruImage(fru, fru1Mode);
  if (cc != kCcSuccess) return ReportFailure("Failed to get FRU data", cc);
  return kStatusSuccess;
}
