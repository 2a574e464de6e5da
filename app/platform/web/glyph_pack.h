#pragma once

// The page's letters travel as a glyph pack: the flat outline, the fill and
// the advance of every character code, made on the build host from its fonts
// (FreeType, the tessellator) and read back in the page, which has neither.
// The page then extrudes them with the same code as the desktop, so its
// letters are the desktop's, point for point.
//
// Layout, little-endian throughout: the magic "PWG1", the number of glyphs
// (u32), then per glyph: its advance (f32 bits), the number of contours
// (u32), each contour's number of points (u32 each), every contour point
// (two f64 each), the number of extra points (u32) and their coordinates
// (two f64 each), the number of fill triangles (u32) and their corners (three
// u32 each). Coordinates are the outline's own doubles, bit for bit.

#include <cstddef>
#include <vector>

#include "app/text/glyph_outline.h"

// The pack of glyphs[0], glyphs[1], ...: glyph i is that of character code i.
std::vector<unsigned char> packGlyphs(const std::vector<GlyphOutline>& glyphs);

// The glyphs of a pack, or false (glyphs left empty) when the bytes are not a
// whole pack: a wrong magic, a count that runs past the end, bytes left over,
// or a fill corner that names no point of its glyph.
bool unpackGlyphs(const unsigned char* bytes, std::size_t size, std::vector<GlyphOutline>& glyphs);
