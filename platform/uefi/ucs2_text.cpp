#include "platform/uefi/ucs2_text.hpp"

namespace {

// Decodes one UTF-8 sequence at text[0..length); *size gets the bytes it used
// (at least 1). Overlong forms, surrogates and truncated sequences are malformed.
uint32_t DecodeUtf8(const unsigned char* text, size_t length, size_t* size) {
  unsigned char lead = text[0];
  *size = 1;
  if (lead < 0x80) return lead;
  size_t need = 0;
  uint32_t value = 0;
  uint32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    need = 1;
    value = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    need = 2;
    value = lead & 0x0F;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    need = 3;
    value = lead & 0x07;
    minimum = 0x10000;
  } else {
    return kReplacementCharacter;
  }
  if (length < need + 1) return kReplacementCharacter;
  for (size_t i = 1; i <= need; ++i) {
    if ((text[i] & 0xC0) != 0x80) return kReplacementCharacter;
    value = (value << 6) | (text[i] & 0x3F);
  }
  *size = need + 1;
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kReplacementCharacter;
  return value;
}

}  // namespace

size_t Utf8ToUcs2Chunk(const char* text, size_t length, size_t* consumed, char16_t* out, size_t capacity, bool crlf,
                       bool* previousWasCr) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t in = 0;
  size_t written = 0;
  while (in < length) {
    if (crlf && bytes[in] == '\n' && !*previousWasCr) {
      if (capacity - written < 2) break;
      out[written++] = u'\r';
      out[written++] = u'\n';
      *previousWasCr = false;
      ++in;
      continue;
    }
    if (written == capacity) break;
    size_t size = 1;
    uint32_t value = DecodeUtf8(bytes + in, length - in, &size);
    // The console and the shell's files hold one 16-bit unit per character.
    out[written++] = value > 0xFFFF ? kReplacementCharacter : static_cast<char16_t>(value);
    *previousWasCr = (bytes[in] == '\r');
    in += size;
  }
  *consumed = in;
  return written;
}

bool Utf8ToUcs2String(const char* text, char16_t* out, size_t capacity) {
  if (capacity == 0) return false;
  size_t length = 0;
  while (text[length] != '\0') ++length;
  size_t consumed = 0;
  bool previousWasCr = false;
  size_t written = Utf8ToUcs2Chunk(text, length, &consumed, out, capacity - 1, false, &previousWasCr);
  if (consumed != length) {
    out[0] = 0;
    return false;
  }
  out[written] = 0;
  return true;
}

size_t Ucs2ToUtf8String(const char16_t* text, char* out, size_t capacity) {
  if (capacity == 0) return 0;
  size_t written = 0;
  for (size_t i = 0; text[i] != 0; ++i) {
    uint32_t value = text[i];
    if (value >= 0xD800 && value <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      value = 0x10000 + ((value - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (value >= 0xD800 && value <= 0xDFFF) {
      value = kReplacementCharacter;
    }
    unsigned char encoded[4];
    size_t size = 0;
    if (value < 0x80) {
      encoded[size++] = static_cast<unsigned char>(value);
    } else if (value < 0x800) {
      encoded[size++] = static_cast<unsigned char>(0xC0 | (value >> 6));
      encoded[size++] = static_cast<unsigned char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
      encoded[size++] = static_cast<unsigned char>(0xE0 | (value >> 12));
      encoded[size++] = static_cast<unsigned char>(0x80 | ((value >> 6) & 0x3F));
      encoded[size++] = static_cast<unsigned char>(0x80 | (value & 0x3F));
    } else {
      encoded[size++] = static_cast<unsigned char>(0xF0 | (value >> 18));
      encoded[size++] = static_cast<unsigned char>(0x80 | ((value >> 12) & 0x3F));
      encoded[size++] = static_cast<unsigned char>(0x80 | ((value >> 6) & 0x3F));
      encoded[size++] = static_cast<unsigned char>(0x80 | (value & 0x3F));
    }
    if (capacity - 1 - written < size) break;  // keep room for the NUL
    for (size_t k = 0; k < size; ++k) out[written++] = static_cast<char>(encoded[k]);
  }
  out[written] = '\0';
  return written;
}

size_t Utf8LengthOfUcs2(const char16_t* text) {
  size_t bytes = 0;
  for (size_t i = 0; text[i] != 0; ++i) {
    const char16_t unit = text[i];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (pair) {
      bytes += 4;
      ++i;
    } else {
      bytes += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;  // a lone surrogate becomes U+FFFD, 3 bytes
    }
  }
  return bytes;
}
