#include "app/platform/web/shipped_glyphs.h"
#include "glyphs_under_test.h"

std::unique_ptr<GlyphSource> openGlyphsUnderTest() { return openShippedGlyphs(); }
