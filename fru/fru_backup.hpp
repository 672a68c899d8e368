// The raw FRU saved to a file and written back from one, byte for byte.
#pragma once

#include <cstdint>

int BackupFru(const char* path);
int RestoreFru(const char* path);

enum class FruFileResult : uint8_t { Done, NotOpened, ShortRead, TooLarge, WriteFailed };
// Loads the file into WriteImage and writes it to the FRU in 16-byte chunks
// from offset 0; *completionCode holds the code of a failed write.
FruFileResult LoadAndWriteFruFile(const char* path, uint8_t* completionCode);
