// The tools' number formatter against an exact reference: the C++ library's
// floating-point std::to_chars where it has one, else the C library's
// snprintf (musl's is exact). Both round the exact binary value, so any digit
// or notation the formatter chooses differently shows.
#include "tools/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string reference(double v, int decimals) {  // decimals < 0: %.17g
#if defined(__cpp_lib_to_chars)
    char text[400];
    const auto format = decimals < 0 ? std::chars_format::general : std::chars_format::fixed;
    return std::string(text, std::to_chars(text, text + sizeof text, v, format, decimals < 0 ? 17 : decimals).ptr);
#else
    char text[400];
    if (decimals < 0) {
        std::snprintf(text, sizeof text, "%.17g", v);
    } else {
        std::snprintf(text, sizeof text, "%.*f", decimals, v);
    }
    return text;
#endif
}

std::string significant17(double v) {
    std::string text;
    appendSignificant17(text, v);
    return text;
}

double fromBits(uint64_t b) {
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
}

// Values where %.17g's choices turn: the switch between fixed and exponent
// notation at 1e-4 and 1e17 (taken after rounding to 17 digits), rounding up
// to a new power of ten, ties, zeros, subnormals and the extremes.
std::vector<double> hardValues() {
    std::vector<double> values = {0.0, -0.0, 0.1, 0.5, 1.0, -2.5, 1e-4, 1e-5, 1e16, 1e17, 123456789012345678.0,
                                  0.30000000000000004, 9007199254740993.0, 5e-324, 2.2250738585072014e-308,
                                  std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(), std::nan(""), -std::nan("")};
    for (int e = -8; e <= 20; ++e) {
        const double power = std::strtod(("1e" + std::to_string(e)).c_str(), nullptr);
        for (double v : {power, -power}) {
            values.push_back(std::nextafter(v, 0.0));
            values.push_back(v);
            values.push_back(std::nextafter(v, 2 * v));
        }
    }
    return values;
}

}  // namespace

TEST(NumberText, Significant17MatchesTheExactReference) {
    std::vector<double> values = hardValues();
    std::mt19937_64 rng(20261207);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-9, 20);
    for (int i = 0; i < 100000; ++i) {
        values.push_back(fromBits(rng()));  // any bit pattern, mostly far exponents
        values.push_back((i % 2 ? -1 : 1) * mantissa(rng) * std::pow(10.0, exponent(rng)));  // both notations
    }
    int mismatches = 0;
    for (double v : values) {
        const std::string got = significant17(v), want = reference(v, -1);
        if (got != want && ++mismatches <= 10) ADD_FAILURE() << std::hexfloat << v << ": " << got << " want " << want;
        // Seventeen digits tell every double apart.
        if (std::isfinite(v)) {
            EXPECT_EQ(std::strtod(got.c_str(), nullptr), v) << got;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NumberText, FixedMatchesTheExactReference) {
    std::vector<double> values = hardValues();
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> any(-1e6, 1e6);
    for (int i = 0; i < 20000; ++i) values.push_back(any(rng));
    // Ties in decimal that are not ties in binary, and exact binary ties.
    for (double v : {0.125, 0.375, 2.675, 1.005, 0.0005, -0.0625, 1e22}) values.push_back(v);
    int mismatches = 0;
    for (double v : values) {
        for (int decimals : {0, 2, 3, 6}) {
            const std::string got = fixedText(v, decimals), want = reference(v, decimals);
            if (got != want && ++mismatches <= 10) {
                ADD_FAILURE() << std::hexfloat << v << " to " << decimals << ": " << got << " want " << want;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}
