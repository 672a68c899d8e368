// Buffered reading of files opened through the platform seam, with the C
// library's fgets and fscanf("%d") behaviour, so text files are read the same way
// on every target.
#pragma once

#include <cstddef>

#include "platform/platform.hpp"

struct FileStream {
  PlatformFile* file;
  size_t position;  // next unread byte in buffer
  size_t filled;    // bytes valid in buffer
  bool atEnd;
  char buffer[512];
};

// Opens name for reading through FileOpen; false when it cannot be opened.
bool OpenFileStream(FileStream* stream, const char* name, FileMode mode);
void CloseFileStream(FileStream* stream);

// fgets: reads up to size - 1 bytes, stopping after a '\n' (which is kept), and
// NUL-terminates. Returns line, or nullptr at end of file with nothing read.
char* ReadLine(FileStream* stream, char* line, size_t size);

// fscanf(stream, "%d", value): skips white space, reads an optionally signed
// decimal number. Result: 1 converted, 0 no number (the offending byte stays
// unread), -1 end of file before any number.
int ScanDecimalFromFile(FileStream* stream, int* value);

// fgetc: the next byte (0..255), or -1 at end of file.
int ReadByte(FileStream* stream);
