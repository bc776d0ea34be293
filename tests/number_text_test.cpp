// Numbers as text: the values a free-form record may hold, the free-form
// rendering and the fixed-width fields of the report.
//
// Expected reals are written as hexadecimal floats or as values whose single
// precision form is exact; the decimal strings near rounding boundaries were
// worked out with exact rational arithmetic.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>

#include "recio/number_text.hpp"

namespace itersolve {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::string describe(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%a (bits %08x)", static_cast<double>(v), std::bit_cast<std::uint32_t>(v));
    return buf;
}

// ---------------------------------------------------------------- parse_real

struct RealCase {
    const char* text;
    float expected;  // compared bit for bit (so the sign of zero counts)
};
void PrintTo(const RealCase& c, std::ostream* os) { *os << '"' << c.text << "\" -> " << describe(c.expected); }

class ParseRealAccepts : public ::testing::TestWithParam<RealCase> {};

TEST_P(ParseRealAccepts, RoundsOnceToSingle) {
    const RealCase& c = GetParam();
    float v = 12345.0f;
    ASSERT_EQ(parse_real(c.text, v), ParseStatus::ok) << c.text;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(v), std::bit_cast<std::uint32_t>(c.expected))
        << c.text << ": got " << describe(v) << ", want " << describe(c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseRealAccepts,
    ::testing::Values(
        // Usual forms: integer, signed, fraction without integer part or
        // without fraction digits, exponents with e, E, d, D.
        RealCase{"3", 3.0f}, RealCase{"+2", 2.0f}, RealCase{"-0.5", -0.5f}, RealCase{".25", 0.25f},
        RealCase{"3.", 3.0f}, RealCase{"-.75", -0.75f}, RealCase{"007.50", 7.5f}, RealCase{"1e-3", 0x1.0624dep-10f},
        RealCase{"1.5E+2", 150.0f}, RealCase{"1d-3", 0x1.0624dep-10f}, RealCase{"1.5D2", 150.0f},
        RealCase{"2.5e0", 2.5f}, RealCase{"0.1", 0x1.99999ap-4f}, RealCase{"-0", -0.0f}, RealCase{"0.000", 0.0f},
        // The largest finite single, and the decimal just below the point
        // where rounding would carry into infinity.
        RealCase{"3.4028235e38", 0x1.fffffep127f}, RealCase{"3.40282356e38", 0x1.fffffep127f},
        // Subnormals and underflow: below half the smallest subnormal rounds
        // to a zero of the value's sign, above it to the smallest subnormal.
        RealCase{"1e-40", 0x1.16c2p-133f}, RealCase{"1e-45", 0x1p-149f}, RealCase{"8e-46", 0x1p-149f},
        RealCase{"7e-46", 0.0f}, RealCase{"-7e-46", -0.0f}, RealCase{"1e-50", 0.0f}, RealCase{"-1D-99999999999", -0.0f},
        // Rounded once, directly: these two lie a hair beside a halfway point
        // between singles.  Rounding to double first lands exactly on the
        // halfway point, and ties-to-even then picks the other neighbour
        // (1.0 and 1 + 2^-22 respectively).
        RealCase{"1.000000059604644775390625000001", 0x1.000002p0f},
        RealCase{"1.000000178813934326171874999", 0x1.000002p0f},
        // The same with only 15 digits: just above the halfway point between
        // 0x1.9df790p0 and 0x1.9df792p0, onto which rounding to double falls.
        RealCase{"1.61705881357193", 0x1.9df792p0f},
        // Exact halfway points between singles go to the even neighbour.
        RealCase{"16777217", 16777216.0f}, RealCase{"16777219", 16777220.0f}, RealCase{"16777217.000001", 16777218.0f},
        // Infinities in any case, with or without sign.
        RealCase{"Inf", kInf}, RealCase{"-inf", -kInf}, RealCase{"INFINITY", kInf}, RealCase{"+Infinity", kInf},
        RealCase{"-iNfInItY", -kInf}));

TEST(ParseReal, AcceptsNotANumberInAnyCaseAndSign) {
    for (const char* text : {"NaN", "nan", "NAN", "+nan", "-NaN"}) {
        float v = 0.0f;
        ASSERT_EQ(parse_real(text, v), ParseStatus::ok) << text;
        EXPECT_TRUE(std::isnan(v)) << text;
    }
}

struct RejectCase {
    const char* text;
    ParseStatus status;
};
void PrintTo(const RejectCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseRealRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(ParseRealRejects, WithItsReason) {
    float v = 0.0f;
    EXPECT_EQ(parse_real(GetParam().text, v), GetParam().status) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseRealRejects,
    ::testing::Values(RejectCase{"", ParseStatus::malformed}, RejectCase{"1.2.3", ParseStatus::malformed},
                      RejectCase{"1e", ParseStatus::malformed}, RejectCase{"1e+", ParseStatus::malformed},
                      RejectCase{"e5", ParseStatus::malformed}, RejectCase{"d5", ParseStatus::malformed},
                      RejectCase{"--1", ParseStatus::malformed}, RejectCase{"+-1", ParseStatus::malformed},
                      RejectCase{"-", ParseStatus::malformed}, RejectCase{".", ParseStatus::malformed},
                      RejectCase{"-.e1", ParseStatus::malformed}, RejectCase{"0x1p3", ParseStatus::malformed},
                      RejectCase{"1.5f", ParseStatus::malformed}, RejectCase{"1e5.0", ParseStatus::malformed},
                      RejectCase{"12a", ParseStatus::malformed}, RejectCase{"in", ParseStatus::malformed},
                      RejectCase{"infinit", ParseStatus::malformed}, RejectCase{"nan1", ParseStatus::malformed},
                      RejectCase{"--inf", ParseStatus::malformed},
                      // Beyond the largest single once rounded: the exact
                      // halfway point 2^128 - 2^103 rounds (to even) to 2^128.
                      RejectCase{"1e39", ParseStatus::out_of_range}, RejectCase{"-1e39", ParseStatus::out_of_range},
                      RejectCase{"3.40282357e38", ParseStatus::out_of_range},
                      RejectCase{"340282356779733661637539395458142568448", ParseStatus::out_of_range},
                      RejectCase{"1e99999999999", ParseStatus::out_of_range}));

// ------------------------------------------------------------- parse_integer

struct IntegerCase {
    const char* text;
    ParseStatus status;
    std::int32_t expected;  // when ok
};
void PrintTo(const IntegerCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseIntegerTable : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIntegerTable, SignAndDigitsWithin32Bits) {
    const IntegerCase& c = GetParam();
    std::int32_t v = 77;
    ASSERT_EQ(parse_integer(c.text, v), c.status) << c.text;
    if (c.status == ParseStatus::ok) {
        EXPECT_EQ(v, c.expected) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseIntegerTable,
    ::testing::Values(IntegerCase{"0", ParseStatus::ok, 0}, IntegerCase{"-0", ParseStatus::ok, 0},
                      IntegerCase{"20", ParseStatus::ok, 20}, IntegerCase{"+7", ParseStatus::ok, 7},
                      IntegerCase{"-3", ParseStatus::ok, -3}, IntegerCase{"0042", ParseStatus::ok, 42},
                      IntegerCase{"2147483647", ParseStatus::ok, 2147483647},
                      IntegerCase{"-2147483648", ParseStatus::ok, -2147483647 - 1},
                      IntegerCase{"2147483648", ParseStatus::out_of_range, 0},
                      IntegerCase{"-2147483649", ParseStatus::out_of_range, 0},
                      IntegerCase{"4294967296", ParseStatus::out_of_range, 0},
                      IntegerCase{"99999999999999999999999", ParseStatus::out_of_range, 0},
                      IntegerCase{"", ParseStatus::malformed, 0}, IntegerCase{"+", ParseStatus::malformed, 0},
                      IntegerCase{"-", ParseStatus::malformed, 0}, IntegerCase{"--1", ParseStatus::malformed, 0},
                      IntegerCase{"3.0", ParseStatus::malformed, 0}, IntegerCase{"1e3", ParseStatus::malformed, 0},
                      IntegerCase{"12a", ParseStatus::malformed, 0}, IntegerCase{"0x10", ParseStatus::malformed, 0},
                      IntegerCase{"Inf", ParseStatus::malformed, 0}));

// --------------------------------------------------------------- format_free

TEST(FormatFree, IntegersInPlainDecimal) {
    EXPECT_EQ(format_free(std::int32_t{0}), "0");
    EXPECT_EQ(format_free(std::int32_t{20}), "20");
    EXPECT_EQ(format_free(std::int32_t{-15}), "-15");
    EXPECT_EQ(format_free(std::numeric_limits<std::int32_t>::max()), "2147483647");
    EXPECT_EQ(format_free(std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

TEST(FormatFree, SpecialRealsByName) {
    EXPECT_EQ(format_free(kNaN), "NaN");
    EXPECT_EQ(format_free(-kNaN), "NaN");
    EXPECT_EQ(format_free(kInf), "Infinity");
    EXPECT_EQ(format_free(-kInf), "-Infinity");
}

TEST(FormatFree, PlainRealsNeedNoMoreDigitsThanTheirValue) {
    EXPECT_EQ(format_free(0.001f), "0.001");
    EXPECT_EQ(format_free(0.1f), "0.1");
    EXPECT_EQ(format_free(0.3f), "0.3");
    EXPECT_EQ(format_free(-2.5f), "-2.5");
    EXPECT_EQ(format_free(1.0f), "1");
    EXPECT_EQ(format_free(16777216.0f), "16777216");
}

// Significant digits of a decimal rendering: leading and trailing zeros of
// the digit string do not count.
int significant_digits(const std::string& s) {
    std::string digits;
    for (char c : s) {
        if (c == 'e' || c == 'E') break;
        if (c >= '0' && c <= '9') digits += c;
    }
    std::size_t b = digits.find_first_not_of('0');
    if (b == std::string::npos) return 1;
    std::size_t e = digits.find_last_not_of('0');
    return static_cast<int>(e - b + 1);
}

TEST(FormatFree, RealsAreShortestFormsThatReadBackExactly) {
    const float values[] = {1.0f / 3.0f, 2.0f / 3.0f, 0.1f + 0.2f, 1e-10f, 123456.789f, 16777217.0f, 3e20f,
                            std::numeric_limits<float>::max(), std::numeric_limits<float>::min(),
                            std::numeric_limits<float>::denorm_min(), -4.2e-39f, 0x1.000002p0f, -0.0f};
    for (float x : values) {
        const std::string s = format_free(x);
        float back = 0.0f;
        ASSERT_EQ(parse_real(s, back), ParseStatus::ok) << s;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(x)) << s;
        // The fewest significant digits that read back: try 1, 2, ... with
        // the C library's correctly rounded %g and strtof.
        int shortest = 1;
        for (;; ++shortest) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.*g", shortest, static_cast<double>(x));
            if (std::strtof(buf, nullptr) == x) break;
        }
        EXPECT_EQ(significant_digits(s), shortest) << describe(x) << " written as " << s;
    }
}

// -------------------------------------------------------------- format_fixed

std::string fixed(int width, int decimals, float v) {
    std::string out(static_cast<std::size_t>(width), '?');
    format_fixed(out.data(), width, decimals, v);
    return out;
}

struct FixedCase {
    float value;
    const char* expected;
};
void PrintTo(const FixedCase& c, std::ostream* os) { *os << describe(c.value) << " -> \"" << c.expected << '"'; }

class FixedF10_3 : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedF10_3, RoundsTheExactBinaryValue) {
    EXPECT_EQ(fixed(10, 3, GetParam().value), GetParam().expected) << describe(GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FixedF10_3,
    ::testing::Values(
        FixedCase{0.0f, "     0.000"}, FixedCase{1.0f, "     1.000"}, FixedCase{-3.0f, "    -3.000"},
        FixedCase{0.1f, "     0.100"}, FixedCase{-0.25f, "    -0.250"}, FixedCase{2.0078125f, "     2.008"},
        // Exact halves of the last decimal (odd multiples of 1/16): to even.
        FixedCase{0.0625f, "     0.062"}, FixedCase{0.1875f, "     0.188"}, FixedCase{0.3125f, "     0.312"},
        FixedCase{0.4375f, "     0.438"}, FixedCase{1.0625f, "     1.062"}, FixedCase{-1.0625f, "    -1.062"},
        // Decimal halves that are not exact in binary: the stored single lies
        // above (0.0005, 9.9995) or below (0.9995, 2.0005) the halfway point.
        FixedCase{0.0005f, "     0.001"}, FixedCase{-0.0005f, "    -0.001"}, FixedCase{9.9995f, "    10.000"},
        FixedCase{0.9995f, "     0.999"}, FixedCase{2.0005f, "     2.000"},
        // A negative value that rounds to zero keeps its sign, as does -0.0.
        FixedCase{-0.0f, "    -0.000"}, FixedCase{-0.0004f, "    -0.000"}, FixedCase{0.0004f, "     0.000"},
        // The widest values that fit, and the first that do not.  The single
        // nearest 999999.9375 lies halfway and rounds to even.
        FixedCase{999999.875f, "999999.875"}, FixedCase{999999.9375f, "999999.938"},
        FixedCase{123456.789f, "123456.789"}, FixedCase{1000000.0f, "**********"},
        FixedCase{-99999.9921875f, "-99999.992"}, FixedCase{-100000.0f, "**********"},
        FixedCase{99999.999f, "100000.000"}, FixedCase{std::numeric_limits<float>::max(), "**********"},
        FixedCase{-std::numeric_limits<float>::max(), "**********"},
        // Not a number and the infinities, right-aligned.
        FixedCase{kNaN, "       NaN"}, FixedCase{kInf, "  Infinity"}, FixedCase{-kInf, " -Infinity"}));

TEST(FormatFixed, NamesThatDoNotFitANarrowFieldFillItWithAsterisks) {
    EXPECT_EQ(fixed(8, 3, -kInf), "********");
    EXPECT_EQ(fixed(8, 3, kInf), "Infinity");
    EXPECT_EQ(fixed(3, 1, kNaN), "NaN");
}

// ------------------------------------------------------------ format_integer

std::string integer_field(int width, std::int64_t v) {
    std::string out(static_cast<std::size_t>(width), '?');
    format_integer(out.data(), width, v);
    return out;
}

TEST(FormatInteger, I3RightAlignsOrFillsWithAsterisks) {
    const struct {
        std::int64_t value;
        const char* expected;
    } cases[] = {{0, "  0"},     {1, "  1"},      {42, " 42"},     {999, "999"},
                 {1000, "***"},  {-1, " -1"},     {-99, "-99"},    {-100, "***"},
                 {2147483647, "***"}, {-2147483648LL, "***"}};
    for (const auto& c : cases) EXPECT_EQ(integer_field(3, c.value), c.expected) << c.value;
}

}  // namespace
}  // namespace itersolve
