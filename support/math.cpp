// Elementary functions on IEEE 754 doubles without libm. The logarithms and
// the exponential reduce their argument by powers of two and evaluate a short
// series on what remains, carrying the reduction constants in two parts so
// the reduction adds no error of its own. The square root works on the exact
// integer significand; the cube root refines a Newton iterate once more with
// a residual computed exactly (Dekker's product), which lands on the exact
// root whenever that root is a double.
//
// Every operation here is a plain IEEE double operation: the core is compiled
// as ISO C++ (no contraction into fused multiply-add) for x86-64 SSE2, so the
// exact-product steps below are exact on both targets.
#include "support/math.hpp"

#include <bit>
#include <cstdint>

namespace {

constexpr uint64_t kSignBit = uint64_t{1} << 63;
constexpr int kFractionBits = 52;
constexpr uint64_t kFractionMask = (uint64_t{1} << kFractionBits) - 1;
constexpr uint64_t kExponentMask = uint64_t{0x7FF} << kFractionBits;
constexpr int kExponentBias = 1023;
constexpr int kMinNormalExponent = -1022;
constexpr int kMaxExponent = 1023;

uint64_t Bits(double value) { return std::bit_cast<uint64_t>(value); }
double FromBits(uint64_t bits) { return std::bit_cast<double>(bits); }

// 2^n for kMinNormalExponent <= n <= kMaxExponent.
double PowerOfTwo(int n) { return FromBits(static_cast<uint64_t>(n + kExponentBias) << kFractionBits); }

// value × 2^n with one rounding: a result in the subnormal range is rounded
// only by the last multiplication.
double ScaleByPowerOfTwo(double value, int n) {
  constexpr int kStep = kMaxExponent;
  constexpr int kSubnormalStep = kMinNormalExponent + kFractionBits + 1;  // keeps a value near 1 normal
  for (int i = 0; i < 2 && n > kMaxExponent; ++i) {
    value *= PowerOfTwo(kStep);
    n -= kStep;
  }
  for (int i = 0; i < 2 && n < kMinNormalExponent; ++i) {
    value *= PowerOfTwo(kSubnormalStep);
    n -= kSubnormalStep;
  }
  if (n > kMaxExponent) n = kMaxExponent;
  if (n < kMinNormalExponent) n = kMinNormalExponent;
  return value * PowerOfTwo(n);
}

// A finite positive double as significand × 2^exponent, the significand in
// [1, 2) (subnormals normalised).
void Decompose(double value, double* significand, int* exponent) {
  uint64_t bits = Bits(value);
  int field = static_cast<int>((bits & kExponentMask) >> kFractionBits);
  *exponent = 0;
  if (field == 0) {
    constexpr int kShift = 54;
    bits = Bits(value * PowerOfTwo(kShift));
    field = static_cast<int>((bits & kExponentMask) >> kFractionBits);
    *exponent = -kShift;
  }
  *exponent += field - kExponentBias;
  *significand = FromBits((bits & kFractionMask) | (static_cast<uint64_t>(kExponentBias) << kFractionBits));
}

// a × b as the rounded product plus its exact error (Dekker), for operands
// whose product neither overflows nor underflows.
struct DoubleDouble {
  double high;
  double low;
};
void Split(double a, double* high, double* low) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1: 26 bits above, 26 below
  const double scaled = kSplitter * a;
  *high = scaled - (scaled - a);
  *low = a - *high;
}
DoubleDouble TwoProduct(double a, double b) {
  double aHigh, aLow, bHigh, bLow;
  Split(a, &aHigh, &aLow);
  Split(b, &bHigh, &bLow);
  const double product = a * b;
  const double error = ((aHigh * bHigh - product) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
  return {product, error};
}

double ClearLow32Bits(double value) { return FromBits(Bits(value) & 0xFFFFFFFF00000000u); }

// ln 2 and log10 2 in two parts; the high parts end in enough zero bits that
// k × high is exact for any exponent k of a double.
constexpr double kLn2High = 0x1.62e42feep-1;
constexpr double kLn2Low = 0x1.a39ef35793c76p-33;
constexpr double kLog10Of2High = 0x1.34413509p-2;
constexpr double kLog10Of2Low = 0x1.ef3fde623e256p-35;
// 1 / ln 10 in two parts; the high part has 21 significant bits.
constexpr double kInvLn10High = 0x1.bcb7bp-2;
constexpr double kInvLn10Low = 0x1.526e50e32a6abp-26;
// ln 10 to double-double precision, 1 / ln 2 rounded.
constexpr double kLn10High = 0x1.26bb1bbb55516p+1;
constexpr double kLn10Low = -0x1.f48ad494ea3e9p-53;
constexpr double kInvLn2 = 0x1.71547652b82fep+0;
constexpr double kSqrtHalf = 0x1.6a09e667f3bcdp-1;

// The pieces of ln x for finite x > 0: x = 2^k (1 + f) with 1 + f in
// [sqrt(1/2), sqrt(2)), and ln(1 + f) = 2 atanh(s), s = f / (2 + f):
//   ln(1 + f) = f - hfsq + s (hfsq + r),  hfsq = f^2 / 2,
//   r = 2 s^2 / 3 + 2 s^4 / 5 + ... (|s| < 0.172, so eleven terms reach 2^-60).
struct LogPieces {
  int k;
  double f;
  double hfsq;
  double sTail;  // s (hfsq + r)
};
LogPieces ReduceLog(double x) {
  double significand = 0;
  int k = 0;
  Decompose(x, &significand, &k);
  if (significand > 2 * kSqrtHalf) {
    significand *= 0.5;
    ++k;
  }
  const double f = significand - 1.0;  // exact: significand is within a factor 2 of 1
  const double s = f / (2.0 + f);
  const double z = s * s;
  constexpr int kTerms = 11;
  double series = 0;
  for (int n = kTerms; n >= 1; --n) series = series * z + 2.0 / (2 * n + 1);
  const double r = z * series;
  const double hfsq = 0.5 * f * f;
  return {k, f, hfsq, s * (hfsq + r)};
}

// 10^n for 0 <= n <= 22, each exactly a double.
constexpr double kExactPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;
// Beyond these 10^y is not a finite double / rounds to zero (log10 of the
// largest double, and of half the smallest subnormal).
constexpr double kExp10Overflow = 308.25471555991675;
constexpr double kExp10Underflow = -323.60724533877976;

// e^r - 1 - r for |r| <= ln 2 / 2 (plus a little): the Taylor series to r^17,
// whose remainder is below 2^-70 of e^r.
double ExpTailReduced(double r) {
  constexpr int kTerms = 17;
  double sum = 1.0;
  for (int n = kTerms; n >= 3; --n) sum = 1.0 + sum * r / n;
  return 0.5 * r * r * sum;
}

// a + b as the rounded sum plus its exact error (Knuth).
DoubleDouble TwoSum(double a, double b) {
  const double sum = a + b;
  const double bPart = sum - a;
  return {sum, (a - (sum - bPart)) + (b - bPart)};
}

}  // namespace

bool IsFinite(double value) { return (Bits(value) & kExponentMask) != kExponentMask; }

bool IsNan(double value) { return !IsFinite(value) && (Bits(value) & kFractionMask) != 0; }

double NotANumber() { return FromBits(kExponentMask | (uint64_t{1} << (kFractionBits - 1))); }

double Infinity() { return FromBits(kExponentMask); }

double Pow10(int exponent) {
  if (exponent >= 0 && exponent <= kLargestExactPower) return kExactPowersOf10[exponent];
  // One correctly rounded division of exact numbers: the double nearest 10^n.
  if (exponent < 0 && exponent >= -kLargestExactPower) return 1.0 / kExactPowersOf10[-exponent];
  if (exponent > kExp10Overflow) return Infinity();
  if (exponent < kExp10Underflow) return 0.0;
  return Exp10(exponent);
}

double Exp10(double y) {
  if (IsNan(y)) return y;
  if (y > kExp10Overflow) return Infinity();
  if (y < kExp10Underflow) return 0.0;
  const int whole = static_cast<int>(y);  // in range: |y| < 324
  if (whole == y && whole >= -kLargestExactPower && whole <= kLargestExactPower) return Pow10(whole);

  // y ln 10 = t exactly enough (to 2^-100 relative), then t = k ln 2 + r.
  DoubleDouble t = TwoProduct(y, kLn10High);
  t.low += y * kLn10Low;
  const double scaled = t.high * kInvLn2;
  const int k = static_cast<int>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
  const double rHigh = t.high - k * kLn2High;  // exact: k ln 2 lies within a factor 2 of t.high
  const double rLow = t.low - k * kLn2Low;
  const double r = rHigh + rLow;
  const double rError = (rHigh - r) + rLow;
  // e^(r + rError) = 1 + r + tail + rError (1 + r), the leading 1 + r kept
  // exact so that only the last addition rounds noticeably.
  const DoubleDouble onePlusR = TwoSum(1.0, r);
  const double tail = onePlusR.low + (ExpTailReduced(r) + rError * (1.0 + r));
  return ScaleByPowerOfTwo(onePlusR.high + tail, k);
}

double NaturalLog(double x) {
  if (IsNan(x)) return x;
  if (x < 0) return NotANumber();
  if (x == 0) return -Infinity();
  if (!IsFinite(x)) return x;
  const LogPieces p = ReduceLog(x);
  const double k = p.k;
  return k * kLn2High - ((p.hfsq - (p.sTail + k * kLn2Low)) - p.f);
}

double Log10(double x) {
  if (IsNan(x)) return x;
  if (x < 0) return NotANumber();
  if (x == 0) return -Infinity();
  if (!IsFinite(x)) return x;
  const LogPieces p = ReduceLog(x);
  // ln(1 + f) as high + low, the high part short enough that high ×
  // kInvLn10High is exact; the sum with k log10 2 is then carried in two parts.
  const double high = ClearLow32Bits(p.f - p.hfsq);
  const double low = (p.f - high) - p.hfsq + p.sTail;
  const double k = p.k;
  const double kPart = k * kLog10Of2High;
  const double valueHigh = high * kInvLn10High;
  double valueLow = (low + high) * kInvLn10Low + low * kInvLn10High + k * kLog10Of2Low;
  const double sum = kPart + valueHigh;
  valueLow += (kPart - sum) + valueHigh;
  const double result = sum + valueLow;
  // A power of ten (the double nearest 10^n) has the exact logarithm n within
  // far less than half an ulp of n; say so exactly rather than within an ulp.
  const int nearest = static_cast<int>(result < 0 ? result - 0.5 : result + 0.5);
  if (nearest >= -kLargestExactPower && nearest <= kLargestExactPower && x == Pow10(nearest)) return nearest;
  return result;
}

double SquareRoot(double x) {
  if (IsNan(x) || x == 0) return x;  // sqrt(-0) is -0
  if (x < 0) return NotANumber();
  if (!IsFinite(x)) return x;
  // x = m × 2^e with the integer m in [2^52, 2^53).
  uint64_t bits = Bits(x);
  int field = static_cast<int>((bits & kExponentMask) >> kFractionBits);
  uint64_t m = bits & kFractionMask;
  int e = 0;
  if (field == 0) {
    e = kMinNormalExponent - kFractionBits;
    while ((m & (uint64_t{1} << kFractionBits)) == 0) {
      m <<= 1;
      --e;
    }
  } else {
    m |= uint64_t{1} << kFractionBits;
    e = field - kExponentBias - kFractionBits;
  }
  // n = m × 2^shift in [2^104, 2^106) with e - shift even: sqrt(n) in [2^52, 2^53).
  const int shift = ((e - 52) & 1) == 0 ? 52 : 53;
  unsigned __int128 remainder = static_cast<unsigned __int128>(m) << shift;
  // Integer square root, one bit per step (only shifts, adds and compares).
  unsigned __int128 root = 0;
  unsigned __int128 bit = static_cast<unsigned __int128>(1) << 104;
  while (bit > remainder) bit >>= 2;
  while (bit != 0) {
    if (remainder >= root + bit) {
      remainder -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  // Round to nearest: (root + 1/2)^2 = root^2 + root + 1/4 is never an
  // integer, so there are no ties.
  if (remainder > root) ++root;
  const int exponent = (e - shift) / 2;
  // root may have carried to 2^53; adding it to the exponent field absorbs that.
  const uint64_t resultBits = (static_cast<uint64_t>(exponent + kExponentBias + kFractionBits) << kFractionBits) +
                              (static_cast<uint64_t>(root) - (uint64_t{1} << kFractionBits));
  return FromBits(resultBits);
}

double CubeRoot(double x) {
  if (IsNan(x) || x == 0 || !IsFinite(x)) return x;
  const bool negative = (Bits(x) & kSignBit) != 0;
  double significand = 0;
  int exponent = 0;
  Decompose(negative ? -x : x, &significand, &exponent);
  // |x| = f × 2^(3q), f in [1, 8).
  const int q = exponent >= 0 ? exponent / 3 : -((-exponent + 2) / 3);
  const int rest = exponent - 3 * q;
  constexpr double kCubeRootsOfPowersOf2[] = {1.0, 0x1.428a2f98d728bp+0, 0x1.965fea53d6e3dp+0};
  const double f = significand * (rest == 0 ? 1.0 : rest == 1 ? 2.0 : 4.0);
  // Start within 7 % of the root; Newton's step doubles the correct digits.
  double r = kCubeRootsOfPowersOf2[rest] * (1.0 + (significand - 1.0) / 3.0);
  constexpr int kNewtonSteps = 5;
  for (int i = 0; i < kNewtonSteps; ++i) r = (2.0 * r + f / (r * r)) / 3.0;
  // One more step with the residual f - r^3 computed exactly: its error is
  // far below half an ulp, so an exact root is hit exactly.
  const DoubleDouble square = TwoProduct(r, r);
  DoubleDouble cube = TwoProduct(square.high, r);
  cube.low += square.low * r;
  const double residual = (f - cube.high) - cube.low;
  r += residual / (3.0 * r * r);
  const double root = ScaleByPowerOfTwo(r, q);
  return negative ? -root : root;
}

bool TruncateToInt32(double value, int32_t* result) {
  // The bounds are exact doubles; NaN fails both comparisons.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return false;
  *result = static_cast<int32_t>(value);
  return true;
}

bool TruncateToInt64(double value, int64_t* result) {
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return false;
  *result = static_cast<int64_t>(value);
  return true;
}
