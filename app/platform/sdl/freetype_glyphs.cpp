#include "app/platform/sdl/freetype_glyphs.h"

#include "app/text/glyph_fill.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

namespace {

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

}  // namespace

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
    tidyContours(walk.contours);

    glyph.contours = std::move(walk.contours);
    glyph.fill = fillContours(glyph.contours);
    const double advance = static_cast<double>(slot->metrics.horiAdvance) * walk.unitsToEm;
    glyph.advance = roundAdvance(advance);
    return glyph;
}

std::unique_ptr<GlyphSource> openFreetypeDefaultFace() {
    auto face = std::make_unique<OutlineFace>();
    face->open(findDefaultSansFace());
    return face;
}
