#pragma once

#include <string>

namespace prallwerk {

// Decimal text of the engine's numbers, both ways, the same characters and the
// same values on every platform. The digits come from {fmt}'s own conversion
// (exact integer arithmetic), never from a C library: printf may round the
// last digits its own way, and not every C++ library has a floating-point
// std::to_chars. Text is read by the C++ library's std::from_chars where it
// reads doubles, else by fast_float; both round correctly.

// Appends v as printf's %.17g writes it: 17 significant digits, which tell
// every double apart; fixed notation when the decimal exponent (after
// rounding) lies in [-4, 17), exponent notation with at least two exponent
// digits otherwise; trailing zeros and a trailing point removed; "-0" for
// negative zero, "inf" and "nan" with their sign.
void appendSignificant17(std::string& out, double v);

// Appends the fewest significant digits that read back (readDecimal) to
// exactly v: "0.1", "4", "-0", "1e+22", "1e-05", "5e-324"; fixed notation
// for decimal exponents in [-4, 16), exponent notation with at least two
// exponent digits otherwise; "inf" and "nan" with their sign.
void appendShortest(std::string& out, double v);

// The same for a single-precision value: the fewest digits that the nearest
// float of their exact value gives back as v ("4.1887903" for 4/3 pi).
void appendShortest(std::string& out, float v);

// v as printf's %.*f writes it: rounded to the nearest with `decimals` places
// after the point (0 to 30), ties by the exact binary value.
std::string fixedText(double v, int decimals);

// What readDecimal made of a text.
enum class DecimalRead {
    ok,          // value holds the nearest double (a signed zero when it is
                 // too small for the smallest subnormal)
    outOfRange,  // too large for a double (value untouched)
    invalid,     // not a whole decimal number (value untouched)
};

// Reads the whole of [first, last) as a JSON number (an optional '-', an
// integer part without leading zeros, an optional '.' with digits, an
// optional exponent such as "e-7" or "E+22") and rounds it to the nearest
// double, ties to even.
DecimalRead readDecimal(const char* first, const char* last, double& value);

}  // namespace prallwerk
