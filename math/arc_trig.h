#pragma once

namespace prallwerk {

// The engine's own arc tangent and arc sine, for the angles that the
// physical rules read off an orientation (anglesOf). Built from + - * / and
// the square root alone in one fixed order, so that every platform and
// compiler gives the same bits (the C libraries' differ in the last bit);
// within a few units in the last place of the exact value.

// The angle of the point (x, y) from the x axis, within [-pi, pi], with the
// signs and special cases of atan2 (atan2(+-0, -0) is +-pi, NaN gives NaN).
double arcTangent2(double y, double x);

// arcsin x within [-pi/2, pi/2]; x outside [-1, 1] is taken as +-1, NaN
// gives NaN.
double arcSine(double x);

}  // namespace prallwerk
