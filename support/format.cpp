// printf-style formatting without a C library. Every conversion writes through
// one small output object that either fills a caller's buffer (FormatString) or a
// stack buffer flushed to the console as it fills (Printf), so the same code
// produces the same bytes on the host and in the firmware shell.
#include "support/format.hpp"

#include <bit>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "platform/platform.hpp"
#include "support/chars.hpp"

namespace {

// Where formatted bytes go. `total` counts every byte produced, stored or not, as
// snprintf's result does.
class Output {
 public:
  // Caller's buffer: at most size - 1 bytes are stored, leaving room for the NUL.
  Output(char* buffer, size_t size) : buffer_(buffer), capacity_(size == 0 ? 0 : size - 1) {}
  // Console: a stack buffer handed to ConsoleWrite each time it is full.
  Output(char* buffer, size_t size, ConsoleStream stream)
      : buffer_(buffer), capacity_(size), console_(true), stream_(stream) {}

  void Put(char c) {
    ++total_;
    if (used_ == capacity_) {
      if (!console_) return;
      Flush();
    }
    buffer_[used_++] = c;
  }
  void Write(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) Put(text[i]);
  }
  void Repeat(char c, size_t count) {
    for (size_t i = 0; i < count; ++i) Put(c);
  }
  void Flush() {
    if (console_ && used_ > 0) ConsoleWrite(stream_, buffer_, used_);
    used_ = 0;
  }
  // Terminates a caller's buffer after the stored bytes.
  void Terminate() {
    if (!console_ && buffer_ != nullptr) buffer_[used_] = '\0';
  }
  int Result() const {
    return total_ > static_cast<size_t>(std::numeric_limits<int>::max()) ? -1 : static_cast<int>(total_);
  }

 private:
  char* buffer_;
  size_t capacity_;
  size_t used_ = 0;
  size_t total_ = 0;
  bool console_ = false;
  ConsoleStream stream_ = ConsoleStream::Output;
};

// One parsed conversion, %[flags][width][.precision][length] and its letter;
// the letter itself is read and dispatched on by FormatTo.
struct Conversion {
  bool left = false;
  bool zero = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  size_t width = 0;
  int precision = -1;  // -1: not given
};

enum class Length : uint8_t { None, Char, Short, Long, LongLong, Size, Max, Difference };

// Lays out [sign/prefix][zeros][body] in the field width, the way printf pads.
void EmitPadded(Output& out, const Conversion& conversion, const char* prefix, size_t prefixLength, size_t zeros,
                const char* body, size_t bodyLength) {
  size_t length = prefixLength + zeros + bodyLength;
  size_t pad = conversion.width > length ? conversion.width - length : 0;
  if (!conversion.left) out.Repeat(' ', pad);
  out.Write(prefix, prefixLength);
  out.Repeat('0', zeros);
  out.Write(body, bodyLength);
  if (conversion.left) out.Repeat(' ', pad);
}

// Fills the field with zeros after the sign when '0' asks for it (and '-' does not
// override it).
size_t FieldZeros(const Conversion& conversion, size_t prefixLength, size_t bodyLength) {
  if (!conversion.zero || conversion.left) return 0;
  size_t used = prefixLength + bodyLength;
  return conversion.width > used ? conversion.width - used : 0;
}

void EmitInteger(Output& out, const Conversion& conversion, uint64_t magnitude, bool negative, bool isSigned,
                 unsigned base, bool upper) {
  char digits[24];
  size_t count = 0;
  const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  // A zero value with precision 0 prints no digits at all.
  if (!(magnitude == 0 && conversion.precision == 0)) {
    do {
      digits[sizeof digits - 1 - count++] = alphabet[magnitude % base];
      magnitude /= base;
    } while (magnitude != 0);
  }
  const char* body = digits + sizeof digits - count;

  char prefix[2] = {};  // sign, or 0x / 0X
  size_t prefixLength = 0;
  if (isSigned) {
    if (negative) {
      prefix[prefixLength++] = '-';
    } else if (conversion.plus) {
      prefix[prefixLength++] = '+';
    } else if (conversion.space) {
      prefix[prefixLength++] = ' ';
    }
  } else if (base == 16 && conversion.alternate && count > 0 && !(count == 1 && body[0] == '0')) {
    prefix[prefixLength++] = '0';
    prefix[prefixLength++] = upper ? 'X' : 'x';
  }

  size_t zeros = 0;
  if (conversion.precision >= 0) {
    // An explicit precision is a minimum digit count and disables '0' padding.
    if (static_cast<size_t>(conversion.precision) > count) zeros = static_cast<size_t>(conversion.precision) - count;
  } else {
    zeros = FieldZeros(conversion, prefixLength, count);
  }
  EmitPadded(out, conversion, prefix, prefixLength, zeros, body, count);
}

// ---- Exact decimal expansion of a double ------------------------------------
//
// A finite double is m * 2^e with m < 2^53. Its digits with P places after the
// point are those of the integer m * 10^P * 2^e, rounded to nearest with ties to
// even on the exact binary value. For e < 0 only the first -e places can be
// non-zero (m / 2^k has exactly k decimal places), so P is capped at -e and the
// rest are zeros. Working as m * 5^P / 2^(k - P) keeps the numbers small: at most
// 53 + 1074 * log2(5) bits, below 2560.

class BigNumber {
 public:
  explicit BigNumber(uint64_t value) {
    limbs_[0] = static_cast<uint32_t>(value);
    limbs_[1] = static_cast<uint32_t>(value >> 32);
    count_ = limbs_[1] != 0 ? 2 : (limbs_[0] != 0 ? 1 : 0);
  }

  bool IsZero() const { return count_ == 0; }

  void MultiplySmall(uint32_t factor) {
    uint64_t carry = 0;
    for (size_t i = 0; i < count_; ++i) {
      uint64_t product = static_cast<uint64_t>(limbs_[i]) * factor + carry;
      limbs_[i] = static_cast<uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0 && count_ < kLimbs) limbs_[count_++] = static_cast<uint32_t>(carry);
  }

  void AddOne() {
    for (size_t i = 0; i < count_; ++i) {
      if (++limbs_[i] != 0) return;
    }
    if (count_ < kLimbs) limbs_[count_++] = 1;
  }

  void ShiftLeft(unsigned bits) {
    if (count_ == 0) return;
    size_t whole = bits / 32;
    unsigned part = bits % 32;
    size_t newCount = count_ + whole + 1;
    if (newCount > kLimbs) newCount = kLimbs;
    for (size_t i = newCount; i-- > 0;) {
      uint64_t high = (i >= whole && i - whole < count_) ? limbs_[i - whole] : 0;
      uint64_t low = (part != 0 && i >= whole + 1 && i - whole - 1 < count_) ? limbs_[i - whole - 1] : 0;
      limbs_[i] = static_cast<uint32_t>((high << part) | (low >> (32 - part)));
    }
    count_ = newCount;
    Trim();
  }

  bool Bit(size_t index) const {
    size_t limb = index / 32;
    return limb < count_ && ((limbs_[limb] >> (index % 32)) & 1u) != 0;
  }

  // True when any of the lowest `bits` bits is set.
  bool AnyBitBelow(size_t bits) const {
    for (size_t i = 0; i < count_ && i * 32 < bits; ++i) {
      size_t inLimb = bits - i * 32;
      uint32_t mask = inLimb >= 32 ? 0xffffffffu : ((1u << inLimb) - 1u);
      if ((limbs_[i] & mask) != 0) return true;
    }
    return false;
  }

  void ShiftRight(size_t bits) {
    size_t whole = bits / 32;
    unsigned part = static_cast<unsigned>(bits % 32);
    if (whole >= count_) {
      count_ = 0;
      return;
    }
    for (size_t i = 0; i + whole < count_; ++i) {
      uint64_t low = limbs_[i + whole];
      uint64_t high = i + whole + 1 < count_ ? limbs_[i + whole + 1] : 0;
      limbs_[i] = static_cast<uint32_t>(((high << 32) | low) >> part);
    }
    count_ -= whole;
    Trim();
  }

  // Divides in place and returns the remainder.
  uint32_t DivideSmall(uint32_t divisor) {
    uint64_t remainder = 0;
    for (size_t i = count_; i-- > 0;) {
      uint64_t current = (remainder << 32) | limbs_[i];
      limbs_[i] = static_cast<uint32_t>(current / divisor);
      remainder = current % divisor;
    }
    Trim();
    return static_cast<uint32_t>(remainder);
  }

 private:
  void Trim() {
    while (count_ > 0 && limbs_[count_ - 1] == 0) --count_;
  }

  static constexpr size_t kLimbs = 84;
  uint32_t limbs_[kLimbs] = {};
  size_t count_ = 0;
};

// Largest digit count: 16 integer digits plus 1074 places for tiny values, or 309
// integer digits for huge ones.
constexpr size_t kMaxFixedDigits = 1100;

void EmitFixed(Output& out, const Conversion& conversion, double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const unsigned exponentField = static_cast<unsigned>((bits >> 52) & 0x7ff);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);

  char prefix[1] = {};  // sign
  size_t prefixLength = 0;
  if (negative) {
    prefix[prefixLength++] = '-';
  } else if (conversion.plus) {
    prefix[prefixLength++] = '+';
  } else if (conversion.space) {
    prefix[prefixLength++] = ' ';
  }

  if (exponentField == 0x7ff) {
    // Infinities and NaNs ignore precision and are padded with spaces only.
    const char* text = fraction == 0 ? "inf" : "nan";
    EmitPadded(out, conversion, prefix, prefixLength, 0, text, 3);
    return;
  }

  const size_t places = conversion.precision < 0 ? 6 : static_cast<size_t>(conversion.precision);
  uint64_t mantissa = exponentField == 0 ? fraction : (fraction | (uint64_t{1} << 52));
  int exponent = exponentField == 0 ? -1074 : static_cast<int>(exponentField) - 1075;
  // Dropping trailing zero bits keeps the scaled number as short as possible.
  while (mantissa != 0 && (mantissa & 1) == 0) {
    mantissa >>= 1;
    ++exponent;
  }
  if (mantissa == 0) exponent = 0;

  BigNumber number(mantissa);
  size_t exactPlaces = 0;  // places computed; the rest of `places` are zeros
  if (exponent >= 0) {
    number.ShiftLeft(static_cast<unsigned>(exponent));
  } else {
    const size_t halvings = static_cast<size_t>(-exponent);
    exactPlaces = places < halvings ? places : halvings;
    size_t fives = exactPlaces;
    while (fives >= 13) {
      number.MultiplySmall(1220703125u);  // 5^13
      fives -= 13;
    }
    uint32_t rest = 1;
    while (fives-- > 0) rest *= 5;
    number.MultiplySmall(rest);

    const size_t drop = halvings - exactPlaces;
    if (drop > 0) {
      const bool halfBit = number.Bit(drop - 1);
      const bool belowHalf = number.AnyBitBelow(drop - 1);
      number.ShiftRight(drop);
      if (halfBit && (belowHalf || number.Bit(0))) number.AddOne();
    }
  }

  // Decimal digits, least significant first, filled from the end of the buffer.
  char digits[kMaxFixedDigits];
  size_t count = 0;
  while (!number.IsZero() && count + 9 <= kMaxFixedDigits) {
    uint32_t chunk = number.DivideSmall(1000000000u);
    for (int i = 0; i < 9; ++i) {
      digits[kMaxFixedDigits - 1 - count++] = static_cast<char>('0' + chunk % 10);
      chunk /= 10;
    }
  }
  // Strip the zeros the last chunk added, then keep at least one integer digit.
  while (count > 0 && digits[kMaxFixedDigits - count] == '0') --count;
  while (count < exactPlaces + 1 && count < kMaxFixedDigits) digits[kMaxFixedDigits - 1 - count++] = '0';
  const char* text = digits + kMaxFixedDigits - count;
  const size_t integerDigits = count - exactPlaces;
  const bool point = places > 0 || conversion.alternate;

  const size_t bodyLength = count + (point ? 1 : 0) + (places - exactPlaces);
  const size_t zeros = FieldZeros(conversion, prefixLength, bodyLength);
  const size_t length = prefixLength + zeros + bodyLength;
  const size_t pad = conversion.width > length ? conversion.width - length : 0;
  if (!conversion.left) out.Repeat(' ', pad);
  out.Write(prefix, prefixLength);
  out.Repeat('0', zeros);
  out.Write(text, integerDigits);
  if (point) out.Put('.');
  out.Write(text + integerDigits, exactPlaces);
  out.Repeat('0', places - exactPlaces);
  if (conversion.left) out.Repeat(' ', pad);
}

void EmitString(Output& out, const Conversion& conversion, const char* text) {
  if (text == nullptr) {
    // The C library prints "(null)" only when the precision leaves room for it.
    text = (conversion.precision < 0 || conversion.precision >= 6) ? "(null)" : "";
  }
  size_t length = 0;
  while (text[length] != '\0' && (conversion.precision < 0 || length < static_cast<size_t>(conversion.precision))) {
    ++length;
  }
  EmitPadded(out, conversion, nullptr, 0, 0, text, length);
}

int ReadIntArgument(va_list* args) { return va_arg(*args, int); }

uint64_t ReadUnsigned(va_list* args, Length length) {
  switch (length) {
    case Length::Char:
      return static_cast<unsigned char>(va_arg(*args, unsigned));
    case Length::Short:
      return static_cast<unsigned short>(va_arg(*args, unsigned));
    case Length::Long:
      return va_arg(*args, unsigned long);
    case Length::LongLong:
      return va_arg(*args, unsigned long long);
    case Length::Size:
      return va_arg(*args, size_t);
    case Length::Max:
      return va_arg(*args, uintmax_t);
    case Length::Difference:
      return static_cast<std::make_unsigned_t<ptrdiff_t>>(va_arg(*args, ptrdiff_t));
    case Length::None:
      break;
  }
  return va_arg(*args, unsigned);
}

int64_t ReadSigned(va_list* args, Length length) {
  switch (length) {
    case Length::Char:
      return static_cast<signed char>(va_arg(*args, int));
    case Length::Short:
      return static_cast<short>(va_arg(*args, int));
    case Length::Long:
      return va_arg(*args, long);
    case Length::LongLong:
      return va_arg(*args, long long);
    case Length::Size:
      return va_arg(*args, std::make_signed_t<size_t>);
    case Length::Max:
      return va_arg(*args, intmax_t);
    case Length::Difference:
      return va_arg(*args, ptrdiff_t);
    case Length::None:
      break;
  }
  return va_arg(*args, int);
}

// Reads a decimal count from the format, saturating so an absurd width cannot wrap.
size_t ReadCount(const char*& cursor) {
  size_t value = 0;
  while (IsDigit(*cursor)) {
    if (value < (size_t{1} << 30)) value = value * 10 + static_cast<size_t>(*cursor - '0');
    ++cursor;
  }
  return value;
}

void FormatTo(Output& out, const char* format, va_list* args) {
  const char* cursor = format;
  while (*cursor != '\0') {
    if (*cursor != '%') {
      out.Put(*cursor++);
      continue;
    }
    const char* start = cursor++;
    Conversion conversion;
    for (;; ++cursor) {
      if (*cursor == '-') {
        conversion.left = true;
      } else if (*cursor == '0') {
        conversion.zero = true;
      } else if (*cursor == '+') {
        conversion.plus = true;
      } else if (*cursor == ' ') {
        conversion.space = true;
      } else if (*cursor == '#') {
        conversion.alternate = true;
      } else {
        break;
      }
    }
    if (*cursor == '*') {
      ++cursor;
      int width = ReadIntArgument(args);
      // A negative width argument means left alignment.
      if (width < 0) {
        conversion.left = true;
        conversion.width = static_cast<size_t>(-static_cast<int64_t>(width));
      } else {
        conversion.width = static_cast<size_t>(width);
      }
    } else {
      conversion.width = ReadCount(cursor);
    }
    if (*cursor == '.') {
      ++cursor;
      if (*cursor == '*') {
        ++cursor;
        int precision = ReadIntArgument(args);
        conversion.precision = precision < 0 ? -1 : precision;  // negative: as if absent
      } else {
        conversion.precision = static_cast<int>(ReadCount(cursor));
      }
    }
    Length length = Length::None;
    if (*cursor == 'h') {
      ++cursor;
      length = Length::Short;
      if (*cursor == 'h') {
        ++cursor;
        length = Length::Char;
      }
    } else if (*cursor == 'l') {
      ++cursor;
      length = Length::Long;
      if (*cursor == 'l') {
        ++cursor;
        length = Length::LongLong;
      }
    } else if (*cursor == 'z') {
      ++cursor;
      length = Length::Size;
    } else if (*cursor == 'j') {
      ++cursor;
      length = Length::Max;
    } else if (*cursor == 't') {
      ++cursor;
      length = Length::Difference;
    }

    const char letter = *cursor;
    if (letter == '\0') {
      // A format ending inside a conversion: show what was there.
      out.Write(start, static_cast<size_t>(cursor - start));
      break;
    }
    ++cursor;
    switch (letter) {
      case 'd':
      case 'i': {
        int64_t value = ReadSigned(args, length);
        uint64_t magnitude = value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        EmitInteger(out, conversion, magnitude, value < 0, true, 10, false);
        break;
      }
      case 'u':
        EmitInteger(out, conversion, ReadUnsigned(args, length), false, false, 10, false);
        break;
      case 'x':
      case 'X':
        EmitInteger(out, conversion, ReadUnsigned(args, length), false, false, 16, letter == 'X');
        break;
      case 'c': {
        char c = static_cast<char>(ReadIntArgument(args));
        EmitPadded(out, conversion, nullptr, 0, 0, &c, 1);
        break;
      }
      case 's':
        EmitString(out, conversion, va_arg(*args, const char*));
        break;
      case 'f':
        EmitFixed(out, conversion, va_arg(*args, double));
        break;
      case '%':
        out.Put('%');
        break;
      default:
        // Unknown conversions are copied through unchanged.
        out.Write(start, static_cast<size_t>(cursor - start));
        break;
    }
  }
}

int ConsolePrint(ConsoleStream stream, const char* format, va_list args) {
  char buffer[128];
  Output out(buffer, sizeof buffer, stream);
  va_list copy;
  va_copy(copy, args);
  FormatTo(out, format, &copy);
  va_end(copy);
  out.Flush();
  return out.Result();
}

}  // namespace

int FormatStringV(char* buffer, size_t size, const char* format, va_list args) {
  Output out(size == 0 ? nullptr : buffer, size);
  va_list copy;
  va_copy(copy, args);
  FormatTo(out, format, &copy);
  va_end(copy);
  out.Terminate();
  return out.Result();
}

int FormatString(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = FormatStringV(buffer, size, format, args);
  va_end(args);
  return result;
}

int Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = ConsolePrint(ConsoleStream::Output, format, args);
  va_end(args);
  return result;
}

int ErrorPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = ConsolePrint(ConsoleStream::Error, format, args);
  va_end(args);
  return result;
}
