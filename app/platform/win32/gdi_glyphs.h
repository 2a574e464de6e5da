#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <memory>
#include <string>

#include "app/text/glyph_outline.h"

// A face with outlines, as GDI names it.
struct OutlineFace {
    std::string name;  // empty when there is none
    int emSquare = 0;  // in design units; 0 when the face has no outlines
};

// The face of the HUD's letters: the face preferred when GDI has outlines
// for the font it gives for that name (which may be a substitute under
// another name), else the first TrueType face that has them.
OutlineFace chooseOutlineFace(HDC deviceContext, const char* preferred);

// The HUD's face from GDI (chooseOutlineFace, Arial preferred), read glyph
// by glyph. Never null: without a face every glyph is empty.
std::unique_ptr<GlyphSource> openGdiDefaultFace();
