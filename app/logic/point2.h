#pragma once

// A point in client pixels, origin top-left, y downwards: where the pointer
// is, read by the arcball and written by the window procedure.
struct Point2 {
    float x = 0.0f;
    float y = 0.0f;
};
