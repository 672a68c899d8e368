// Access to the BMC's FRU inventory device: the command set, the inventory
// size, the whole FRU read, chunk writes, and the OEM unlock and lock around
// writes. The requests print nothing and return the completion code;
// ReadWholeFru prints the failure line of the step that failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fru/fru_build.hpp"
#include "fru/fru_commands.hpp"
#include "fru/fru_model.hpp"

// Network function and command codes of the FRU exchanges.
struct FruCommandCodes {
  uint8_t netFn;
  uint8_t inventoryInfo;
  uint8_t read;
  uint8_t write;
};

// What the FRU commands of one run hold.
struct FruSession {
  FruCommandCodes commandSet;      // FruCommandSet, chosen from fru_source_index
  FruInventoryInfo inventoryInfo;  // the last inventory query's reply
  FruImage image;                  // FruImage and FruImageSize: the last read
  FruFieldSet fieldStore;          // FruFieldStore: the image decoded
  WriteImage writeImage;           // rebuilt from the store, or a restore file's bytes
};

// The device of read and write requests: 01h under -fru1, else 00h.
constexpr uint8_t FruDeviceId(bool fru1Mode) { return fru1Mode ? kFruDeviceAlternate : kFruDeviceBoard; }

// Reads "fru_source_index" from the current directory: 1 chooses the OEM
// command set, anything else (or no file) the storage commands.
void SelectFruSource(FruSession& fru);
// SelectFruSource, then the inventory query for device 0 (also under -fru1: the
// size always comes from it); fills fru.inventoryInfo. CEh for a reply without
// its three bytes.
uint8_t GetFruInventoryInfo(FruSession& fru);
// Reads the FRU of the last inventory query's size in 16-byte requests into
// fru.image, as far as the buffer reaches; the first failure ends it.
uint8_t ReadFruImage(FruSession& fru, bool fru1Mode);
// Writes the bytes (at most kFruRestoreChunk) at the offset.
uint8_t WriteFruChunk(const FruSession& fru, bool fru1Mode, size_t offset, std::span<const uint8_t> bytes);
uint8_t UnlockFru();
uint8_t LockFru();

// GetFruInventoryInfo, then ReadFruImage; prints the failure line of the step
// that failed. The exit status.
int ReadWholeFru(FruSession& fru, bool fru1Mode);
