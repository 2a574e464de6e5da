#include "app/text/outline_font.h"

#include "app/platform/sdl/freetype_glyphs.h"
#include "app/text/glyph_fill.h"

#include <GL/osmesa.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

// Eye space from -64 to 64 in x and y maps onto a 128-pixel square, so a
// window coordinate is the eye coordinate plus 64, exactly.
constexpr int viewSide = 128;
constexpr float viewHalf = 64.0f;

using Matrix = std::array<GLfloat, 16>;

Matrix modelview() {
    Matrix m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

Matrix identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

// What a drawing sends down the pipeline, from GL's feedback mode.
struct Feedback {
    std::vector<std::array<GLfloat, 3>> points;  // window coordinates
    int polygons = 0;
    bool overflowed = false;
};

template <typename Draw>
Feedback feedbackOf(Draw draw) {
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint size = glRenderMode(GL_RENDER);
    Feedback result;
    if (size < 0) {
        result.overflowed = true;
        return result;
    }
    for (GLint i = 0; i < size;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POINT_TOKEN) {
            result.points.push_back({buffer[i], buffer[i + 1], buffer[i + 2]});
            i += 3;
        } else if (token == GL_POLYGON_TOKEN) {
            ++result.polygons;
            i += 1 + 3 * static_cast<GLint>(buffer[i]);
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return result;
}

class OutlineFont : public testing::Test {
protected:
    static void SetUpTestSuite() {
        context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
        ASSERT_NE(context, nullptr);
        ASSERT_TRUE(OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, viewSide, viewSide));
    }
    static void TearDownTestSuite() {
        OSMesaDestroyContext(context);
        context = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(context, nullptr);
        glViewport(0, 0, viewSide, viewSide);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-viewHalf, viewHalf, -viewHalf, viewHalf, -100.0, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        buildFontFrom(*openFreetypeDefaultFace());
        ASSERT_NE(fontListBase, 0u);
    }
    void TearDown() override { deleteFont(); }

    // Turns the empty list of code 255 into a point at the pen position, so
    // that feedback shows where the pen is when that code comes in a text.
    static void useMarker() {
        glNewList(fontListBase + 255, GL_COMPILE);
        glBegin(GL_POINTS);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glEnd();
        glEndList();
    }

    // Pen positions, in eye x, where the markers in the text fall.
    static std::vector<float> markersOf(bool leftAligned, float x, float y, const std::string& text) {
        const Feedback f = feedbackOf([&] { printText(leftAligned, x, y, -60.0f, "%s", text.c_str()); });
        EXPECT_FALSE(f.overflowed);
        std::vector<float> xs;
        for (const auto& p : f.points) {
            EXPECT_FLOAT_EQ(p[1] - viewHalf, y);  // on the baseline
            xs.push_back(p[0] - viewHalf);
        }
        return xs;
    }

    static OSMesaContext context;
    static std::array<unsigned char, viewSide * viewSide * 4> pixels;
};

OSMesaContext OutlineFont::context = nullptr;
std::array<unsigned char, viewSide * viewSide * 4> OutlineFont::pixels{};

}  // namespace

TEST_F(OutlineFont, EveryGlyphListMovesTheOriginByExactlyItsAdvance) {
    for (int code = 0; code < fontGlyphCount; ++code) {
        glLoadIdentity();
        glCallList(fontListBase + code);
        Matrix expected = identity();
        expected[12] = glyphMetrics[code].advance;
        EXPECT_EQ(modelview(), expected) << code;
    }
    EXPECT_GT(glyphMetrics['A'].advance, 0.0f);
    EXPECT_GT(glyphMetrics[0xE4].advance, 0.0f);  // ä
    EXPECT_GT(glyphMetrics[0x80].advance, 0.0f);  // euro sign, from the remapped range
    EXPECT_EQ(glyphMetrics[0x81].advance, 0.0f);  // unassigned
    EXPECT_EQ(glyphMetrics[0xFF].advance, 0.0f);  // never built
}

TEST_F(OutlineFont, GlyphListsDrawTheirMeshes) {
    OutlineFace face;
    ASSERT_TRUE(face.open(findDefaultSansFace()));
    for (const int code : {int{'o'}, int{'A'}, 0xE4}) {
        const std::size_t triangles =
            buildGlyphMesh(face.loadGlyph(char32_t(code), glyphFlatness).contours).triangles.size();
        const Feedback f = feedbackOf([&] {
            glLoadIdentity();
            glCallList(fontListBase + code);
        });
        EXPECT_EQ(static_cast<std::size_t>(f.polygons), triangles) << code;
    }
}

TEST_F(OutlineFont, LeftAlignedTextsStartAtXAndRightAlignedOnesEndAtX) {
    useMarker();
    const std::string reset = "Reset (R)";
    EXPECT_EQ(markersOf(true, -32.0f, 22.0f, "\xFF" + reset + "\xFF"),
              (std::vector<float>{-32.0f, -32.0f + textWidth(reset.data(), reset.size())}));

    for (const std::string& text : {std::string("Zeit in Sekunden: 12.34"),
                                    std::string("Szene w\xE4hlen (F7/F8): 1 von 4"),
                                    std::string("(-12.25, 0.00, 3.50)"), std::string()}) {
        const std::vector<float> ends = markersOf(false, 34.0f, 23.0f, text + "\xFF");
        ASSERT_EQ(ends.size(), 1u) << text;
        EXPECT_FLOAT_EQ(ends[0], 34.0f) << text;
    }
    EXPECT_EQ(markersOf(false, -6.5f, -21.0f, "W-Beschleunigung:\xFF"), (std::vector<float>{-6.5f}));
}

TEST_F(OutlineFont, TextsLeaveTheModelviewMatrixAsTheyFoundIt) {
    // From the identity, as in the HUD, the way back is exact.
    const char* const texts[] = {"Szene w\xE4hlen (F7/F8): %i von %i", "\xE4\xF6\xFC\xDF\x80\x9F", "",
                                 "(%.2f, %.2f, %.2f)"};
    // And the caller's list base with it, the attribute stack as deep as before.
    glListBase(7);
    for (const bool leftAligned : {true, false}) {
        for (const char* text : texts) {
            glLoadIdentity();
            printText(leftAligned, -6.5f, -21.0f, -70.0f, text, 3, 4);
            EXPECT_EQ(modelview(), identity()) << text << leftAligned;
            GLint base = 0, depth = -1;
            glGetIntegerv(GL_LIST_BASE, &base);
            glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
            EXPECT_EQ(base, 7) << text;
            EXPECT_EQ(depth, 0) << text;
        }
    }
    glListBase(0);
    // Every code once, 255 bytes.
    std::string allCodes;
    for (int code = 1; code < fontGlyphCount; ++code) allCodes += static_cast<char>(code);
    glLoadIdentity();
    printText(false, 34.0f, 23.0f, -60.0f, "%s", allCodes.c_str());
    EXPECT_EQ(modelview(), identity());

    // From any other matrix, up to the rounding of some thirty single-
    // precision translations; a glyph that moved the pen by other than its
    // advance would be off by a sizeable part of an em.
    glLoadIdentity();
    glTranslatef(0.3f, -1.7f, -50.0f);
    glRotatef(33.0f, 0.6f, 0.8f, 0.0f);
    const Matrix before = modelview();
    printText(true, 1.1f, 2.2f, -3.3f, "Szene w\xE4hlen (F7/F8): %i von %i", 2, 4);
    const Matrix after = modelview();
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(after[i], before[i], 1e-4f) << i;
}

TEST_F(OutlineFont, ALongTextIsCutAfter255Characters) {
    // A marker as the 255th character shows, one as the 256th not; and a
    // right-aligned text that was cut ends at x, so the rest is not measured.
    useMarker();
    const std::string i254(254, 'i'), i255(255, 'i');
    const float w = glyphMetrics['i'].advance;
    EXPECT_EQ(markersOf(true, -60.0f, 0.0f, i254 + "\xFF" + std::string(45, 'i')),
              (std::vector<float>{-60.0f + 254 * w}));
    EXPECT_EQ(markersOf(false, 10.0f, 0.0f, i254 + "\xFF" + std::string(45, 'i')),
              (std::vector<float>{10.0f}));
    EXPECT_TRUE(markersOf(true, -60.0f, 0.0f, i255 + "\xFF" + std::string(44, 'i')).empty());

    glLoadIdentity();
    printText(false, 0.0f, 0.0f, -70.0f, "%s", std::string(300, 'x').c_str());
    EXPECT_EQ(modelview(), identity());
}

TEST_F(OutlineFont, NothingIsDrawnWithoutAFormatOrAFont) {
    const char* const noFormat = nullptr;
    Feedback f = feedbackOf([&] {
        glLoadIdentity();
        printText(true, 1.0f, 2.0f, 3.0f, noFormat);
    });
    EXPECT_EQ(f.polygons, 0);
    EXPECT_EQ(modelview(), identity());

    // A face that cannot be read: lists exist but draw nothing.
    OutlineFace unreadable;
    EXPECT_FALSE(unreadable.open({"/nonexistent/font.ttf", 0}));
    buildFontFrom(unreadable);
    ASSERT_NE(fontListBase, 0u);
    for (const GlyphMetrics& m : glyphMetrics) EXPECT_EQ(m.advance, 0.0f);
    f = feedbackOf([&] {
        glLoadIdentity();
        printText(false, 34.0f, 23.0f, -60.0f, "Zeit in Sekunden: %.2f", 1.5);
    });
    EXPECT_EQ(f.polygons, 0);
    EXPECT_EQ(modelview(), identity());

    // No font at all: the lists are gone.
    const unsigned int base = fontListBase;
    EXPECT_TRUE(glIsList(base + 'A'));
    deleteFont();
    EXPECT_FALSE(glIsList(base + 'A'));
    EXPECT_EQ(fontListBase, 0u);
    glLoadIdentity();
    printText(true, 1.0f, 2.0f, 3.0f, "Reset (R)");
    EXPECT_EQ(modelview(), identity());
}

namespace {

std::size_t format(char (&buffer)[textBufferSize], const char* text, ...) {
    std::va_list args;
    va_start(args, text);
    const std::size_t length = formatText(buffer, text, args);
    va_end(args);
    return length;
}

}  // namespace

TEST(FormatText, KeepsAtMost255CharactersAndNothingOfAFailedFormat) {
    char buffer[textBufferSize];
    EXPECT_EQ(format(buffer, "%d von %d", 2, 4), 7u);
    EXPECT_STREQ(buffer, "2 von 4");
    const std::string long300(300, 'x');
    EXPECT_EQ(format(buffer, "%s", long300.c_str()), 255u);
    EXPECT_EQ(std::string(buffer), std::string(255, 'x'));
    // A wide character the C locale cannot write fails the whole format.
    EXPECT_EQ(format(buffer, "ab%lsc", L"\u00E4"), 0u);
    EXPECT_STREQ(buffer, "");
}

namespace {

// A face with a glyph for every character: a diamond, and an advance of a
// 256th of the character's code and one more, so that each code's metrics
// tell where they came from.
class EveryCharacter final : public GlyphSource {
public:
    GlyphOutline loadGlyph(char32_t character, double) const override {
        GlyphOutline glyph;
        glyph.contours = {{{0.5, 0.0}, {1.0, 0.5}, {0.5, 1.0}, {0.0, 0.5}}};
        glyph.fill = fillContours(glyph.contours);
        glyph.advance = static_cast<float>(character + 1) / 256.0f;
        return glyph;
    }
};

}  // namespace

// Every code from 0 to 254 has its character's glyph; codes that name no
// character, and 255, have none.
TEST_F(OutlineFont, EveryCodeHasTheGlyphOfItsCharacter) {
    buildFontFrom(EveryCharacter{});
    for (int code = 0; code < fontGlyphCount; ++code) {
        const auto character = windows1252ToUnicode(static_cast<unsigned char>(code));
        const float expected = code < 255 && character ? static_cast<float>(*character + 1) / 256.0f : 0.0f;
        EXPECT_EQ(glyphMetrics[code].advance, expected) << code;
    }
    EXPECT_EQ(glyphMetrics[0].advance, 1.0f / 256.0f);
    EXPECT_EQ(glyphMetrics[0x80].advance, 0x20AD / 256.0f);
}

// A list draws each triangle with its own normal: after it, the normal of
// the mesh's last triangle is current. The diamond's last two walls face
// away from each other across y, with the same x.
TEST_F(OutlineFont, EachTriangleOfAGlyphHasItsOwnNormal) {
    const EveryCharacter face;
    buildFontFrom(face);
    const GlyphOutline glyph = face.loadGlyph('A', glyphFlatness);
    const GlyphMesh mesh = extrudeGlyph(glyph.contours, glyph.fill);
    ASSERT_GE(mesh.triangles.size(), 4u);
    const MeshPoint last = mesh.triangles.back().normal;
    const MeshPoint before = mesh.triangles[mesh.triangles.size() - 3].normal;
    ASSERT_EQ(last.x, before.x);
    ASSERT_EQ(last.y, -before.y);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glCallList(fontListBase + 'A');
    GLfloat normal[3] = {};
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_EQ(normal[0], last.x);
    EXPECT_EQ(normal[1], last.y);
    EXPECT_EQ(normal[2], last.z);
}

// The lit colour of every corner that drawing sends down the pipeline, from
// feedback, under a light from a side that tells every normal of a glyph
// apart.
template <typename Draw>
std::vector<GLfloat> litColours(Draw draw) {
    const GLfloat from[] = {0.3f, 0.5f, 0.8f, 0.0f};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, from);
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint size = glRenderMode(GL_RENDER);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    std::vector<GLfloat> colours;
    for (GLint i = 0; i < size;) {
        if (static_cast<GLint>(buffer[i++]) != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "not a polygon";
            break;
        }
        const GLint corners = static_cast<GLint>(buffer[i++]);
        for (GLint k = 0; k < corners; ++k, i += 7) colours.insert(colours.end(), &buffer[i + 3], &buffer[i + 6]);
    }
    return colours;
}

// Every triangle of a glyph's list, front, back and walls (each facing
// away from the one before across x or y), is lit as the same triangle
// drawn with its own normal.
TEST_F(OutlineFont, EveryTriangleOfAGlyphsListIsLitByItsOwnNormal) {
    const EveryCharacter face;
    buildFontFrom(face);
    const GlyphOutline glyph = face.loadGlyph('A', glyphFlatness);
    const GlyphMesh mesh = extrudeGlyph(glyph.contours, glyph.fill);
    glLoadIdentity();
    const std::vector<GLfloat> own = litColours([&] {
        glBegin(GL_TRIANGLES);
        for (const MeshTriangle& t : mesh.triangles) {
            glNormal3f(t.normal.x, t.normal.y, t.normal.z);
            for (const MeshPoint& p : t.corners) glVertex3f(p.x, p.y, p.z);
        }
        glEnd();
    });
    const std::vector<GLfloat> listed = litColours([] { glCallList(fontListBase + 'A'); });
    ASSERT_EQ(own.size(), 9 * mesh.triangles.size());
    EXPECT_EQ(listed, own);
}

// A font built again replaces the one before: its lists are gone but for
// names the new font took.
TEST_F(OutlineFont, BuildingAgainDeletesTheListsOfBefore) {
    const unsigned int first = fontListBase;
    buildFontFrom(EveryCharacter{});
    for (unsigned int name = first; name < first + fontGlyphCount; ++name) {
        const bool ours = name >= fontListBase && name < fontListBase + fontGlyphCount;
        EXPECT_EQ(glIsList(name) == GL_TRUE, ours) << name;
    }
}

// Before a font is built, the lists that have the names of its codes are
// someone else's: no text calls them.
TEST_F(OutlineFont, WithoutAFontTextsCallNoOtherLists) {
    deleteFont();
    // Named as the codes themselves: the lists a list base of 0 would call.
    for (GLuint code = 1; code < fontGlyphCount; ++code) {
        ASSERT_FALSE(glIsList(code));
        glNewList(code, GL_COMPILE);
        glBegin(GL_TRIANGLES);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(1.0f, 0.0f, 0.0f);
        glVertex3f(0.0f, 1.0f, 0.0f);
        glEnd();
        glEndList();
    }
    const Feedback f = feedbackOf([&] {
        glLoadIdentity();
        printText(true, 1.0f, 2.0f, -3.0f, "Reset (R)");
    });
    EXPECT_EQ(f.polygons, 0);
    glDeleteLists(1, fontGlyphCount - 1);
}
