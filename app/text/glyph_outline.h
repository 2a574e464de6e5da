#pragma once

// Glyph outlines from the platform's fonts, as flat polylines in em units.
// No GL here: the mesh builder and the display lists take it from these.
// Each platform has its own source of outlines (FreeType on Linux, GDI on
// Windows); both flatten their curves with the functions below, so the
// letters come out the same way whichever one drew them.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// A point of an outline in em units: the em square is 1.0 wide, the
// baseline origin is (0, 0), y points up.
struct OutlinePoint {
    double x = 0.0;
    double y = 0.0;
};

// One closed contour; the closing edge from the last point back to the first
// is implied, so the first point is not repeated at the end.
using Contour = std::vector<OutlinePoint>;

// The region a glyph's contours fill, as triangles in the plane of the
// outline. A corner is a number: first the points of the contours, counted
// in order through each contour, then extraPoints, the points where crossing
// contours meet. The corners of a triangle may run either way round.
struct GlyphFill {
    std::vector<OutlinePoint> extraPoints;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

// The flattened outline of one glyph, with the region it fills.
struct GlyphOutline {
    std::vector<Contour> contours;  // filled by the nonzero winding rule
    GlyphFill fill;                 // empty when nothing is filled
    float advance = 0.0f;           // em units the pen moves along +x after the glyph
};

// The Unicode character that Windows-1252 assigns to a byte. Codes 0x81,
// 0x8D, 0x8F, 0x90 and 0x9D are unassigned and give no character.
std::optional<char32_t> windows1252ToUnicode(unsigned char code);

// Appends the polyline of the quadratic Bézier p0-p1-p2 to out, without p0
// and ending with p2, in as few equal parameter steps as keep every point of
// the curve within tolerance of the polyline.
void flattenQuadratic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2,
                      double tolerance, Contour& out);

// Same for the cubic Bézier p0-p1-p2-p3.
void flattenCubic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2,
                  const OutlinePoint& p3, double tolerance, Contour& out);

// Rounds an advance in em units to the grid of 2^-16 em, so that the pen
// positions of a text, sums of advances and of HUD coordinates such as -6.5,
// are exact in single precision and a text's closing translation lands the
// modelview matrix back on exactly where it was. The rounding is far below a
// pixel.
float roundAdvance(double advance);

// A source of glyph outlines: one face of one font.
class GlyphSource {
public:
    virtual ~GlyphSource() = default;

    // The outline of the glyph for a Unicode character, its curves flattened
    // so that no point of them is further than tolerance (em units) from the
    // polylines, and its fill. A character the face has no glyph for, or any
    // failure, gives no contours, no fill and zero advance.
    virtual GlyphOutline loadGlyph(char32_t character, double tolerance) const = 0;
};

// The HUD's face is the platform's (Platform::openGlyphSource): the text
// itself depends on no platform.

// Drops repeated points, including a closing copy of the first point, and
// contours too thin to enclose anything: both would only give the
// tessellator and the side walls zero-length edges.
void tidyContours(std::vector<Contour>& contours);
