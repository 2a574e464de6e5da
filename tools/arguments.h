#pragma once

#include <cerrno>
#include <cstdlib>

// Command-line values of the tools. Each accepts the whole text or nothing.

// A decimal integer within [low, high].
inline bool parseLong(const char* text, long low, long high, long& value) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}
