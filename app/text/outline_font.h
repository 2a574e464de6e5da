#pragma once

// Extruded 3-D letters for the HUD: one display list per character code,
// each drawing its glyph and then moving the origin on by the glyph's
// advance, and printText to format and place a text with them.
//
// Character codes are Windows-1252 bytes ("\xE4" is ä). Lengths are em
// units: the font's em square is 1.0 unit wide and high, the baseline runs
// through the origin, the front face lies in z = 0 and the back face in
// z = -glyphDepth (0.05, glyph_mesh.h).
//
// Everything here except formatText and textWidth needs a current GL
// context, and the lists belong to that context.

#include "app/text/glyph_outline.h"

#include <array>
#include <cstdarg>
#include <cstddef>

constexpr int fontGlyphCount = 256;          // display lists, one per byte value
constexpr std::size_t textBufferSize = 256;  // a formatted text keeps at most 255 characters

// Largest distance, in em units, between a curved stroke and the straight
// edges that replace it. The HUD's letters are 13 to 15 pixels to the em, so
// this is about a third of a pixel: finer tolerances change almost no pixel
// but cost a fifth more triangles at half this value.
constexpr double glyphFlatness = 0.02;

struct GlyphMetrics {
    float advance = 0.0f;  // em units the glyph's list moves the origin along +x
};

// First of the fontGlyphCount consecutive lists: list fontListBase + c draws
// the glyph of code c. 0 while no lists exist.
extern unsigned int fontListBase;

// Advance of every code; zero for codes without a glyph and while no font is
// built. The list of a code translates by exactly this value.
extern std::array<GlyphMetrics, fontGlyphCount> glyphMetrics;

// Builds the lists and metrics from the glyphs of source (the platform's
// default face: Platform::openGlyphSource) for codes 0 to 254; the list of
// code 255 stays empty. Deletes any font built before. When the source has
// no face, the lists are created empty and every advance is zero, so that
// texts draw nothing.
void buildFontFrom(const GlyphSource& source);

// The glyph that the list of a character code draws: source's glyph of the
// code's Windows-1252 character with curves flattened to glyphFlatness, or
// no glyph for code 255 and the codes that name no character.
GlyphOutline fontGlyph(const GlyphSource& source, int code);

// Deletes the lists and zeroes the metrics. Safe to call when nothing is
// built.
void deleteFont();

// Draws the printf-style formatted text with its baseline at height y and
// its front face at depth z: starting at x when leftAligned, otherwise
// ending at x. A text longer than 255 characters is cut to its first 255.
// Draws nothing for a null format or before the font is built. Leaves the
// modelview matrix as it found it: exactly so for a pure translation when x,
// y, z and the pen positions are multiples of 2^-16 well below 128 units, as
// in the HUD; otherwise up to single-precision rounding.
void printText(bool leftAligned, float x, float y, float z, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// Formats into buffer, cutting the text to its first textBufferSize - 1
// characters, always terminated. Returns the number of characters kept
// (0 when the format fails).
std::size_t formatText(char (&buffer)[textBufferSize], const char* format, std::va_list args);

// Sum of the advances of the first length bytes of text, added up in single
// precision in text order.
float textWidth(const char* text, std::size_t length);
