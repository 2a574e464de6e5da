#include "app/text/glyph_outline.h"
#include "app/platform/sdl/freetype_glyphs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

double distanceToSegment(const OutlinePoint& p, const OutlinePoint& a, const OutlinePoint& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Largest distance from dense samples of curve(t) to the polyline.
template <typename Curve>
double worstDeviation(const Contour& line, Curve curve) {
    double worst = 0.0;
    for (int i = 0; i <= 400; ++i) {
        const OutlinePoint p = curve(i / 400.0);
        double nearest = INFINITY;
        for (std::size_t k = 0; k + 1 < line.size(); ++k) {
            nearest = std::min(nearest, distanceToSegment(p, line[k], line[k + 1]));
        }
        worst = std::max(worst, nearest);
    }
    return worst;
}

}  // namespace

TEST(Windows1252, MapsTheHighControlRangeAndPassesTheRestThrough) {
    EXPECT_EQ(windows1252ToUnicode(0x80), char32_t{0x20AC});  // euro sign
    EXPECT_EQ(windows1252ToUnicode(0x99), char32_t{0x2122});
    EXPECT_EQ(windows1252ToUnicode(0x9F), char32_t{0x0178});
    EXPECT_EQ(windows1252ToUnicode(0xE4), char32_t{0x00E4});  // ä
    EXPECT_EQ(windows1252ToUnicode('A'), char32_t{'A'});
    EXPECT_EQ(windows1252ToUnicode(0xFF), char32_t{0x00FF});
    for (const unsigned char unassigned : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_FALSE(windows1252ToUnicode(unassigned).has_value()) << int(unassigned);
    }
}

TEST(Flattening, StaysWithinToleranceOfRandomCurvesAndEndsOnTheirEndPoints) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
    const auto point = [&] { return OutlinePoint{coordinate(random), coordinate(random)}; };
    for (const double tolerance : {0.001, 0.02}) {
        for (int trial = 0; trial < 50; ++trial) {
            const OutlinePoint a = point(), b = point(), c = point(), d = point();
            Contour quadratic{a}, cubic{a};
            flattenQuadratic(a, b, c, tolerance, quadratic);
            flattenCubic(a, b, c, d, tolerance, cubic);
            EXPECT_TRUE(quadratic.back().x == c.x && quadratic.back().y == c.y);
            EXPECT_TRUE(cubic.back().x == d.x && cubic.back().y == d.y);
            // Equal steps along a curve that bends: no point twice.
            for (const Contour* line : {&quadratic, &cubic}) {
                for (std::size_t k = 1; k < line->size(); ++k) {
                    EXPECT_FALSE((*line)[k].x == (*line)[k - 1].x && (*line)[k].y == (*line)[k - 1].y) << k;
                }
            }
            EXPECT_LE(worstDeviation(quadratic, [&](double t) {
                          const double s = 1 - t;
                          return OutlinePoint{s * s * a.x + 2 * s * t * b.x + t * t * c.x,
                                              s * s * a.y + 2 * s * t * b.y + t * t * c.y};
                      }), tolerance);
            EXPECT_LE(worstDeviation(cubic, [&](double t) {
                          const double s = 1 - t, wa = s * s * s, wb = 3 * s * s * t, wc = 3 * s * t * t,
                                       wd = t * t * t;
                          return OutlinePoint{wa * a.x + wb * b.x + wc * c.x + wd * d.x,
                                              wa * a.y + wb * b.y + wc * c.y + wd * d.y};
                      }), tolerance);
        }
    }
    // A curve that is straight needs no more than its chord; a tolerance
    // of zero or below, which no number of pieces could meet, gets the
    // most pieces, 1024.
    const struct {
        double tolerance;
        std::size_t points;
    } rows[] = {{0.001, 1}, {0.0, 1024}, {-1.0, 1024}};
    for (const auto& row : rows) {
        Contour straight;
        flattenQuadratic({0, 0}, {0.5, 0.5}, {1, 1}, row.tolerance, straight);
        EXPECT_EQ(straight.size(), row.points) << row.tolerance;
        Contour cubic;
        flattenCubic({0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}, row.tolerance, cubic);
        EXPECT_EQ(cubic.size(), row.points) << row.tolerance;
    }
}

// Repeated points go, a closing copy of the first point too, and so do
// contours left with fewer than three points.
TEST(TidyContours, DropsRepeatsClosingCopiesAndContoursTooThin) {
    const OutlinePoint a{0, 0}, b{1, 0}, c{1, 1}, d{0, 1};
    std::vector<Contour> contours = {
        {a, b, b, c, d},     // a repeat
        {a, b, c, d, a, a},  // the first point again at the end, twice
        {a, a, a},           // one point
        {a, b, a},           // a line there and back
        {b, c, d},
    };
    tidyContours(contours);
    ASSERT_EQ(contours.size(), 3u);
    const auto same = [](const Contour& x, const Contour& y) {
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x[i].x != y[i].x || x[i].y != y[i].y) return false;
        }
        return true;
    };
    EXPECT_TRUE(same(contours[0], {a, b, c, d}));
    EXPECT_TRUE(same(contours[1], {a, b, c, d}));
    EXPECT_TRUE(same(contours[2], {b, c, d}));
}

TEST(DefaultFace, GivesOutlinesInEmUnitsAndAdvancesOnTheirGrid) {
    OutlineFace face;
    ASSERT_TRUE(face.open(findDefaultSansFace())) << "fontconfig found no readable sans-serif face";
    const GlyphOutline h = face.loadGlyph('H', 0.01);
    ASSERT_FALSE(h.contours.empty());
    double top = -INFINITY, bottom = INFINITY, left = INFINITY, right = -INFINITY;
    for (const Contour& c : h.contours) {
        for (const OutlinePoint& p : c) {
            top = std::max(top, p.y), bottom = std::min(bottom, p.y);
            left = std::min(left, p.x), right = std::max(right, p.x);
        }
    }
    // A capital stands on the baseline, reaches well over half the em and
    // fits between the pen positions before and after it.
    EXPECT_EQ(bottom, 0.0);
    EXPECT_GT(top, 0.6);
    EXPECT_LT(top, 0.9);
    EXPECT_GT(left, 0.0);
    EXPECT_LT(right, h.advance);
    const double scaled = std::ldexp(static_cast<double>(h.advance), 16);
    EXPECT_EQ(scaled, std::round(scaled));

    const GlyphOutline space = face.loadGlyph(' ', 0.01);
    EXPECT_TRUE(space.contours.empty());
    EXPECT_GT(space.advance, 0.0f);
    const GlyphOutline missing = face.loadGlyph(0xF8FF0, 0.01);  // private use: no glyph
    EXPECT_TRUE(missing.contours.empty());
    EXPECT_EQ(missing.advance, 0.0f);
}
