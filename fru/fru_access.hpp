// Access to the BMC's FRU inventory device: the command set, the inventory
// size, the whole FRU read into FruImage, chunk writes, and the OEM unlock and
// lock around writes. The operations print nothing and return the completion
// code; the command that called them prints the failure line.
#pragma once

#include <cstddef>
#include <cstdint>

// Use the alternative FRU device and board layout ("-fru1"); set by the
// dispatcher for every FRU command.
extern bool fru1Mode;

// Network function and command codes of the FRU exchanges.
struct FruCommandCodes {
  uint8_t netFn;
  uint8_t inventoryInfo;
  uint8_t read;
  uint8_t write;
};
extern FruCommandCodes FruCommandSet;

// The FRU bytes the tool holds: a FRU larger than this is read up to here only.
inline constexpr size_t kFruImageCapacity = 4096;

// Reply data of the last inventory query: size LSB, size MSB, access type.
extern uint8_t FruInventoryInfo[3];
// Bytes the FRU holds: the reported size, doubled for word access.
extern int32_t FruImageSize;
// FRU offset i at index i after a read.
extern uint8_t FruImage[kFruImageCapacity];
// The last read was answered with fewer bytes than asked somewhere before the
// FRU's end, so FruImage has gaps.
extern bool FruImageShortReply;

// 01h under -fru1, else 00h: the device of read and write requests.
uint8_t FruDeviceId();
// The FRU bytes FruImage holds after a read: FruImageSize, at most the buffer.
size_t FruImageBytesHeld();

// Reads "fru_source_index" from the current directory: 1 chooses the OEM
// command set, anything else (or no file) the storage commands.
void SelectFruSource();
// SelectFruSource, then the inventory query for device 0; fills FruInventoryInfo.
uint8_t GetFruInventoryInfo();
// Reads the FRU in 16-byte requests into FruImage; the first failure ends it.
uint8_t ReadFruImage();
// Writes count bytes at offsetHigh * 256 + offsetLow.
uint8_t WriteFruChunk(uint8_t offsetLow, uint8_t offsetHigh, const uint8_t* bytes, uint8_t count);
uint8_t UnlockFru();
uint8_t LockFru();
