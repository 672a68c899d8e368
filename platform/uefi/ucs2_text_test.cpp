// The UEFI binding's text conversions: what the shell passes as arguments must
// reach the core byte for byte, and what the core prints must reach the console
// with a carriage return before every line feed and nothing past any buffer.
#include "platform/uefi/ucs2_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ConsoleCase {
  const char* name;
  std::string text;
  bool crlf;
  std::u16string expected;
};

const ConsoleCase kConsoleCases[] = {
    {"ascii", "Get Device ID", true, u"Get Device ID"},
    {"line feed gets carriage return", "a\nb\n", true, u"a\r\nb\r\n"},
    {"existing CR LF kept", "a\r\nb", true, u"a\r\nb"},
    {"file keeps bare LF", "a\nb", false, u"a\nb"},
    {"two-byte sequence", "\xC3\xA9", true, u"\u00E9"},
    {"three-byte sequence", "\xE2\x82\xAC", true, u"\u20AC"},
    {"outside 16 bits", "\xF0\x9F\x98\x80", true, u"\uFFFD"},
    {"stray continuation", "\x80x", true, u"\uFFFDx"},
    {"truncated sequence", "\xE2\x82", true, u"\uFFFD\uFFFD"},
    {"overlong slash", "\xC0\xAF", true, u"\uFFFD"},
    {"encoded surrogate", "\xED\xA0\x80", true, u"\uFFFD"},
};

std::u16string ConvertAll(const std::string& text, bool crlf, size_t capacity) {
  std::u16string result;
  std::vector<char16_t> buffer(capacity + 1, u'#');
  bool previousWasCr = false;
  size_t done = 0;
  while (done < text.size()) {
    size_t consumed = 0;
    size_t units = Utf8ToUcs2Chunk(text.data() + done, text.size() - done, &consumed, buffer.data(), capacity, crlf,
                                   &previousWasCr);
    EXPECT_LE(units, capacity);
    EXPECT_EQ(buffer[capacity], u'#') << "wrote past the chunk";
    if (consumed == 0) {
      ADD_FAILURE() << "no progress";
      break;
    }
    result.append(buffer.data(), units);
    done += consumed;
  }
  return result;
}

TEST(Ucs2Console, ConvertsAndEndsLines) {
  for (const auto& c : kConsoleCases) {
    EXPECT_EQ(ConvertAll(c.text, c.crlf, 64), c.expected) << c.name;
  }
}

TEST(Ucs2Console, SmallChunksGiveSameText) {
  // The binding flushes every few hundred units; a CR LF pair or a multi-byte
  // character must never be split or lost at a chunk edge, and a "\r" ending one
  // chunk must still suppress the extra "\r" before the next chunk's "\n".
  const std::string text = "x\r\n\xC3\xA9\n\n\xE2\x82\xACz\n";
  const std::u16string expected = u"x\r\n\u00E9\r\n\r\n\u20ACz\r\n";
  for (size_t capacity = 2; capacity <= 12; ++capacity) {
    EXPECT_EQ(ConvertAll(text, true, capacity), expected) << "capacity " << capacity;
  }
}

struct NarrowCase {
  const char* name;
  std::u16string wide;
  size_t capacity;
  std::string expected;
};

const NarrowCase kNarrowCases[] = {
    {"command word", u"-raw", 16, "-raw"},
    {"e acute", u"caf\u00E9", 16, "caf\xC3\xA9"},
    {"euro", u"\u20AC", 16, "\xE2\x82\xAC"},
    {"surrogate pair", u"\U0001F600", 16, "\xF0\x9F\x98\x80"},
    {"lone surrogate", std::u16string(1, char16_t(0xD800)), 16, "\xEF\xBF\xBD"},
    {"exact fit", u"abc", 4, "abc"},
    {"cut at capacity", u"abcdef", 4, "abc"},
    {"multi-byte never split", u"a\u20AC", 4, "a"},
    {"room for NUL only", u"abc", 1, ""},
};

TEST(Ucs2Arguments, NarrowedWithinCapacity) {
  for (const auto& c : kNarrowCases) {
    std::vector<char> out(c.capacity + 1, '#');
    size_t length = Ucs2ToUtf8String(c.wide.c_str(), out.data(), c.capacity);
    EXPECT_EQ(std::string(out.data()), c.expected) << c.name;
    EXPECT_EQ(length, c.expected.size()) << c.name;
    EXPECT_EQ(out[c.capacity], '#') << c.name << ": wrote past the buffer";
    // With room enough, the predicted length is what the conversion writes.
    std::vector<char> roomy(64);
    EXPECT_EQ(Utf8LengthOfUcs2(c.wide.c_str()), Ucs2ToUtf8String(c.wide.c_str(), roomy.data(), roomy.size())) << c.name;
  }
}

struct WidenCase {
  const char* name;
  const char* narrow;
  size_t capacity;
  bool ok;
  std::u16string expected;
};

const WidenCase kWidenCases[] = {
    {"file name", "fru.bin", 16, true, u"fru.bin"},
    {"path", "fs0:\\logs\\sel.txt", 32, true, u"fs0:\\logs\\sel.txt"},
    {"exact fit", "abc", 4, true, u"abc"},
    {"too long", "abcd", 4, false, u""},
    {"no LF conversion in names", "a\nb", 8, true, u"a\nb"},
};

TEST(Ucs2Names, WidenedOrRefused) {
  for (const auto& c : kWidenCases) {
    std::vector<char16_t> out(c.capacity + 1, u'#');
    EXPECT_EQ(Utf8ToUcs2String(c.narrow, out.data(), c.capacity), c.ok) << c.name;
    EXPECT_EQ(std::u16string(out.data()), c.expected) << c.name;
    EXPECT_EQ(out[c.capacity], u'#') << c.name << ": wrote past the buffer";
  }
}

}  // namespace
