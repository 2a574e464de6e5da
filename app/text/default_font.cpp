// buildFont on the platform's default face: the one piece of the text that
// needs the platform's glyph library, kept apart so that the rest of the
// text links no platform.

#include "app/text/outline_font.h"

void buildFont() { buildFontFrom(*openDefaultGlyphSource()); }
