// The engine's number formatter against an exact reference: the C++ library's
// floating-point std::to_chars where it has one, else the C library's
// snprintf (musl's is exact). Both round the exact binary value, so any digit
// or notation the formatter chooses differently shows.
#include "prallwerk/math/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace prallwerk;

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

// The shortest digits read back to the same value: random doubles and
// floats of every exponent (that they are the shortest is {fmt}'s promise).
TEST(NumberText, ShortestDigitsReadBackAndAreShortest) {
    std::mt19937_64 rng(20261208);
    int mismatches = 0;
    for (int i = 0; i < 100000; ++i) {
        const uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) continue;
        std::string text;
        appendShortest(text, v);
        double back = 0.0;
        if ((readDecimal(text.data(), text.data() + text.size(), back) != DecimalRead::ok ||
             std::memcmp(&back, &v, sizeof v) != 0) && ++mismatches <= 10) {
            ADD_FAILURE() << std::hexfloat << v << " written as " << text;
        }
        const uint32_t fbits = static_cast<uint32_t>(bits >> 32);
        float f;
        std::memcpy(&f, &fbits, sizeof f);
        if (!std::isfinite(f)) continue;
        std::string ftext;
        appendShortest(ftext, f);
        if ((readDecimal(ftext.data(), ftext.data() + ftext.size(), back) != DecimalRead::ok ||
             static_cast<float>(back) != f) && f != 0.0f && ++mismatches <= 10) {
            ADD_FAILURE() << std::hexfloat << f << " written as " << ftext;
        }
    }
    EXPECT_EQ(mismatches, 0);
    std::string text;
    for (double v : {0.1, 4.0, -0.0, 1e22, 1e-5, 5e-324, 1e16, 123456789012345.6}) {
        appendShortest(text, v);
        text += ' ';
    }
    appendShortest(text, 4.1887903f);
    EXPECT_EQ(text, "0.1 4 -0 1e+22 1e-05 5e-324 1e+16 123456789012345.6 4.1887903");
}

// What readDecimal takes (a JSON number only) and what it makes of numbers
// beyond a double's range, the same whichever converter the platform has.
TEST(NumberText, ReadDecimalTakesJsonNumbers) {
    const std::string thousandZeros(1000, '0');
    const struct {
        std::string text;
        DecimalRead result;
        double value;
    } cases[] = {
        {"0", DecimalRead::ok, 0.0},
        {"-0", DecimalRead::ok, -0.0},
        {"-0.0e+0", DecimalRead::ok, -0.0},
        {"12.5E-1", DecimalRead::ok, 1.25},
        {"0.30000000000000004", DecimalRead::ok, 0.30000000000000004},
        {"1e-400", DecimalRead::ok, 0.0},
        {"-1e-400", DecimalRead::ok, -0.0},
        {"0.000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000001",
         DecimalRead::ok, 0.0},
        {"-1e-99999999999999999999", DecimalRead::ok, -0.0},
        {"2.4703282292062328e-324", DecimalRead::ok, 5e-324},
        {"1.7976931348623157e308", DecimalRead::ok, 1.7976931348623157e308},
        {"1.7976931348623159e308", DecimalRead::outOfRange, 0.0},
        {"-1e99999999999999999999", DecimalRead::outOfRange, 0.0},
        {"1000e306", DecimalRead::outOfRange, 0.0},
        // Beyond the doubles' range either way only once the digits are
        // counted with the exponent: 10^-1001 x 10^600 and 10^1000 x 10^-600.
        {"0." + thousandZeros + "1e600", DecimalRead::ok, 0.0},
        {"-0." + thousandZeros + "1e+600", DecimalRead::ok, -0.0},
        {"1" + thousandZeros + "e-600", DecimalRead::outOfRange, 0.0},
        {"-1" + thousandZeros + ".5e-600", DecimalRead::outOfRange, 0.0},
        {"", DecimalRead::invalid, 0.0},
        {"-", DecimalRead::invalid, 0.0},
        {"01", DecimalRead::invalid, 0.0},
        {"1.", DecimalRead::invalid, 0.0},
        {".5", DecimalRead::invalid, 0.0},
        {"+1", DecimalRead::invalid, 0.0},
        {"1e", DecimalRead::invalid, 0.0},
        {"1e+", DecimalRead::invalid, 0.0},
        {"1 ", DecimalRead::invalid, 0.0},
        {"inf", DecimalRead::invalid, 0.0},
        {"nan", DecimalRead::invalid, 0.0},
        {"0x1p3", DecimalRead::invalid, 0.0},
        {"1,5", DecimalRead::invalid, 0.0},
    };
    for (const auto& c : cases) {
        double v = 42.0;
        const std::string& text = c.text;
        EXPECT_EQ(readDecimal(text.data(), text.data() + text.size(), v), c.result) << c.text;
        const double want = c.result == DecimalRead::ok ? c.value : 42.0;
        EXPECT_EQ(std::memcmp(&v, &want, sizeof v), 0) << c.text << " gave " << v;
    }
}
