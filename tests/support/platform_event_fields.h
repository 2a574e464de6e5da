#pragma once

// Platform events as the translation tables' tests write and compare them:
// one call for the event a row expects, and its fields as one tuple.
#include <tuple>

#include "app/seam/platform.h"

inline PlatformEvent platformEvent(PlatformEvent::Kind kind, int code = 0, int x = 0, int y = 0,
                                   unsigned buttons = 0, bool down = false, SizeKind size = SizeKind::other) {
    PlatformEvent e;
    e.kind = kind;
    e.code = code;
    e.x = x;
    e.y = y;
    e.buttons = buttons;
    e.down = down;
    e.sizeKind = size;
    return e;
}

inline auto fields(const PlatformEvent& e) {
    return std::tie(e.kind, e.code, e.x, e.y, e.buttons, e.down, e.sizeKind);
}
