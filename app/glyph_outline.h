#pragma once

// Glyph outlines from the platform's fonts, as flat polylines in em units.
// No GL here: the mesh builder and the display lists take it from these.

#include <memory>
#include <optional>
#include <string>
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

// The flattened outline of one glyph.
struct GlyphOutline {
    std::vector<Contour> contours;  // filled by the nonzero winding rule
    float advance = 0.0f;           // em units the pen moves along +x after the glyph
};

// The Unicode character that Windows-1252 assigns to a byte. Codes 0x81,
// 0x8D, 0x8F, 0x90 and 0x9D are unassigned and give no character.
std::optional<char32_t> windows1252ToUnicode(unsigned char code);

// Where a face lives: a font file, and the face's number inside it (font
// collections hold several).
struct FaceLocation {
    std::string path;  // empty: no face
    int index = 0;
};

// The HUD's face: Liberation Sans where it is installed, otherwise the face
// that fontconfig chooses for the generic family "sans-serif"; normal weight,
// upright and scalable. An empty path when fontconfig finds none.
FaceLocation findDefaultSansFace();

// Appends the polyline of the quadratic Bézier p0-p1-p2 to out, without p0
// and ending with p2, in as few equal parameter steps as keep every point of
// the curve within tolerance of the polyline.
void flattenQuadratic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2,
                      double tolerance, Contour& out);

// Same for the cubic Bézier p0-p1-p2-p3.
void flattenCubic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2,
                  const OutlinePoint& p3, double tolerance, Contour& out);

// An open font file, read glyph by glyph. Not copyable; closes the file
// when it goes.
class OutlineFace {
public:
    OutlineFace();
    ~OutlineFace();
    OutlineFace(const OutlineFace&) = delete;
    OutlineFace& operator=(const OutlineFace&) = delete;

    // Opens the face at location, closing any face open before. Returns
    // false, leaving no face open, when it cannot be read as a scalable font.
    bool open(const FaceLocation& location);

    bool isOpen() const;

    // The outline of the glyph for a Unicode character, its curves flattened
    // so that no point of them is further than tolerance (em units) from the
    // polylines. A character the face has no glyph for, or any failure,
    // gives no contours and zero advance.
    GlyphOutline loadGlyph(char32_t character, double tolerance) const;

private:
    struct Handles;
    std::unique_ptr<Handles> handles;
};
