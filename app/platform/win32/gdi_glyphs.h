#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

// A face with outlines, as GDI names it.
struct OutlineFace {
    std::string name;  // empty when there is none
    int emSquare = 0;  // in design units; 0 when the face has no outlines
};

// The face of the HUD's letters: the face preferred when GDI has outlines
// for the font it gives for that name (which may be a substitute under
// another name), else the first TrueType face that has them.
OutlineFace chooseOutlineFace(HDC deviceContext, const char* preferred);
