#include "app/platform/web/glyph_pack.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned char magic[4] = {'P', 'W', 'G', '1'};

// Sizes a pack may declare. Far above what a font gives: the HUD's face has
// at most a few hundred points a glyph.
constexpr std::uint32_t maxGlyphs = 65536;
constexpr std::uint32_t maxItems = 1u << 20;

class Writer {
public:
    explicit Writer(std::vector<unsigned char>& out) : out_(out) {}

    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    void u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) out_.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    void f32(float v) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    void point(const OutlinePoint& p) {
        u64(bitsOf(p.x));
        u64(bitsOf(p.y));
    }

private:
    static std::uint64_t bitsOf(double v) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        return bits;
    }
    std::vector<unsigned char>& out_;
};

// Reads the pack front to back; every read past the end fails the reader
// from then on and yields zeros.
class Reader {
public:
    Reader(const unsigned char* bytes, std::size_t size) : at_(bytes), end_(bytes + size) {}

    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == end_; }

    std::uint32_t u32() { return static_cast<std::uint32_t>(unsigned_(4)); }
    float f32() {
        const std::uint32_t bits = u32();
        float v = 0.0f;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    OutlinePoint point() {
        OutlinePoint p;
        p.x = f64();
        p.y = f64();
        return p;
    }
    // A count of at most limit items, each taking itemBytes: more than the
    // bytes left fails the reader at once rather than after a huge reserve.
    std::uint32_t count(std::uint32_t limit, std::size_t itemBytes) {
        const std::uint32_t n = u32();
        if (n > limit || static_cast<std::size_t>(end_ - at_) / itemBytes < n) {
            ok_ = false;
            at_ = end_;
            return 0;
        }
        return n;
    }
    bool expect(const unsigned char (&bytes)[4]) {
        if (end_ - at_ < 4 || std::memcmp(at_, bytes, 4) != 0) ok_ = false;
        at_ += ok_ ? 4 : 0;
        return ok_;
    }

private:
    double f64() {
        const std::uint64_t bits = unsigned_(8);
        double v = 0.0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::uint64_t unsigned_(int bytes) {
        if (!ok_ || end_ - at_ < bytes) {
            ok_ = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(at_[i]) << (8 * i);
        at_ += bytes;
        return v;
    }
    const unsigned char* at_;
    const unsigned char* end_;
    bool ok_ = true;
};

constexpr std::size_t pointBytes = 16;
constexpr std::size_t cornerBytes = 4;

}  // namespace

std::vector<unsigned char> packGlyphs(const std::vector<GlyphOutline>& glyphs) {
    std::vector<unsigned char> out(std::begin(magic), std::end(magic));
    Writer w(out);
    w.u32(static_cast<std::uint32_t>(glyphs.size()));
    for (const GlyphOutline& g : glyphs) {
        w.f32(g.advance);
        w.u32(static_cast<std::uint32_t>(g.contours.size()));
        for (const Contour& c : g.contours) w.u32(static_cast<std::uint32_t>(c.size()));
        for (const Contour& c : g.contours) {
            for (const OutlinePoint& p : c) w.point(p);
        }
        w.u32(static_cast<std::uint32_t>(g.fill.extraPoints.size()));
        for (const OutlinePoint& p : g.fill.extraPoints) w.point(p);
        w.u32(static_cast<std::uint32_t>(g.fill.triangles.size()));
        for (const auto& t : g.fill.triangles) {
            for (std::uint32_t corner : t) w.u32(corner);
        }
    }
    return out;
}

bool unpackGlyphs(const unsigned char* bytes, std::size_t size, std::vector<GlyphOutline>& glyphs) {
    glyphs.clear();
    Reader r(bytes, size);
    r.expect(magic);
    std::vector<GlyphOutline> read(r.count(maxGlyphs, 4 + 4 + 4 + 4));
    for (GlyphOutline& g : read) {
        g.advance = r.f32();
        g.contours.resize(r.count(maxItems, 4));
        std::size_t points = 0;
        for (Contour& c : g.contours) {
            c.resize(r.count(maxItems, pointBytes));
            points += c.size();
        }
        for (Contour& c : g.contours) {
            for (OutlinePoint& p : c) p = r.point();
        }
        g.fill.extraPoints.resize(r.count(maxItems, pointBytes));
        for (OutlinePoint& p : g.fill.extraPoints) p = r.point();
        points += g.fill.extraPoints.size();
        g.fill.triangles.resize(r.count(maxItems, 3 * cornerBytes));
        for (auto& t : g.fill.triangles) {
            for (std::uint32_t& corner : t) {
                corner = r.u32();
                if (corner >= points) return false;
            }
        }
        if (!r.ok()) return false;
    }
    if (!r.ok() || !r.atEnd()) return false;
    glyphs = std::move(read);
    return true;
}
