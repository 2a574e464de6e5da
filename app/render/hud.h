#pragma once

#include <string>

#include "prallwerk/world/rules.h"

// The head-up display: two translucent panels and the German texts with the
// body table, drawn in eye coordinates over the scene.

// Lower-left panel behind the body table, in eye coordinates at z = -5.
// Its top edge and right edge carry the border line.
constexpr float lowerPanelLeft = -5.0f;
constexpr float lowerPanelRight = 0.1f;
constexpr float lowerPanelTop = -1.4f;
constexpr float lowerPanelBottom = -3.0f;
// Top panel behind the controls and the time; its lower edge carries the
// border line.
constexpr float topPanelLeft = -5.0f;
constexpr float topPanelRight = 5.0f;
constexpr float topPanelBottom = 1.65f;
constexpr float topPanelTop = 3.0f;
constexpr float panelDepth = -5.0f;

// Where the two right-aligned texts of the top lines (time and wireframe)
// end. At 1024 x 768 the view reaches to x = 33.1 at their depth: ending at
// 32 keeps their last letters inside it, with the margin that the left
// column has at x = -32.
constexpr float rightColumnEnd = 32.0f;

// The HUD's line on the rules the world runs by, right of the body table's
// labels: "Regeln: klassisch" or "Regeln: physikalisch".
const char* rulesLine(prallwerk::Rules rules);

// text as it fits into width em units of the built font: whole, or cut at
// its end with "…" (Windows-1252 0x85) so that text and "…" fit.
std::string cutToWidth(const std::string& text, float width);

// Draws the HUD with the modelview matrix at the identity and lighting off:
// panels, borders, texts. With wireframe on, the panels and letters are
// still filled. Leaves blending off, depth testing on and the polygon mode as
// wireframe asks.
void drawHud();
