// The raw FRU saved to a file and written back from one, byte for byte.
#pragma once

#include <cstdint>

#include "fru/fru_access.hpp"

int BackupFru(FruSession& fru, bool fru1Mode, const char* path);
int RestoreFru(FruSession& fru, bool fru1Mode, const char* path);

enum class FruFileResult : uint8_t { Done, NotOpened, ShortRead, TooLarge, WriteFailed };
// Loads the file into fru.writeImage and writes it to the FRU in 16-byte
// chunks from offset 0; *completionCode holds the code of a failed write.
FruFileResult LoadAndWriteFruFile(FruSession& fru, bool fru1Mode, const char* path, uint8_t* completionCode);
