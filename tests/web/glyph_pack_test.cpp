// The page's glyph pack: what is packed comes back bit for bit, and damaged
// packs are refused without reading past their end (the sanitizer build runs
// this too).
#include "app/platform/web/glyph_pack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<GlyphOutline> sampleGlyphs() {
    GlyphOutline ring;  // a square with a square hole, and a point where two edges cross
    ring.contours = {{{0.0, 0.0}, {1.0, 0.0}, {1.0, 1.0}, {0.0, 1.0}}, {{0.25, 0.25}, {0.25, 0.75}, {0.75, 0.5}}};
    ring.fill.extraPoints = {{0.1 / 3.0, std::nextafter(0.5, 1.0)}};
    ring.fill.triangles = {{0, 1, 4}, {1, 2, 7}, {2, 3, 6}};
    ring.advance = 0.556640625f;
    return {GlyphOutline{}, ring};
}

bool same(const std::vector<GlyphOutline>& a, const std::vector<GlyphOutline>& b) {
    if (a.size() != b.size()) return false;
    const auto samePoints = [](const std::vector<OutlinePoint>& p, const std::vector<OutlinePoint>& q) {
        if (p.size() != q.size()) return false;
        for (std::size_t i = 0; i < p.size(); ++i) {
            if (p[i].x != q[i].x || p[i].y != q[i].y) return false;
        }
        return true;
    };
    for (std::size_t g = 0; g < a.size(); ++g) {
        if (a[g].advance != b[g].advance || a[g].contours.size() != b[g].contours.size() ||
            a[g].fill.triangles != b[g].fill.triangles || !samePoints(a[g].fill.extraPoints, b[g].fill.extraPoints)) {
            return false;
        }
        for (std::size_t c = 0; c < a[g].contours.size(); ++c) {
            if (!samePoints(a[g].contours[c], b[g].contours[c])) return false;
        }
    }
    return true;
}

TEST(GlyphPack, GivesBackWhatWasPackedAndRefusesDamagedPacks) {
    const std::vector<GlyphOutline> glyphs = sampleGlyphs();
    const std::vector<unsigned char> pack = packGlyphs(glyphs);
    std::vector<GlyphOutline> read;
    ASSERT_TRUE(unpackGlyphs(pack.data(), pack.size(), read));
    EXPECT_TRUE(same(read, glyphs));

    // Cut short anywhere, or with a byte too many.
    for (std::size_t size = 0; size < pack.size(); ++size) {
        std::vector<unsigned char> cut(pack.begin(), pack.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(unpackGlyphs(cut.data(), cut.size(), read)) << "cut to " << size << " bytes";
        EXPECT_TRUE(read.empty());
    }
    std::vector<unsigned char> longer = pack;
    longer.push_back(0);
    EXPECT_FALSE(unpackGlyphs(longer.data(), longer.size(), read));

    struct Damage {
        const char* what;
        std::size_t at;
        unsigned char value;
    };
    const std::size_t lastCorner = pack.size() - 4;
    const Damage damages[] = {
        {"a wrong magic", 0, 'X'},
        {"a huge glyph count", 7, 0x7F},
        {"a huge contour count", 31, 0x7F},  // the second glyph's, after the first (16 bytes)
        {"a corner past the points", lastCorner, 8},
    };
    for (const Damage& d : damages) {
        std::vector<unsigned char> damaged = pack;
        damaged[d.at] = d.value;
        EXPECT_FALSE(unpackGlyphs(damaged.data(), damaged.size(), read)) << d.what;
    }
}

}  // namespace
