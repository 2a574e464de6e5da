#pragma once

#include <memory>

#include "app/text/glyph_outline.h"

// The page's letters: the glyph pack that the build made from its host's
// font (glyph_pack.h), compiled in. Never null: a damaged pack is said on
// standard error and gives every glyph empty.
std::unique_ptr<GlyphSource> openShippedGlyphs();
