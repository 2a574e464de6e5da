#pragma once

#include <cerrno>
#include <cstdlib>

// Command-line values of the tools. Each accepts the whole text or nothing.

// A decimal integer within [low, high]. Long long, as a Windows long has only
// 32 bits and the tools take unsigned 32-bit values.
inline bool parseLong(const char* text, long long low, long long high, long long& value) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}
