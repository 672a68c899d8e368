// The few elementary functions the sensor conversions need (IPMI 2.0 section
// 36.3: the linear formula and the linearization functions), for the core
// without a C library or libm.
//
// Accuracy: SquareRoot is correctly rounded (the same result as the C
// library's sqrt for every input). CubeRoot, NaturalLog, Log10 and Exp10 stay
// within 1 unit in the last place of the exact result, and are exact at the
// points a reader checks by eye: Pow10 of an integer exponent is the double
// nearest to 10^n (exactly 10^n for 0 <= n <= 22), Exp10 of an integer in
// -22..22 is Pow10 of it, Log10 of such a power of ten is the integer n, and
// CubeRoot of a cube of a double (27, 0.125, -1000) is that double.
//
// Special values follow the C library: a logarithm of 0 is minus infinity and
// of a negative number NaN; roots of negative numbers, NaN for SquareRoot and
// negative for CubeRoot; overflow gives infinity and underflow zero. Callers
// test IsFinite before they turn a result into an integer.
#pragma once

#include <cstdint>

bool IsFinite(double value);
bool IsNan(double value);
double NotANumber();
double Infinity();

// 10^exponent as the double nearest to it (0 and infinity beyond the range of
// doubles).
double Pow10(int exponent);
// 10^y.
double Exp10(double y);
// The natural logarithm, base e.
double NaturalLog(double x);
// The base-10 logarithm.
double Log10(double x);
double SquareRoot(double x);
double CubeRoot(double x);

// value truncated toward zero, when the result fits the target; false for NaN,
// infinities and values out of range (a conversion the C++ language leaves
// undefined).
bool TruncateToInt32(double value, int32_t* result);
bool TruncateToInt64(double value, int64_t* result);
