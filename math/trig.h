#pragma once

namespace prallwerk {

// The engine's own sine and cosine. The C libraries disagree in the last bit,
// and one last bit grows into metres in a chaotic scene, so the engine rounds
// them itself: every result is the exact sine or cosine rounded to the nearest
// double, the same bits on every platform and compiler. Only integer
// arithmetic decides the bits.

struct SinCos {
    double sin = 0.0;
    double cos = 1.0;
};

// sin x and cos x (x in radians), each correctly rounded to nearest. Any
// finite x, however large, is reduced exactly; infinities and NaN give NaN.
// sinCos(-x) is (-sin, cos) of sinCos(x), bit for bit.
SinCos sinCos(double x);

// The halves of sinCos on their own.
double sine(double x);
double cosine(double x);

// The stages of sinCos, open for tests and measurements. Each returns false,
// and leaves out unspecified, when its error bound does not decide the
// rounding of both results; sinCos asks the next stage for the open ones.
// x must be finite.
namespace trig {

// First: the leading terms in 128-bit, the small ones in 64-bit fixed point;
// error bound 2^-67, which decides nearly every result.
bool quickSinCos(double x, SinCos& out);

// Second: everything in 128-bit fixed point; error bound 2^-121.
bool fixedSinCos(double x, SinCos& out);

// Last: 384 bits (1280 if ever needed); decides every rounding.
SinCos exactSinCos(double x);

}  // namespace trig

}  // namespace prallwerk
