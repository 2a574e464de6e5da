#pragma once

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

// The two stages of sinCos, open for tests and measurements.
namespace trig {

// The fast stage: 128-bit fixed-point evaluation with a proven error bound.
// Returns false, and leaves out unspecified, when that bound does not decide
// the rounding of both results; sinCos then asks exactSinCos. x must be
// finite.
bool fastSinCos(double x, SinCos& out);

// The slow stage: evaluation with 384 bits (1280 if ever needed) that decides
// every rounding. x must be finite.
SinCos exactSinCos(double x);

}  // namespace trig
