// The tools' number formatter against an exact reference: the C++ library's
// floating-point std::to_chars where it has one, else the C library's
// snprintf (musl's is exact). Both round the exact binary value, so any digit
// or notation the formatter chooses differently shows.
#include "tools/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string reference(double v, int decimals) {  // decimals < 0: %.17g
    char text[400];
#if defined(__cpp_lib_to_chars)
    const auto format = decimals < 0 ? std::chars_format::general : std::chars_format::fixed;
    return std::string(text, std::to_chars(text, text + sizeof text, v, format, decimals < 0 ? 17 : decimals).ptr);
#else
    std::snprintf(text, sizeof text, decimals < 0 ? "%.*g" : "%.*f", decimals < 0 ? 17 : decimals, v);
    return text;
#endif
}

}  // namespace

// Where %.17g's choices turn (fixed or exponent notation at 1e-4 and 1e17,
// after rounding; rounding up to a new power of ten), zeros, subnormals,
// extremes, non-finite values, decimal ties that are not binary ones, and
// random values of every exponent and of the engine's magnitudes.
TEST(NumberText, MatchesAnExactReference) {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.0, -0.0, 0.1, 2.675, 1.005, 0.125, 1e22, 0.30000000000000004, 9007199254740993.0,
                                  5e-324, 2.2250738585072014e-308, std::numeric_limits<double>::max(), inf, -inf,
                                  std::nan(""), -std::nan("")};
    for (int e = -8; e <= 20; ++e) {
        const double power = std::strtod(("1e" + std::to_string(e)).c_str(), nullptr);
        for (double v : {power, -power}) values.insert(values.end(), {std::nextafter(v, 0.0), v, std::nextafter(v, 2 * v)});
    }
    std::mt19937_64 rng(20261207);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-9, 20);
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = rng();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        values.push_back(any);
        values.push_back((i % 2 ? -1 : 1) * mantissa(rng) * std::pow(10.0, exponent(rng)));
    }
    int mismatches = 0;
    for (double v : values) {
        std::string got;
        appendSignificant17(got, v);
        if (got != reference(v, -1) && ++mismatches <= 10) ADD_FAILURE() << std::hexfloat << v << ": " << got;
        // Seventeen digits tell every double apart.
        if (std::isfinite(v) && std::strtod(got.c_str(), nullptr) != v && ++mismatches <= 10) {
            ADD_FAILURE() << got << " reads back otherwise";
        }
        for (int decimals : {0, 3, 6}) {
            if (fixedText(v, decimals) != reference(v, decimals) && ++mismatches <= 10) {
                ADD_FAILURE() << std::hexfloat << v << " to " << decimals << ": " << fixedText(v, decimals);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}
