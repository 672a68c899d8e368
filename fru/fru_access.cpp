#include "fru/fru_access.hpp"

#include "fru/fru_commands.hpp"
#include "platform/platform.hpp"
#include "support/file_stream.hpp"
#include "support/text.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

constexpr const char kFruSourceFile[] = "fru_source_index";
constexpr int kFruSourceOem = 1;

constexpr FruCommandCodes kStorageFruCommands = {kNetFnStorage, kCmdGetFruInventoryAreaInfo, kCmdReadFruData,
                                                 kCmdWriteFruData};
constexpr FruCommandCodes kOemFruCommands = {kNetFnOemController, kCmdOemGetFruInventoryAreaInfo,
                                             kCmdOemReadFruData, kCmdOemWriteFruData};

constexpr uint32_t kByteBits = 8;
constexpr uint32_t kByteMask = 0xFF;

uint8_t FruWriteControl(uint8_t operation) {
  const uint8_t request[] = {operation};
  return IpmiCommand(kNetFnOemController, kCmdOemFruWriteControl, request);
}

}  // namespace

bool fru1Mode;
constinit FruCommandCodes FruCommandSet = kStorageFruCommands;
uint8_t FruInventoryInfo[3];
int32_t FruImageSize;
uint8_t FruImage[kFruImageCapacity];
bool FruImageShortReply;

uint8_t FruDeviceId() { return fru1Mode ? kFruDeviceAlternate : kFruDeviceBoard; }

size_t FruImageBytesHeld() {
  if (FruImageSize <= 0) return 0;
  const auto size = static_cast<size_t>(FruImageSize);
  return size < kFruImageCapacity ? size : kFruImageCapacity;
}

void SelectFruSource() {
  // Read afresh every time, as fscanf "%d" reads it; no file, no number or a
  // value other than 0 and 1 all give the storage commands.
  int source = 0;
  FileStream stream;
  if (OpenFileStream(&stream, kFruSourceFile, FileMode::ReadText)) {
    ScanDecimalFromFile(&stream, &source);
    CloseFileStream(&stream);
  }
  FruCommandSet = source == kFruSourceOem ? kOemFruCommands : kStorageFruCommands;
}

uint8_t GetFruInventoryInfo() {
  SelectFruSource();
  // Device 0 also under -fru1: the inventory size always comes from it.
  const uint8_t request[] = {kFruDeviceBoard};
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t cc = IpmiRequestForData(FruCommandSet.netFn, FruCommandSet.inventoryInfo, request, response, &count,
                                        kFruInventoryInfoBytes);
  if (cc == kCcSuccess) CopyBytes(FruInventoryInfo, response, sizeof FruInventoryInfo);
  return cc;
}

uint8_t ReadFruImage() {
  FruImageSize = static_cast<int32_t>(FruInventoryInfo[1] << kByteBits | FruInventoryInfo[0]);
  if (FruInventoryInfo[2] == kFruAccessByWords) FruImageSize *= 2;
  FruImageShortReply = false;

  // Offsets and counts are in bytes, also for a device that reports word
  // access; only the total is doubled. A FRU larger than the buffer is read as
  // far as the buffer goes.
  const size_t end = FruImageBytesHeld();
  for (size_t offset = 0; offset < end; offset += kFruReadChunk) {
    const uint8_t request[] = {FruDeviceId(), static_cast<uint8_t>(offset & kByteMask),
                               static_cast<uint8_t>(offset >> kByteBits), static_cast<uint8_t>(kFruReadChunk)};
    uint8_t response[kKcsMaxResponseData];
    uint32_t count = 0;
    const uint8_t cc = IpmiRequestForData(FruCommandSet.netFn, FruCommandSet.read, request, response, &count,
                                          kFruReadCountBytes);
    if (cc != kCcSuccess) return cc;
    // Every byte after the count byte goes in at the offset, as far as the
    // buffer reaches; the next request starts 16 bytes on whatever came back.
    size_t got = count - kFruReadCountBytes;
    const size_t expected = end - offset < kFruReadChunk ? end - offset : kFruReadChunk;
    if (got < expected) FruImageShortReply = true;
    if (got > kFruImageCapacity - offset) got = kFruImageCapacity - offset;
    CopyBytes(FruImage + offset, response + kFruReadCountBytes, got);
  }
  return kCcSuccess;
}

uint8_t WriteFruChunk(uint8_t offsetLow, uint8_t offsetHigh, const uint8_t* bytes, uint8_t count) {
  uint8_t request[kFruWriteHeaderBytes + kFruRestoreChunk];
  const size_t length = count < kFruRestoreChunk ? count : kFruRestoreChunk;
  request[0] = FruDeviceId();
  request[1] = offsetLow;
  request[2] = offsetHigh;
  CopyBytes(request + kFruWriteHeaderBytes, bytes, length);
  return IpmiCommand(FruCommandSet.netFn, FruCommandSet.write, {request, kFruWriteHeaderBytes + length});
}

uint8_t UnlockFru() { return FruWriteControl(kFruWriteUnlock); }

uint8_t LockFru() { return FruWriteControl(kFruWriteLock); }
