// Reading files a buffer at a time through the platform seam, with the C
// library's line and number semantics. Text and binary modes read the bytes as
// they are (a "\r\n" line keeps its '\r'), so input files behave the same on
// every target.
#include "support/file_stream.hpp"

#include "support/chars.hpp"
#include "support/scan.hpp"

namespace {

// Makes at least one unread byte available; false at end of file. A short read
// means end of file (or an error), so no further read is attempted after one.
bool Refill(FileStream* stream) {
  if (stream->position < stream->filled) return true;
  if (stream->atEnd || stream->file == nullptr) return false;
  const size_t got = FileRead(stream->file, stream->buffer, sizeof stream->buffer);
  stream->position = 0;
  stream->filled = got <= sizeof stream->buffer ? got : sizeof stream->buffer;
  if (got < sizeof stream->buffer) stream->atEnd = true;
  return stream->filled > 0;
}

// The next byte without consuming it, or -1 at end of file.
int PeekByte(FileStream* stream) {
  if (!Refill(stream)) return -1;
  return static_cast<unsigned char>(stream->buffer[stream->position]);
}

}  // namespace

bool OpenFileStream(FileStream* stream, const char* name, FileMode mode) {
  stream->file = FileOpen(name, mode);
  stream->position = 0;
  stream->filled = 0;
  stream->atEnd = false;
  return stream->file != nullptr;
}

void CloseFileStream(FileStream* stream) {
  if (stream->file != nullptr) FileClose(stream->file);
  stream->file = nullptr;
  stream->position = 0;
  stream->filled = 0;
  stream->atEnd = true;
}

int ReadByte(FileStream* stream) {
  const int c = PeekByte(stream);
  if (c >= 0) ++stream->position;
  return c;
}

char* ReadLine(FileStream* stream, char* line, size_t size) {
  if (size == 0) return nullptr;
  // Room for the terminator only: the C library returns an empty line without
  // reading anything.
  if (size == 1) {
    line[0] = '\0';
    return line;
  }
  size_t count = 0;
  while (count < size - 1) {
    const int c = ReadByte(stream);
    if (c < 0) break;
    line[count++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (count == 0) return nullptr;
  line[count] = '\0';
  return line;
}

int ScanDecimalFromFile(FileStream* stream, int* value) {
  int c = PeekByte(stream);
  while (IsSpace(c)) {
    ++stream->position;
    c = PeekByte(stream);
  }
  if (c < 0) return -1;
  bool negative = false;
  if (c == '+' || c == '-') {
    // The sign is consumed even when no digit follows, as the C library does.
    negative = c == '-';
    ++stream->position;
    c = PeekByte(stream);
  }
  if (!IsDigit(c)) return 0;
  // Digits accumulate as strtol does (see DecimalAccumulator).
  DecimalAccumulator number(negative);
  while (IsDigit(c)) {
    number.Add(c - '0');
    ++stream->position;
    c = PeekByte(stream);
  }
  *value = number.Result();
  return 1;
}
