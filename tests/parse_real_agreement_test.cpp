// parse_real against the C library's correctly rounded strtof on random
// decimal texts of every shape the data file may hold: short and long
// mantissas, leading and trailing zeros, points anywhere, e/E/d/D exponents
// near the single-precision range's ends, and exact halfway cases between
// two singles, whose rounding a shortcut through double precision can get
// wrong.
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "recio/number_text.hpp"

namespace itersolve {
namespace {

float c_library_value(std::string text) {
    for (char& c : text)
        if (c == 'd' || c == 'D') c = 'e';
    return std::strtof(text.c_str(), nullptr);
}

void expect_agreement(const std::string& text) {
    float ours = 0.0f;
    const ParseStatus status = parse_real(text, ours);
    const float theirs = c_library_value(text);
    if (std::isinf(theirs)) {
        EXPECT_EQ(status, ParseStatus::out_of_range) << text;
        return;
    }
    ASSERT_EQ(status, ParseStatus::ok) << text;
    std::uint32_t a, b;
    std::memcpy(&a, &ours, 4);
    std::memcpy(&b, &theirs, 4);
    EXPECT_EQ(a, b) << text << ": " << ours << " vs " << theirs;
}

TEST(ParseRealAgreement, RandomDecimalsRoundLikeTheCLibrary) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    std::mt19937_64 rng(2024);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char marks[] = {'e', 'E', 'd', 'D'};
    for (int k = 0; k < 200000; ++k) {
        std::string t;
        if (pick(0, 3) == 0) t += pick(0, 1) ? '-' : '+';
        const int int_digits = pick(0, 12), frac_digits = pick(0, 12);
        for (int i = 0; i < pick(0, 2); ++i) t += '0';
        for (int i = 0; i < int_digits; ++i) t += static_cast<char>('0' + pick(0, 9));
        if (frac_digits > 0 || int_digits == 0) t += '.';
        for (int i = 0; i < frac_digits; ++i) t += static_cast<char>('0' + pick(0, 9));
        if (int_digits + frac_digits == 0) t += '7';
        if (pick(0, 2) == 0) {
            t += marks[pick(0, 3)];
            t += std::to_string(pick(-50, 45));
        }
        expect_agreement(t);
        if (HasFailure()) return;
    }
}

TEST(ParseRealAgreement, HalfwayCasesBetweenTwoSingles) {
    // m + 1/2 units of the last place of a single, written out exactly in
    // decimal (and nudged by one in the last digit): the double nearest to
    // the nudged text may itself be the halfway point.
    std::mt19937 rng(7);
    for (int k = 0; k < 20000; ++k) {
        const float f = std::ldexp(static_cast<float>(rng() % (1u << 23) + (1u << 23)), static_cast<int>(rng() % 40) - 43);
        const double half = (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 1e30f))) / 2.0;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", half);
        expect_agreement(buf);
        std::snprintf(buf, sizeof buf, "%.25g", half);
        expect_agreement(buf);
        std::snprintf(buf, sizeof buf, "%.15g", half);
        expect_agreement(buf);
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace itersolve
