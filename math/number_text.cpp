#include "prallwerk/math/number_text.h"

#include <algorithm>
#include <cmath>
#include <iterator>

// Header-only: the conversions are compiled into this file, so that the
// engine needs no library of them at run time.
#define FMT_HEADER_ONLY
#include <fmt/format.h>

// libstdc++ reads doubles with std::from_chars; Emscripten's libc++ has
// only its integer form, and fast_float (the library libstdc++'s own is
// built on) reads them there.
#include <charconv>
#if !defined(__cpp_lib_to_chars)
#include <fast_float/fast_float.h>
#endif

namespace prallwerk {

void appendSignificant17(std::string& out, double v) {
    fmt::format_to(std::back_inserter(out), FMT_STRING("{:.17g}"), v);
}

void appendShortest(std::string& out, double v) { fmt::format_to(std::back_inserter(out), FMT_STRING("{}"), v); }

void appendShortest(std::string& out, float v) { fmt::format_to(std::back_inserter(out), FMT_STRING("{}"), v); }

std::string fixedText(double v, int decimals) {
    return fmt::format(FMT_STRING("{:.{}f}"), v, decimals);
}

namespace {

// The grammar readDecimal takes, a JSON number's, checked before any
// conversion so that both converters see only texts they agree on.
bool isDecimal(const char* p, const char* last) {
    auto digits = [&p, last] {
        const char* start = p;
        while (p != last && *p >= '0' && *p <= '9') ++p;
        return p != start;
    };
    if (p != last && *p == '-') ++p;
    if (p != last && *p == '0') {
        ++p;
    } else if (!digits()) {
        return false;
    }
    if (p != last && *p == '.') {
        ++p;
        if (!digits()) return false;
    }
    if (p != last && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p != last && (*p == '+' || *p == '-')) ++p;
        if (!digits()) return false;
    }
    return p == last;
}

#if defined(__cpp_lib_to_chars)
// Whether a decimal (already checked) that std::from_chars found out of range
// lies below the smallest subnormal rather than above the largest double:
// the power of ten of its first significant digit is negative. Exponents are
// held within a range far beyond either limit, so no count overflows.
bool isBelowRange(const char* p, const char* last) {
    constexpr long bound = 100000000;  // decimal exponents beyond any double's
    if (*p == '-') ++p;
    long integerDigits = 0, leadingZeros = 0;
    bool significant = false, point = false;
    for (; p != last && *p != 'e' && *p != 'E'; ++p) {
        if (*p == '.') {
            point = true;
            continue;
        }
        significant = significant || *p != '0';
        if (!point && integerDigits < bound) ++integerDigits;
        if (!significant && leadingZeros < bound) ++leadingZeros;
    }
    long exponent = 0;
    if (p != last) {
        ++p;
        const bool negative = *p == '-';
        if (*p == '+' || *p == '-') ++p;
        for (; p != last; ++p) exponent = std::min(bound, exponent * 10 + (*p - '0'));
        if (negative) exponent = -exponent;
    }
    return integerDigits - leadingZeros - 1 + exponent < 0;
}
#endif

}  // namespace

DecimalRead readDecimal(const char* first, const char* last, double& value) {
    if (!isDecimal(first, last)) return DecimalRead::invalid;
    double v = 0.0;
#if defined(__cpp_lib_to_chars)
    const std::from_chars_result r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // The correctly rounded value of a decimal below the smallest
        // subnormal is a zero of its sign, as fast_float gives it.
        if (!isBelowRange(first, last)) return DecimalRead::outOfRange;
        v = *first == '-' ? -0.0 : 0.0;
    } else if (r.ec != std::errc() || r.ptr != last) {
        return DecimalRead::invalid;
    }
#else
    const fast_float::from_chars_result r = fast_float::from_chars(first, last, v, fast_float::chars_format::general);
    if (r.ec != std::errc() || r.ptr != last) return DecimalRead::invalid;
    if (std::isinf(v)) return DecimalRead::outOfRange;
#endif
    value = v;
    return DecimalRead::ok;
}

}  // namespace prallwerk
