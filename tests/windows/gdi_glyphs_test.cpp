// GDI's outlines of the HUD's face, as the Windows program gets
// them, run through the same pipeline as FreeType's on Linux.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/platform/win32/gdi_glyphs.h"
#include "app/text/glyph_fill.h"
#include "app/text/glyph_mesh.h"
#include "app/text/glyph_outline.h"
#include "app/text/outline_font.h"

namespace {

// Area enclosed by the contours, counter-clockwise positive.
double signedArea(const std::vector<Contour>& contours) {
    double area = 0.0;
    for (const Contour& c : contours) {
        for (std::size_t i = 0; i < c.size(); ++i) {
            const OutlinePoint& a = c[i];
            const OutlinePoint& b = c[(i + 1) % c.size()];
            area += a.x * b.y - b.x * a.y;
        }
    }
    return area / 2.0;
}

double frontArea(const GlyphMesh& mesh) {
    double area = 0.0;
    for (const MeshTriangle& t : mesh.triangles) {
        if (t.normal.z != 1.0f) continue;
        const MeshPoint& a = t.corners[0];
        const MeshPoint& b = t.corners[1];
        const MeshPoint& c = t.corners[2];
        area += ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2.0;
    }
    return area;
}

class GdiGlyphs : public testing::Test {
protected:
    std::unique_ptr<GlyphSource> source = openGdiDefaultFace();
    GlyphOutline glyph(char32_t c) const { return source->loadGlyph(c, glyphFlatness); }
};

TEST_F(GdiGlyphs, LettersComeInEmUnitsWithTheirHoles) {
    const GlyphOutline o = glyph(U'o');
    ASSERT_EQ(o.contours.size(), 2u) << "no outline from GetGlyphOutline: is a TrueType face installed?";
    // The outer contour and the hole wind opposite ways.
    EXPECT_LT(signedArea({o.contours[0]}) * signedArea({o.contours[1]}), 0.0);
    for (const Contour& c : o.contours) {
        for (const OutlinePoint& p : c) {
            EXPECT_GT(p.x, -0.1);
            EXPECT_LT(p.x, 1.0);
            EXPECT_GT(p.y, -0.1);  // on the baseline, below the x-height
            EXPECT_LT(p.y, 0.7);
        }
    }
    EXPECT_GT(o.advance, 0.4f);
    EXPECT_LT(o.advance, 0.7f);
    // Letters with a descender reach below the baseline.
    double lowest = 0.0;
    for (const Contour& c : glyph(U'g').contours) {
        for (const OutlinePoint& p : c) lowest = std::min(lowest, p.y);
    }
    EXPECT_LT(lowest, -0.1);
}

TEST_F(GdiGlyphs, AdvancesDifferByLetterAndSitOnTheGrid) {
    EXPECT_LT(glyph(U'i').advance, glyph(U'W').advance);
    const GlyphOutline space = glyph(U' ');
    EXPECT_TRUE(space.contours.empty());
    EXPECT_GT(space.advance, 0.0f);
    for (const char32_t c : {U'0', U'5', U'.', U'('}) {
        const float advance = glyph(c).advance;
        EXPECT_EQ(advance, std::ldexp(std::round(std::ldexp(advance, 16)), -16));
    }
    // The HUD's table lines its numbers up: all digits are equally wide.
    EXPECT_EQ(glyph(U'1').advance, glyph(U'8').advance);
}

TEST_F(GdiGlyphs, UmlautAndCurvesBecomeSolidLetters) {
    const GlyphOutline a = glyph(U'a');
    const GlyphOutline umlaut = glyph(U'\u00E4');
    EXPECT_EQ(umlaut.contours.size(), a.contours.size() + 2) << "ä is a with two dots";
    for (const char32_t c : {U'A', U'S', U'\u00E4'}) {
        SCOPED_TRACE(static_cast<int>(c));
        const GlyphOutline outline = glyph(c);
        const GlyphMesh mesh = buildGlyphMesh(outline.contours);
        ASSERT_FALSE(mesh.triangles.empty());
        EXPECT_NEAR(frontArea(mesh), std::abs(signedArea(outline.contours)), 1e-6);
    }
    // Curves are flattened to the tolerance asked for: finer asks more points.
    std::size_t coarse = 0, fine = 0;
    for (const Contour& c : source->loadGlyph(U'S', 0.02).contours) coarse += c.size();
    for (const Contour& c : source->loadGlyph(U'S', 0.002).contours) fine += c.size();
    EXPECT_GT(fine, coarse + 10);
}

TEST_F(GdiGlyphs, CharactersTheFaceLacksDrawNothing) {
    const GlyphOutline missing = glyph(U'\uE000');  // private use: in no text face
    EXPECT_TRUE(missing.contours.empty());
    EXPECT_EQ(missing.advance, 0.0f);
}

// The HUD's face has outlines whatever is installed: Arial or what GDI gives
// in its place (Liberation Sans under Wine), or else some TrueType face; and
// it says which, so that a substitute is never silent.
TEST(GdiFace, IsOneWithOutlinesUnderItsOwnName) {
    const HDC deviceContext = CreateCompatibleDC(nullptr);
    for (const char* asked : {"Arial", "No Such Face In Any System"}) {
        SCOPED_TRACE(asked);
        const OutlineFace face = chooseOutlineFace(deviceContext, asked);
        EXPECT_GT(face.emSquare, 0);
        EXPECT_NE(face.name, "No Such Face In Any System");
        const OutlineFace again = chooseOutlineFace(deviceContext, face.name.c_str());
        EXPECT_EQ(again.name, face.name);
        EXPECT_EQ(again.emSquare, face.emSquare);
    }
    DeleteDC(deviceContext);
}

}  // namespace
