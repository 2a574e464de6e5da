#include "app/text/glyph_fill.h"
#include "app/platform/sdl/freetype_glyphs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

Contour rectangle(double x0, double y0, double x1, double y1, bool clockwise) {
    Contour c{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    if (clockwise) std::reverse(c.begin(), c.end());
    return c;
}

std::vector<Contour> reversed(std::vector<Contour> contours) {
    for (Contour& c : contours) std::reverse(c.begin(), c.end());
    return contours;
}

// z component of (b - a) x (c - a), twice the area seen from +z.
double crossZ(const MeshPoint& a, const MeshPoint& b, const MeshPoint& c) {
    return static_cast<double>(b.x - a.x) * (c.y - a.y) - static_cast<double>(b.y - a.y) * (c.x - a.x);
}

bool isFront(const MeshTriangle& t) { return t.normal.z == 1.0f; }
bool isBack(const MeshTriangle& t) { return t.normal.z == -1.0f; }
bool isWall(const MeshTriangle& t) { return t.normal.z == 0.0f; }

double faceArea(const GlyphMesh& mesh, bool (*which)(const MeshTriangle&)) {
    double area = 0.0;
    for (const MeshTriangle& t : mesh.triangles) {
        if (which(t)) area += std::abs(crossZ(t.corners[0], t.corners[1], t.corners[2])) / 2.0;
    }
    return area;
}

// Whether the front face covers the point (x, y).
bool covers(const GlyphMesh& mesh, double x, double y) {
    const MeshPoint p{static_cast<float>(x), static_cast<float>(y), 0.0f};
    for (const MeshTriangle& t : mesh.triangles) {
        if (!isFront(t)) continue;
        const double a = crossZ(t.corners[0], t.corners[1], p);
        const double b = crossZ(t.corners[1], t.corners[2], p);
        const double c = crossZ(t.corners[2], t.corners[0], p);
        if (a >= 0 && b >= 0 && c >= 0) return true;
    }
    return false;
}

// Signed area of the contours together: positive when they wind
// counter-clockwise on balance.
double signedArea(const std::vector<Contour>& contours) {
    double sum = 0.0;
    for (const Contour& c : contours) {
        for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
            sum += c[j].x * c[i].y - c[i].x * c[j].y;
        }
    }
    return sum / 2.0;
}

// Checks what every mesh owes its users: unit normals, corners that run
// counter-clockwise seen along the normal, faces in their planes, walls that
// span the depth and face out of the letter, and as much back as front.
void expectSolid(const GlyphMesh& mesh, float depth) {
    std::size_t front = 0, back = 0;
    for (const MeshTriangle& t : mesh.triangles) {
        const MeshPoint& a = t.corners[0];
        const MeshPoint& b = t.corners[1];
        const MeshPoint& c = t.corners[2];
        const double n = std::hypot(t.normal.x, t.normal.y, t.normal.z);
        ASSERT_NEAR(n, 1.0, 1e-6);
        const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
        const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        const double facing = (uy * vz - uz * vy) * t.normal.x + (uz * vx - ux * vz) * t.normal.y +
                              (ux * vy - uy * vx) * t.normal.z;
        ASSERT_GT(facing, 0.0);
        if (isFront(t)) {
            ++front;
            for (const MeshPoint& p : t.corners) ASSERT_EQ(p.z, 0.0f);
        } else if (isBack(t)) {
            ++back;
            for (const MeshPoint& p : t.corners) ASSERT_EQ(p.z, -depth);
        } else {
            ASSERT_TRUE(isWall(t));
            const float zMin = std::min({a.z, b.z, c.z}), zMax = std::max({a.z, b.z, c.z});
            ASSERT_EQ(zMax, 0.0f);
            ASSERT_EQ(zMin, -depth);
            // A step along the normal leaves the letter, a step against it
            // enters it.
            const double mx = (a.x + b.x + c.x) / 3.0, my = (a.y + b.y + c.y) / 3.0;
            const double step = 1e-4;
            ASSERT_FALSE(covers(mesh, mx + step * t.normal.x, my + step * t.normal.y));
            ASSERT_TRUE(covers(mesh, mx - step * t.normal.x, my - step * t.normal.y));
        }
    }
    EXPECT_GT(front, 0u);
    EXPECT_EQ(front, back);
    EXPECT_NEAR(faceArea(mesh, isBack), faceArea(mesh, isFront), 1e-9);
}

}  // namespace

TEST(GlyphMesh, ASquareWithAHoleBecomesASolidRingWhicheverWayItWinds) {
    // TrueType winds outlines clockwise and holes the other way; PostScript
    // fonts the opposite.
    const std::vector<Contour> trueType = {rectangle(0, 0, 1, 1, true),
                                           rectangle(0.25, 0.25, 0.75, 0.75, false)};
    for (const auto& contours : {trueType, reversed(trueType)}) {
        const GlyphMesh mesh = buildGlyphMesh(contours, 0.1f);
        expectSolid(mesh, 0.1f);
        EXPECT_NEAR(faceArea(mesh, isFront), 0.75, 1e-12);
        EXPECT_FALSE(covers(mesh, 0.5, 0.5));
        EXPECT_TRUE(covers(mesh, 0.1, 0.5));
        const auto walls = std::count_if(mesh.triangles.begin(), mesh.triangles.end(), isWall);
        EXPECT_EQ(walls, 2 * 8);  // two per edge
    }
}

TEST(GlyphMesh, OverlappingStrokesFillTheirUnion) {
    // Both wound the same way, as two strokes of one letter would be. An
    // even-odd fill would leave the overlap empty.
    const GlyphMesh mesh = buildGlyphMesh({rectangle(0, 0, 2, 1, true), rectangle(1, 0, 3, 1, true)});
    EXPECT_NEAR(faceArea(mesh, isFront), 3.0, 1e-12);
    EXPECT_TRUE(covers(mesh, 1.5, 0.5));

    EXPECT_TRUE(buildGlyphMesh({}).triangles.empty());
}

// Contours stand anywhere in the em square and start at any corner: the
// walls face out of a square away from the origin, and of a triangle,
// whichever corner they start at and whichever way they run.
TEST(GlyphMesh, WallsFaceOutWhereverTheContourStartsAndStands) {
    const Contour shapes[] = {rectangle(10, 0, 11, 1, false), {{0, 0}, {1, 0}, {0.5, 1}}};
    for (const Contour& shape : shapes) {
        for (const bool clockwise : {false, true}) {
            for (std::size_t start = 0; start < shape.size(); ++start) {
                Contour c(shape.begin() + static_cast<std::ptrdiff_t>(start), shape.end());
                c.insert(c.end(), shape.begin(), shape.begin() + static_cast<std::ptrdiff_t>(start));
                if (clockwise) std::reverse(c.begin(), c.end());
                SCOPED_TRACE(std::to_string(shape.size()) + " corners from " + std::to_string(start) +
                             (clockwise ? ", clockwise" : ""));
                expectSolid(buildGlyphMesh({c}, 0.1f), 0.1f);
            }
        }
    }
}

TEST(GlyphMesh, CrossingStrokesAreFilledThroughThePointsWhereTheyCross) {
    // A plus sign: the tessellator adds the four points where the bars'
    // edges cross, and the fill's triangles use them.
    const std::vector<Contour> plus = {rectangle(0, 1, 3, 2, false), rectangle(1, 0, 2, 3, false)};
    const GlyphFill fill = fillContours(plus);
    EXPECT_EQ(fill.extraPoints.size(), 4u);
    const GlyphMesh mesh = extrudeGlyph(plus, fill, 0.1f);
    EXPECT_NEAR(faceArea(mesh, isFront), 5.0, 1e-12);
    EXPECT_TRUE(covers(mesh, 1.5, 1.5));
    EXPECT_TRUE(covers(mesh, 0.5, 1.5));
    EXPECT_FALSE(covers(mesh, 0.5, 0.5));
}

// Walls stand only where there is a face between them: contours without a
// fill (the tessellator gave up), or a fill naming a point that the contours
// and the extra points do not have, give no mesh at all.
TEST(GlyphMesh, NoFillOrABrokenOneGivesNoMesh) {
    const std::vector<Contour> square = {rectangle(0, 0, 1, 1, false)};
    EXPECT_TRUE(extrudeGlyph(square, GlyphFill{}).triangles.empty());
    GlyphFill beyond = fillContours(square);
    ASSERT_FALSE(beyond.triangles.empty());
    EXPECT_FALSE(extrudeGlyph(square, beyond).triangles.empty());
    beyond.triangles.back()[2] = 4;  // one past the square's corners
    EXPECT_TRUE(extrudeGlyph(square, beyond).triangles.empty());
    beyond.extraPoints.push_back({0.5, 0.5});
    EXPECT_FALSE(extrudeGlyph(square, beyond).triangles.empty()) << "point 4 is the extra point now";
}

TEST(GlyphMesh, LettersOfTheDefaultFaceAreSolidWithTheirHolesOpen) {
    OutlineFace face;
    ASSERT_TRUE(face.open(findDefaultSansFace()));
    for (const char32_t letter : {U'o', U'A', U'8', U'\u00E4'}) {
        SCOPED_TRACE(static_cast<int>(letter));
        const GlyphOutline outline = face.loadGlyph(letter, 0.01);
        const GlyphMesh mesh = buildGlyphMesh(outline.contours);
        expectSolid(mesh, glyphDepth);
        // Filled area = outline less holes, as the contours' windings add up.
        EXPECT_NEAR(faceArea(mesh, isFront), std::abs(signedArea(outline.contours)), 1e-6);
        for (const MeshTriangle& t : mesh.triangles) {
            for (const MeshPoint& p : t.corners) {
                ASSERT_TRUE(p.x > -0.05f && p.x < outline.advance + 0.05f) << p.x;
            }
        }
    }
    // The middle of the o is its hole.
    const GlyphMesh o = buildGlyphMesh(face.loadGlyph('o', 0.01).contours);
    float left = INFINITY, right = -INFINITY, top = -INFINITY;
    for (const MeshTriangle& t : o.triangles) {
        for (const MeshPoint& p : t.corners) {
            left = std::min(left, p.x), right = std::max(right, p.x), top = std::max(top, p.y);
        }
    }
    EXPECT_FALSE(covers(o, (left + right) / 2, top / 2));
    EXPECT_TRUE(covers(o, left + 0.02, top / 2));
}
