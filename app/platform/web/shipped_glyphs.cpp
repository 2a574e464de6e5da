// The page's letters: the glyph pack that the build host made from its font
// (tools/glyph_pack_main.cpp), compiled into the program.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/platform/web/glyph_pack.h"
#include "app/platform/web/shipped_glyphs.h"
#include "app/text/glyph_outline.h"

extern const unsigned char prallwerkGlyphPack[];
extern const std::size_t prallwerkGlyphPackSize;

namespace {

// The glyph of each character code, as the host's font gave it. The
// outlines were flattened for the HUD's letters when the pack was made, so
// the tolerance asked for has no say.
class ShippedGlyphs final : public GlyphSource {
public:
    ShippedGlyphs() {
        if (!unpackGlyphs(prallwerkGlyphPack, prallwerkGlyphPackSize, byCode_)) {
            std::fputs("prallwerk: the glyph pack is damaged: the HUD has no letters\n", stderr);
        }
    }

    GlyphOutline loadGlyph(char32_t character, double) const override {
        for (std::size_t code = 0; code < byCode_.size(); ++code) {
            if (windows1252ToUnicode(static_cast<unsigned char>(code)) == character) return byCode_[code];
        }
        return {};
    }

private:
    std::vector<GlyphOutline> byCode_;
};

}  // namespace

std::unique_ptr<GlyphSource> openShippedGlyphs() { return std::make_unique<ShippedGlyphs>(); }
