// Glyph outlines from GDI: the Windows program's source of letters.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/platform/win32/gdi_glyphs.h"
#include "app/text/glyph_fill.h"
#include "app/text/glyph_outline.h"

namespace {

// Size at which the font is first made, to learn its design units: large,
// so that the outlines GDI gives are not pixel-fitted.
constexpr int probeEmPixels = 2048;

double toDouble(const FIXED& f) { return f.value + f.fract / 65536.0; }

// The HUD's face: Arial, whose metrics are those of the Linux program's
// Liberation Sans. Without a name Windows would pick by locale and installed
// fonts, possibly a face without outlines.
const char* const hudFace = "Arial";

// The font of the HUD: character height as large as the face's em square in
// design units (so that GDI's coordinates are the design coordinates), normal
// weight, upright, ANSI character set, TrueType outlines.
HFONT createFont(int emPixels, const char* face) {
    return CreateFontA(-emPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// The em square of the font selected into deviceContext in its design
// units; 0 when it has no outline metrics (not a TrueType face).
int emSquareOf(HDC deviceContext) {
    const UINT size = GetOutlineTextMetricsA(deviceContext, 0, nullptr);
    if (size == 0) return 0;
    std::vector<char> buffer(size);
    auto* metrics = reinterpret_cast<OUTLINETEXTMETRICA*>(buffer.data());
    if (GetOutlineTextMetricsA(deviceContext, size, metrics) == 0) return 0;
    return static_cast<int>(metrics->otmEMSquare);
}

// The face GDI gives for the name asked, with its em square.
OutlineFace faceFor(HDC deviceContext, const char* name) {
    const HFONT font = createFont(probeEmPixels, name);
    if (font == nullptr) return {};
    const HGDIOBJ previous = SelectObject(deviceContext, font);
    char face[LF_FACESIZE] = {};
    GetTextFaceA(deviceContext, LF_FACESIZE, face);
    OutlineFace result{face, emSquareOf(deviceContext)};
    SelectObject(deviceContext, previous);
    DeleteObject(font);
    return result;
}

int CALLBACK collectTrueTypeFace(const LOGFONTA* font, const TEXTMETRICA*, DWORD type, LPARAM faces) {
    // '@' marks the vertical variant of a face.
    if ((type & TRUETYPE_FONTTYPE) != 0 && font->lfFaceName[0] != '@') {
        reinterpret_cast<std::vector<std::string>*>(faces)->push_back(font->lfFaceName);
    }
    return 1;
}

class GdiGlyphSource final : public GlyphSource {
public:
    GdiGlyphSource() : deviceContext_(CreateCompatibleDC(nullptr)) {
        if (deviceContext_ == nullptr) return;
        // An empty HUD is never silent; said once, not for every window.
        static bool said = false;
        const OutlineFace face = chooseOutlineFace(deviceContext_, hudFace);
        if (face.emSquare == 0) {
            if (!said) std::fputs("prallwerk: no TrueType face with outlines: the HUD shows no text\n", stderr);
            said = true;
            return;
        }
        if (face.name != hudFace && !said) {
            std::fprintf(stderr, "prallwerk: the HUD's face is %s, not %s\n", face.name.c_str(), hudFace);
        }
        said = true;
        font_ = createFont(face.emSquare, face.name.c_str());
        if (font_ == nullptr) return;
        previousFont_ = SelectObject(deviceContext_, font_);
        emPixels_ = face.emSquare;
    }

    ~GdiGlyphSource() override {
        if (deviceContext_ == nullptr) return;
        if (previousFont_ != nullptr) SelectObject(deviceContext_, previousFont_);
        if (font_ != nullptr) DeleteObject(font_);
        DeleteDC(deviceContext_);
    }

    GdiGlyphSource(const GdiGlyphSource&) = delete;
    GdiGlyphSource& operator=(const GdiGlyphSource&) = delete;

    GlyphOutline loadGlyph(char32_t character, double tolerance) const override {
        GlyphOutline glyph;
        if (emPixels_ == 0 || character > 0xFFFF) return glyph;
        const UINT code = static_cast<UINT>(character);
        const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
        const UINT format = GGO_NATIVE | GGO_UNHINTED;
        GLYPHMETRICS metrics = {};
        // A character the face lacks comes back as the face's default glyph;
        // like FreeType's missing glyph, it draws nothing here.
        WORD index = 0;
        const WCHAR text = static_cast<WCHAR>(code);
        if (GetGlyphIndicesW(deviceContext_, &text, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
            index == 0xFFFF) {
            return glyph;
        }
        const DWORD size = GetGlyphOutlineW(deviceContext_, code, format, &metrics, 0, nullptr, &identity);
        if (size == GDI_ERROR) return glyph;
        const double unitsToEm = 1.0 / emPixels_;
        if (size > 0) {
            std::vector<char> buffer(size);
            if (GetGlyphOutlineW(deviceContext_, code, format, &metrics, size, buffer.data(), &identity) == GDI_ERROR) {
                return glyph;
            }
            glyph.contours = contoursOf(buffer, unitsToEm, tolerance);
            tidyContours(glyph.contours);
            glyph.fill = fillContours(glyph.contours);
        }
        glyph.advance = roundAdvance(metrics.gmCellIncX * unitsToEm);
        return glyph;
    }

private:
    // Walks GDI's native outline: per contour a header with its start point,
    // then runs of lines, quadratic splines (consecutive control points with
    // the on-curve points halfway between them implied) and cubic Béziers.
    static std::vector<Contour> contoursOf(const std::vector<char>& buffer, double unitsToEm, double tolerance) {
        std::vector<Contour> contours;
        const auto point = [unitsToEm](const POINTFX& p) {
            return OutlinePoint{toDouble(p.x) * unitsToEm, toDouble(p.y) * unitsToEm};
        };
        const char* at = buffer.data();
        const char* const end = at + buffer.size();
        while (at + sizeof(TTPOLYGONHEADER) <= end) {
            const auto* header = reinterpret_cast<const TTPOLYGONHEADER*>(at);
            if (header->dwType != TT_POLYGON_TYPE || header->cb < sizeof(TTPOLYGONHEADER) ||
                at + header->cb > end) {
                break;
            }
            Contour contour{point(header->pfxStart)};
            const char* curveAt = at + sizeof(TTPOLYGONHEADER);
            const char* const contourEnd = at + header->cb;
            while (curveAt + sizeof(WORD) * 2 <= contourEnd) {
                const auto* curve = reinterpret_cast<const TTPOLYCURVE*>(curveAt);
                const int count = curve->cpfx;
                const POINTFX* points = curve->apfx;
                if (curveAt + sizeof(WORD) * 2 + count * sizeof(POINTFX) > contourEnd) break;
                if (curve->wType == TT_PRIM_LINE) {
                    for (int i = 0; i < count; ++i) contour.push_back(point(points[i]));
                } else if (curve->wType == TT_PRIM_QSPLINE) {
                    for (int i = 0; i + 1 < count; ++i) {
                        const OutlinePoint from = contour.back();
                        const OutlinePoint control = point(points[i]);
                        OutlinePoint to = point(points[i + 1]);
                        if (i + 2 < count) to = {(control.x + to.x) / 2.0, (control.y + to.y) / 2.0};
                        flattenQuadratic(from, control, to, tolerance, contour);
                    }
                } else if (curve->wType == TT_PRIM_CSPLINE) {
                    for (int i = 0; i + 2 < count; i += 3) {
                        const OutlinePoint from = contour.back();
                        flattenCubic(from, point(points[i]), point(points[i + 1]), point(points[i + 2]), tolerance,
                                     contour);
                    }
                }
                curveAt += sizeof(WORD) * 2 + count * sizeof(POINTFX);
            }
            contours.push_back(std::move(contour));
            at = contourEnd;
        }
        return contours;
    }

    HDC deviceContext_;
    HGDIOBJ previousFont_ = nullptr;
    HFONT font_ = nullptr;
    int emPixels_ = 0;  // em square in GDI's units; 0 when there is no usable face
};

}  // namespace

OutlineFace chooseOutlineFace(HDC deviceContext, const char* preferred) {
    OutlineFace face = faceFor(deviceContext, preferred);
    if (face.emSquare > 0) return face;
    std::vector<std::string> faces;
    LOGFONTA all = {};
    all.lfCharSet = ANSI_CHARSET;
    EnumFontFamiliesExA(deviceContext, &all, collectTrueTypeFace, reinterpret_cast<LPARAM>(&faces), 0);
    for (const std::string& name : faces) {
        face = faceFor(deviceContext, name.c_str());
        if (face.emSquare > 0) return face;
    }
    return {};
}

std::unique_ptr<GlyphSource> openGdiDefaultFace() { return std::make_unique<GdiGlyphSource>(); }
