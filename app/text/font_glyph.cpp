#include "app/text/outline_font.h"

// Apart from the lists, which need OpenGL: the host tool that makes the
// page's glyph pack reads the glyphs as the font does, without drawing.
GlyphOutline fontGlyph(const GlyphSource& source, int code) {
    // The glyphs are built for the codes 0 to 254 only; 255's list stays empty.
    constexpr int lastBuiltCode = fontGlyphCount - 2;
    const auto character = windows1252ToUnicode(static_cast<unsigned char>(code));
    if (code < 0 || code > lastBuiltCode || !character) return {};
    return source.loadGlyph(*character, glyphFlatness);
}
