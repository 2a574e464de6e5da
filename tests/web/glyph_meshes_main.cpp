// Prints the solid letter of every character code as the program's font
// builds it from its platform's glyph source: FreeType's outlines filled by
// GLU's tessellator on Linux, the shipped glyph pack in the page (run under
// Node). The two prints must be the same bytes: every float is printed as
// its bits, so that no C library's number formatting takes part.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/text/glyph_mesh.h"
#include "app/text/outline_font.h"
#include "glyphs_under_test.h"

namespace {

std::uint32_t bits(float v) {
    std::uint32_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

void print(const MeshPoint& p) {
    std::printf(" %08" PRIx32 " %08" PRIx32 " %08" PRIx32, bits(p.x), bits(p.y), bits(p.z));
}

}  // namespace

int main() {
    const auto source = openGlyphsUnderTest();
    std::size_t total = 0;
    for (int code = 0; code < fontGlyphCount; ++code) {
        const GlyphOutline glyph = fontGlyph(*source, code);
        const GlyphMesh mesh = extrudeGlyph(glyph.contours, glyph.fill);
        std::printf("code %d advance %08" PRIx32 " triangles %zu\n", code, bits(glyph.advance), mesh.triangles.size());
        for (const MeshTriangle& t : mesh.triangles) {
            print(t.normal);
            for (const MeshPoint& p : t.corners) print(p);
            std::printf("\n");
        }
        total += mesh.triangles.size();
    }
    std::printf("triangles %zu\n", total);
    return 0;
}
