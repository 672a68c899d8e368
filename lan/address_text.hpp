// The two address text forms the LAN commands accept and print.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest texts plus terminator: "255.255.255.255" and "##:##:##:##:##:##".
inline constexpr size_t kIpTextSize = 16;
inline constexpr size_t kMacTextSize = 18;

// Dotted decimal IPv4: only digits and dots; tokens split at runs of dots (empty
// tokens do not count), the first four must be 0..255, further ones are ignored.
// 0 and the four bytes on success, 1 on malformed text.
int ParseDottedQuad(const char* text, uint8_t bytes[4]);

// Colon-separated (17 characters) or bare (12 characters) hexadecimal MAC: twelve
// digits, a colon allowed only before digits 2, 4, 6, 8 and 10 in the colon
// positions. 0 and the six bytes on success, 1 on malformed text.
int ParseMacText(const char* text, uint8_t bytes[6]);
