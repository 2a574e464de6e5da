#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "prallwerk/math/number_text.h"

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

// The trace's lines, without their line ends.
inline std::vector<std::string> traceLines(const TraceOptions& options) {
    std::istringstream trace(traceText(options));
    std::vector<std::string> lines;
    for (std::string line; std::getline(trace, line);) lines.push_back(line);
    return lines;
}

// A number as the trace writes it, through the tools' formatter.
inline std::string traceNumber(double v) {
    std::string text;
    prallwerk::appendSignificant17(text, v);
    return text;
}
