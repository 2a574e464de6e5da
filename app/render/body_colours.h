#pragma once

// The colour of each body: its lit material, its velocity line and its HUD
// row.

constexpr int bodyColourCount = 7;

// RGBA per body index: the colour of body j's velocity line, its HUD row and
// its lit material. Yellow, red, green, blue, magenta, cyan, orange. Bodies
// beyond the seventh (a scene file's) take the colours again in turn: body j
// has row j mod 7.
inline constexpr float bodyColours[bodyColourCount][4] = {
    {1.0f, 1.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f, 1.0f},
    {1.0f, 0.0f, 1.0f, 1.0f}, {0.0f, 1.0f, 1.0f, 1.0f}, {1.0f, 0.5f, 0.0f, 1.0f},
};

// The colour row of body j (j >= 0).
inline int bodyColourRow(int j) { return j % bodyColourCount; }
