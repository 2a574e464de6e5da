// prallwerk-glyph-pack: writes the letters of the Linux program's font as a
// glyph pack (app/platform/web/glyph_pack.h) inside a C++ source file, for
// the page, which has neither the fonts nor FreeType nor GLU's tessellator.
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/platform/sdl/freetype_glyphs.h"
#include "app/platform/web/glyph_pack.h"
#include "app/text/outline_font.h"

namespace {

const char* const usage =
    "Usage: prallwerk-glyph-pack OUT.cpp\n"
    "\n"
    "Reads the glyphs of character codes 0 to 255 from the default face, as the\n"
    "program's font does, and writes OUT.cpp, which defines\n"
    "prallwerkGlyphPack (the pack's bytes) and prallwerkGlyphPackSize.\n"
    "Exits with status 2 for bad arguments, 1 when the face has no letters\n"
    "or the file cannot be written.\n";

constexpr int bytesPerLine = 24;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    const auto source = openFreetypeDefaultFace();
    std::vector<GlyphOutline> glyphs;
    for (int code = 0; code < fontGlyphCount; ++code) glyphs.push_back(fontGlyph(*source, code));
    if (glyphs['A'].contours.empty()) {
        std::fputs("prallwerk-glyph-pack: the default face gives no letters (is a font installed?)\n", stderr);
        return 1;
    }
    const std::vector<unsigned char> pack = packGlyphs(glyphs);

    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fputs("// Made by prallwerk-glyph-pack from the build host's default face.\n"
               "#include <cstddef>\n\n"
               "extern const unsigned char prallwerkGlyphPack[];\n"
               "extern const std::size_t prallwerkGlyphPackSize;\n\n"
               "const unsigned char prallwerkGlyphPack[] = {",
               out);
    for (std::size_t i = 0; i < pack.size(); ++i) {
        if (i % bytesPerLine == 0) std::fputs("\n   ", out);
        std::fprintf(out, " %u,", static_cast<unsigned>(pack[i]));
    }
    std::fprintf(out, "\n};\n\nconst std::size_t prallwerkGlyphPackSize = %zu;\n", pack.size());
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
