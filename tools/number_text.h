#pragma once

#include <string>

// Decimal text of the engine's numbers, the same characters on every platform.
// The digits come from {fmt}'s own conversion (exact integer arithmetic), never
// from a C library: printf may round the last digits its own way, and not
// every C++ library has a floating-point std::to_chars.

// Appends v as printf's %.17g writes it: 17 significant digits, which tell
// every double apart; fixed notation when the decimal exponent (after
// rounding) lies in [-4, 17), exponent notation with at least two exponent
// digits otherwise; trailing zeros and a trailing point removed; "-0" for
// negative zero, "inf" and "nan" with their sign.
void appendSignificant17(std::string& out, double v);

// v as printf's %.*f writes it: rounded to the nearest with `decimals` places
// after the point (0 to 30), ties by the exact binary value.
std::string fixedText(double v, int decimals);
