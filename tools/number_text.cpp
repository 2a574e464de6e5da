#include "tools/number_text.h"

#include <iterator>

// Header-only: the conversion is compiled into this file.
#define FMT_HEADER_ONLY
#include <fmt/format.h>

void appendSignificant17(std::string& out, double v) {
    fmt::format_to(std::back_inserter(out), FMT_STRING("{:.17g}"), v);
}

std::string fixedText(double v, int decimals) {
    return fmt::format(FMT_STRING("{:.{}f}"), v, decimals);
}
