#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/trace.h"

// The trace as the tool writes it, read back from a temporary file (which the
// Windows C library has too, unlike a memory stream).
inline std::string traceText(const TraceOptions& options) {
    std::FILE* out = std::tmpfile();
    if (out == nullptr) {
        ADD_FAILURE() << "no temporary file";
        return {};
    }
    writeTrace(options, out);
    std::rewind(out);
    std::string text;
    char buffer[1 << 16];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, n);
    std::fclose(out);
    return text;
}
