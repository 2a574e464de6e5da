#pragma once

#include <memory>

#include "app/text/glyph_outline.h"

// The glyph source whose letters glyph_meshes prints: the platform's own,
// given by one of glyphs_freetype.cpp (Linux) and glyphs_shipped.cpp (the
// page), whichever the build links.
std::unique_ptr<GlyphSource> openGlyphsUnderTest();
