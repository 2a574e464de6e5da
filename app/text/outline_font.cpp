#include "app/text/outline_font.h"

#include "app/text/glyph_mesh.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

unsigned int fontListBase = 0;
std::array<GlyphMetrics, fontGlyphCount> glyphMetrics{};

namespace {

bool sameNormal(const MeshPoint& a, const MeshPoint& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Records list `list`: the mesh's triangles, then the move to the next pen
// position. A normal is only sent when it changes, which is once for each
// face and wall.
void compileGlyph(GLuint list, const GlyphMesh& mesh, float advance) {
    glNewList(list, GL_COMPILE);
    if (!mesh.triangles.empty()) {
        glBegin(GL_TRIANGLES);
        const MeshPoint* normal = nullptr;
        for (const MeshTriangle& t : mesh.triangles) {
            if (normal == nullptr || !sameNormal(*normal, t.normal)) {
                normal = &t.normal;
                glNormal3f(normal->x, normal->y, normal->z);
            }
            for (const MeshPoint& p : t.corners) glVertex3f(p.x, p.y, p.z);
        }
        glEnd();
    }
    if (advance != 0.0f) glTranslatef(advance, 0.0f, 0.0f);
    glEndList();
}

}  // namespace

void buildFontFrom(const GlyphSource& source) {
    deleteFont();
    const GLuint base = glGenLists(fontGlyphCount);
    if (base == 0) return;
    fontListBase = base;

    for (int code = 0; code < fontGlyphCount; ++code) {
        const GlyphOutline outline = fontGlyph(source, code);
        glyphMetrics[code].advance = outline.advance;
        compileGlyph(base + code, extrudeGlyph(outline.contours, outline.fill), outline.advance);
    }
}

void deleteFont() {
    if (fontListBase != 0) glDeleteLists(fontListBase, fontGlyphCount);
    fontListBase = 0;
    glyphMetrics.fill(GlyphMetrics{});
}

std::size_t formatText(char (&buffer)[textBufferSize], const char* format, std::va_list args) {
    const int written = std::vsnprintf(buffer, textBufferSize, format, args);
    if (written < 0) {
        // What a failed format wrote is no text.
        buffer[0] = '\0';
        return 0;
    }
    return std::min(static_cast<std::size_t>(written), textBufferSize - 1);
}

float textWidth(const char* text, std::size_t length) {
    float width = 0.0f;
    for (std::size_t i = 0; i < length; ++i) {
        width += glyphMetrics[static_cast<unsigned char>(text[i])].advance;
    }
    return width;
}

void printText(bool leftAligned, float x, float y, float z, const char* format, ...) {
    if (format == nullptr || fontListBase == 0) return;
    char text[textBufferSize];
    std::va_list args;
    va_start(args, format);
    const std::size_t length = formatText(text, format, args);
    va_end(args);
    const float width = textWidth(text, length);

    glTranslatef(leftAligned ? x : x - width, y, z);
    glPushAttrib(GL_LIST_BIT);
    glListBase(fontListBase);
    glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
    // The lists have moved the origin on by width: undo that and the
    // placement together.
    if (leftAligned) {
        glTranslatef(-x - width, -y, -z);
    } else {
        glTranslatef(-x, -y, -z);
    }
}
