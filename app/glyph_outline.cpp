#include "app/glyph_outline.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

namespace {

// Unicode characters of the Windows-1252 codes 0x80..0x9F; 0 marks the
// unassigned ones. Every other code is its own Unicode character.
constexpr char32_t windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88..8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98..9F
};

// Upper bound on the pieces of one curve: a guard against a zero or absurdly
// small tolerance, far above what any sensible tolerance asks for.
constexpr int maxCurveSteps = 1024;

// Number of equal parameter steps that keep a curve within tolerance of its
// chords. On a step of parameter length h the distance between a curve and
// its chord is at most |B''| h^2 / 8, so n steps suffice when
// secondDerivativeBound / (8 n^2) <= tolerance.
int curveSteps(double secondDerivativeBound, double tolerance) {
    if (!(tolerance > 0.0)) return maxCurveSteps;
    const double steps = std::ceil(std::sqrt(secondDerivativeBound / (8.0 * tolerance)));
    return static_cast<int>(std::clamp(steps, 1.0, static_cast<double>(maxCurveSteps)));
}

double length(double x, double y) { return std::hypot(x, y); }

// Advances are rounded to this grid (2^-16 em) so that the pen positions of
// a text, sums of advances and of HUD coordinates such as -6.5, are exact in
// single precision and a text's closing translation lands the modelview
// matrix back on exactly where it was. The rounding is far below a pixel.
constexpr int advanceGridBits = 16;

// Collects the flattened contours while FreeType walks an outline.
struct OutlineWalk {
    double unitsToEm = 1.0;  // em per font unit
    double tolerance = 0.0;  // em
    std::vector<Contour> contours;

    OutlinePoint toEm(const FT_Vector* v) const {
        return {static_cast<double>(v->x) * unitsToEm, static_cast<double>(v->y) * unitsToEm};
    }
    const OutlinePoint& current() const { return contours.back().back(); }
};

OutlineWalk& walkOf(void* user) { return *static_cast<OutlineWalk*>(user); }

int moveTo(const FT_Vector* to, void* user) {
    OutlineWalk& walk = walkOf(user);
    walk.contours.push_back({walk.toEm(to)});
    return 0;
}

int lineTo(const FT_Vector* to, void* user) {
    OutlineWalk& walk = walkOf(user);
    walk.contours.back().push_back(walk.toEm(to));
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    OutlineWalk& walk = walkOf(user);
    const OutlinePoint p0 = walk.current();
    flattenQuadratic(p0, walk.toEm(control), walk.toEm(to), walk.tolerance, walk.contours.back());
    return 0;
}

int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
    OutlineWalk& walk = walkOf(user);
    const OutlinePoint p0 = walk.current();
    flattenCubic(p0, walk.toEm(control1), walk.toEm(control2), walk.toEm(to), walk.tolerance,
                 walk.contours.back());
    return 0;
}

// Drops repeated points, including the closing copy of the first point that
// the outline walk produces, and contours too thin to enclose anything:
// both would only give the tessellator and the side walls zero-length edges.
void tidy(std::vector<Contour>& contours) {
    for (Contour& c : contours) {
        const auto same = [](const OutlinePoint& a, const OutlinePoint& b) {
            return a.x == b.x && a.y == b.y;
        };
        c.erase(std::unique(c.begin(), c.end(), same), c.end());
        while (c.size() > 1 && same(c.front(), c.back())) c.pop_back();
    }
    contours.erase(std::remove_if(contours.begin(), contours.end(),
                                  [](const Contour& c) { return c.size() < 3; }),
                   contours.end());
}

}  // namespace

std::optional<char32_t> windows1252ToUnicode(unsigned char code) {
    if (code < 0x80 || code > 0x9F) return code;
    const char32_t mapped = windows1252High[code - 0x80];
    if (mapped == 0) return std::nullopt;
    return mapped;
}

FaceLocation findDefaultSansFace() {
    FaceLocation location;
    // The HUD's table sets its columns ten units apart, which fits the body
    // rows in a face with narrow digits (about 0.56 em, as Liberation Sans has)
    // but not in DejaVu Sans (0.64 em), where neighbouring columns run into
    // each other. So Liberation Sans comes first where it is installed, and
    // the system's default sans-serif face otherwise.
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Liberation Sans,sans-serif"));
    if (pattern == nullptr) return location;
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    // A null configuration is fontconfig's current one, loaded on first use.
    if (FcConfigSubstitute(nullptr, pattern, FcMatchPattern)) {
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        if (match != nullptr) {
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
                location.path = reinterpret_cast<const char*>(file);
                if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) {
                    location.index = index;
                }
            }
            FcPatternDestroy(match);
        }
    }
    FcPatternDestroy(pattern);
    return location;
}

void flattenQuadratic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2,
                      double tolerance, Contour& out) {
    // B''(t) = 2 (p0 - 2 p1 + p2), constant along the curve.
    const double bound = 2.0 * length(p0.x - 2.0 * p1.x + p2.x, p0.y - 2.0 * p1.y + p2.y);
    const int steps = curveSteps(bound, tolerance);
    for (int i = 1; i < steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double s = 1.0 - t;
        const double a = s * s, b = 2.0 * s * t, c = t * t;
        out.push_back({a * p0.x + b * p1.x + c * p2.x, a * p0.y + b * p1.y + c * p2.y});
    }
    out.push_back(p2);
}

void flattenCubic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2,
                  const OutlinePoint& p3, double tolerance, Contour& out) {
    // B''(t) = 6 ((1 - t) (p0 - 2 p1 + p2) + t (p1 - 2 p2 + p3)), largest at
    // an end of the curve.
    const double bound =
        6.0 * std::max(length(p0.x - 2.0 * p1.x + p2.x, p0.y - 2.0 * p1.y + p2.y),
                       length(p1.x - 2.0 * p2.x + p3.x, p1.y - 2.0 * p2.y + p3.y));
    const int steps = curveSteps(bound, tolerance);
    for (int i = 1; i < steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double s = 1.0 - t;
        const double a = s * s * s, b = 3.0 * s * s * t, c = 3.0 * s * t * t, d = t * t * t;
        out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                       a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
    out.push_back(p3);
}

struct OutlineFace::Handles {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    ~Handles() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

OutlineFace::OutlineFace() = default;
OutlineFace::~OutlineFace() = default;

bool OutlineFace::open(const FaceLocation& location) {
    handles.reset();
    if (location.path.empty()) return false;
    auto opened = std::make_unique<Handles>();
    if (FT_Init_FreeType(&opened->library) != 0) {
        opened->library = nullptr;
        return false;
    }
    if (FT_New_Face(opened->library, location.path.c_str(), location.index, &opened->face) != 0) {
        opened->face = nullptr;
        return false;
    }
    if (!FT_IS_SCALABLE(opened->face) || opened->face->units_per_EM == 0) return false;
    handles = std::move(opened);
    return true;
}

bool OutlineFace::isOpen() const { return handles != nullptr; }

GlyphOutline OutlineFace::loadGlyph(char32_t character, double tolerance) const {
    GlyphOutline glyph;
    if (!handles) return glyph;
    FT_Face face = handles->face;
    const FT_UInt index = FT_Get_Char_Index(face, character);
    if (index == 0) return glyph;
    // Font units, unhinted: the letters are drawn at any size in 3-D, so
    // the design outline is what we want, not one fitted to a pixel grid.
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE) != 0) return glyph;
    const FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return glyph;

    OutlineWalk walk;
    walk.unitsToEm = 1.0 / face->units_per_EM;
    walk.tolerance = tolerance;
    FT_Outline_Funcs funcs{};
    funcs.move_to = moveTo;
    funcs.line_to = lineTo;
    funcs.conic_to = conicTo;
    funcs.cubic_to = cubicTo;
    if (FT_Outline_Decompose(&slot->outline, &funcs, &walk) != 0) return glyph;
    tidy(walk.contours);

    glyph.contours = std::move(walk.contours);
    const double advance = static_cast<double>(slot->metrics.horiAdvance) * walk.unitsToEm;
    glyph.advance = static_cast<float>(
        std::ldexp(std::round(std::ldexp(advance, advanceGridBits)), -advanceGridBits));
    return glyph;
}
