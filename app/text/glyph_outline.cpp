#include "app/text/glyph_outline.h"

#include <algorithm>
#include <cmath>

namespace {

// Unicode characters of the Windows-1252 codes 0x80..0x9F; 0 marks the
// unassigned ones. Every other code is its own Unicode character.
constexpr char32_t windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88..8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98..9F
};

// Upper bound on the pieces of one curve: a guard against a zero or absurdly
// small tolerance, far above what any sensible tolerance asks for.
constexpr int maxCurveSteps = 1024;

// Number of equal parameter steps that keep a curve within tolerance of its
// chords. On a step of parameter length h the distance between a curve and
// its chord is at most |B''| h^2 / 8, so n steps suffice when
// secondDerivativeBound / (8 n^2) <= tolerance.
int curveSteps(double secondDerivativeBound, double tolerance) {
    if (!(tolerance > 0.0)) return maxCurveSteps;
    const double steps = std::ceil(std::sqrt(secondDerivativeBound / (8.0 * tolerance)));
    return static_cast<int>(std::clamp(steps, 1.0, static_cast<double>(maxCurveSteps)));
}

double length(double x, double y) { return std::hypot(x, y); }

// Advances are rounded to 2^-advanceGridBits em (see roundAdvance).
constexpr int advanceGridBits = 16;

}  // namespace

std::optional<char32_t> windows1252ToUnicode(unsigned char code) {
    if (code < 0x80 || code > 0x9F) return code;
    const char32_t mapped = windows1252High[code - 0x80];
    if (mapped == 0) return std::nullopt;
    return mapped;
}

void flattenQuadratic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2,
                      double tolerance, Contour& out) {
    // B''(t) = 2 (p0 - 2 p1 + p2), constant along the curve.
    const double bound = 2.0 * length(p0.x - 2.0 * p1.x + p2.x, p0.y - 2.0 * p1.y + p2.y);
    const int steps = curveSteps(bound, tolerance);
    for (int i = 1; i < steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double s = 1.0 - t;
        const double a = s * s, b = 2.0 * s * t, c = t * t;
        out.push_back({a * p0.x + b * p1.x + c * p2.x, a * p0.y + b * p1.y + c * p2.y});
    }
    out.push_back(p2);
}

void flattenCubic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2,
                  const OutlinePoint& p3, double tolerance, Contour& out) {
    // B''(t) = 6 ((1 - t) (p0 - 2 p1 + p2) + t (p1 - 2 p2 + p3)), largest at
    // an end of the curve.
    const double bound =
        6.0 * std::max(length(p0.x - 2.0 * p1.x + p2.x, p0.y - 2.0 * p1.y + p2.y),
                       length(p1.x - 2.0 * p2.x + p3.x, p1.y - 2.0 * p2.y + p3.y));
    const int steps = curveSteps(bound, tolerance);
    for (int i = 1; i < steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double s = 1.0 - t;
        const double a = s * s * s, b = 3.0 * s * s * t, c = 3.0 * s * t * t, d = t * t * t;
        out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                       a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
    out.push_back(p3);
}

void tidyContours(std::vector<Contour>& contours) {
    for (Contour& c : contours) {
        const auto same = [](const OutlinePoint& a, const OutlinePoint& b) {
            return a.x == b.x && a.y == b.y;
        };
        c.erase(std::unique(c.begin(), c.end(), same), c.end());
        while (c.size() > 1 && same(c.front(), c.back())) c.pop_back();
    }
    contours.erase(std::remove_if(contours.begin(), contours.end(),
                                  [](const Contour& c) { return c.size() < 3; }),
                   contours.end());
}

float roundAdvance(double advance) {
    return static_cast<float>(std::ldexp(std::round(std::ldexp(advance, advanceGridBits)), -advanceGridBits));
}
