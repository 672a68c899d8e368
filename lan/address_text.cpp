#include "lan/address_text.hpp"

#include "support/chars.hpp"
#include "support/text.hpp"

namespace {

constexpr unsigned kMaxOctet = 255;
constexpr size_t kMacColonTextLength = 17;
constexpr size_t kMacBareTextLength = 12;
constexpr unsigned kMacDigits = 12;

// Colons may stand only where the colon form has them.
bool IsMacColonPosition(size_t position) {
  return position == 2 || position == 5 || position == 8 || position == 11 || position == 14;
}

}  // namespace

int ParseDottedQuad(const char* text, uint8_t bytes[4]) {
  for (const char* c = text; *c != '\0'; ++c) {
    if (!IsDigit(*c) && *c != '.') return 1;
  }
  // Tokens as strtok at '.' gives them, read in place: runs of dots separate,
  // leading and trailing dots make no empty token.
  const char* position = text;
  for (int i = 0; i < 4; ++i) {
    while (*position == '.') ++position;
    if (*position == '\0') return 1;
    unsigned value = 0;
    for (; IsDigit(*position); ++position) {
      value = value * 10 + static_cast<unsigned>(*position - '0');
      if (value > kMaxOctet) return 1;  // also keeps a long digit run from overflowing
    }
    bytes[i] = static_cast<uint8_t>(value);
  }
  return 0;
}

int ParseMacText(const char* text, uint8_t bytes[6]) {
  const size_t length = StringLength(text);
  if (length != kMacColonTextLength && length != kMacBareTextLength) return 1;
  for (size_t i = 0; i < length; ++i) {
    if (HexDigitValue(text[i]) < 0 && text[i] != ':') return 1;
  }
  uint8_t parsed[6] = {};
  size_t position = 0;
  for (unsigned k = 0; k < kMacDigits; ++k) {
    if (position < length && text[position] == ':') {
      if (!IsMacColonPosition(position)) return 1;
      ++position;
    }
    const int digit = position < length ? HexDigitValue(text[position]) : -1;
    if (digit < 0) return 1;
    ++position;
    parsed[k / 2] = static_cast<uint8_t>(parsed[k / 2] | (k % 2 == 0 ? digit << 4 : digit));
  }
  CopyBytes(bytes, parsed, sizeof parsed);
  return 0;
}
