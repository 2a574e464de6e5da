#pragma once

#include <cmath>

// Every rounding of the engine is part of its results, in its own sources and
// in the inline code of its headers alike. Options that let the compiler
// round otherwise are refused where the compiler says it was given them.
#if defined(__FAST_MATH__) || (defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__)
#error "Prallwerk: -ffast-math, -Ofast and -ffinite-math-only change the engine's results; compile without them"
#endif
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0 && __FLT_EVAL_METHOD__ != -1
#error "Prallwerk: doubles would be rounded in the x87 unit's wider registers; compile with -msse2 -mfpmath=sse"
#endif

namespace prallwerk {

// The one vector type of the engine: positions, velocities, forces, angle
// triples, spin rates, corner offsets and directions. Double precision, world
// axes right-handed with z up.
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    Vec3() = default;
    constexpr Vec3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

    double length() const { return std::sqrt(x * x + y * y + z * z); }

    // Unit-length copy. Only an exact zero length is special: the zero vector
    // comes back unchanged. The reciprocal is formed once and multiplied in.
    Vec3 normalized() const {
        const double len = length();
        if (len == 0.0) return *this;
        const double r = 1.0 / len;
        return {x * r, y * r, z * r};
    }

    // Scales this vector to unit length in place; the zero vector stays zero.
    void normalize() { *this = normalized(); }

    // Sets this vector to a x b and returns a copy; the old value is not used.
    Vec3 cross(const Vec3& a, const Vec3& b) {
        *this = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
        return *this;
    }

    // (s*x, s*y, s*z) for a single-precision factor.
    Vec3 scaled(float s) const {
        const double d = s;
        return {d * x, d * y, d * z};
    }

    void add(double dx, double dy, double dz) {
        x += dx;
        y += dy;
        z += dz;
    }

    Vec3 plus(double dx, double dy, double dz) const { return {x + dx, y + dy, z + dz}; }

    Vec3 negated() const { return {-x, -y, -z}; }
};

// Component-wise arithmetic, written out once so that the engine's formulas
// read like the maths. Every operation rounds each component once.
inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(double s, const Vec3& v) { return {s * v.x, s * v.y, s * v.z}; }
inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Whether every component is zero, of either sign. Bodies at rest hold exact
// zeros, so this tells them apart without a square root.
inline bool isZero(const Vec3& v) { return v.x == 0.0 && v.y == 0.0 && v.z == 0.0; }

}  // namespace prallwerk
