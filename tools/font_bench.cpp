// Times buildFont in an off-screen GL context and counts the triangles that
// the HUD's texts cost at several flatness tolerances.
//
//   prallwerk-font-bench [cycles]
//
// cycles: build/delete cycles to time (default 20); 0 only counts triangles.

#include "app/text/glyph_fill.h"
#include "app/text/glyph_outline.h"
#include "app/platform/sdl/freetype_glyphs.h"
#include "app/text/outline_font.h"

#include <GL/osmesa.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The HUD's texts with typical values: five control and time lines, four
// column labels and seven rows of four vectors.
std::vector<std::string> hudTexts() {
    std::vector<std::string> texts = {
        "Simulation Start / Pause (Space)",
        "Reset (R)",
        "Szene w\xE4hlen (F7/F8): 1 von 4",
        "Zeit in Sekunden: 12.34",
        "Drahtgitter-Modus (F3): aus",
        "Position:",
        "Beschleunigung:",
        "W-Beschleunigung:",
        "Winkel:",
    };
    char row[textBufferSize];
    for (int body = 0; body < 7; ++body) {
        for (int column = 0; column < 4; ++column) {
            const double a = body * 3.17 - 9.5 + column;
            std::snprintf(row, sizeof row, "(%.2f, %.2f, %.2f)", a, 0.5 * a - 1.25, 2.0 - 0.3 * a);
            texts.emplace_back(row);
        }
    }
    return texts;
}

struct TriangleCounts {
    std::size_t font = 0;  // all built glyphs
    std::size_t hud = 0;
};

TriangleCounts countTriangles(const OutlineFace& face, double flatness) {
    std::vector<std::size_t> perCode(fontGlyphCount, 0);
    TriangleCounts counts;
    for (int code = 0; code < fontGlyphCount - 1; ++code) {
        const auto character = windows1252ToUnicode(static_cast<unsigned char>(code));
        if (!character) continue;
        perCode[code] = buildGlyphMesh(face.loadGlyph(*character, flatness).contours).triangles.size();
        counts.font += perCode[code];
    }
    for (const std::string& text : hudTexts()) {
        for (const char c : text) counts.hud += perCode[static_cast<unsigned char>(c)];
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 20;

    const FaceLocation location = findDefaultSansFace();
    std::printf("face: %s (index %d)\n", location.path.empty() ? "(none)" : location.path.c_str(),
                location.index);
    OutlineFace face;
    if (!face.open(location)) {
        std::printf("the face cannot be opened\n");
        return 1;
    }

    std::printf("flatness (em)  font triangles  HUD triangles\n");
    std::vector<double> flatnesses = {0.0025, 0.005, 0.01, 0.02, 0.04};
    if (std::find(flatnesses.begin(), flatnesses.end(), glyphFlatness) == flatnesses.end()) {
        flatnesses.push_back(glyphFlatness);
        std::sort(flatnesses.begin(), flatnesses.end());
    }
    for (const double flatness : flatnesses) {
        const TriangleCounts counts = countTriangles(face, flatness);
        std::printf("%13.4f  %14zu  %13zu%s\n", flatness, counts.font, counts.hud,
                    flatness == glyphFlatness ? "   <- in use" : "");
    }
    if (cycles <= 0) return 0;

    constexpr int side = 64;
    std::vector<unsigned char> pixels(side * side * 4);
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    if (context == nullptr ||
        !OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, side, side)) {
        std::printf("no off-screen GL context\n");
        return 1;
    }

    // The first build also pays for fontconfig reading its configuration.
    Clock::time_point start = Clock::now();
    buildFontFrom(*openFreetypeDefaultFace());
    std::printf("buildFont, first in the process: %.1f ms\n", millisecondsSince(start));
    deleteFont();

    std::vector<double> times;
    for (int i = 0; i < cycles; ++i) {
        start = Clock::now();
        buildFontFrom(*openFreetypeDefaultFace());
        times.push_back(millisecondsSince(start));
        deleteFont();
    }
    std::sort(times.begin(), times.end());
    std::printf("buildFont, %d more: median %.1f ms, min %.1f ms, max %.1f ms\n", cycles,
                times[times.size() / 2], times.front(), times.back());

    OSMesaDestroyContext(context);
    return 0;
}
