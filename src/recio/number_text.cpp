#include "recio/number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

namespace itersolve {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// Shape of a decimal real, found while checking its syntax.
struct DecimalShape {
    bool negative = false;
    std::size_t mantissa_begin = 0;  // after the sign
    std::size_t exponent_mark = std::string_view::npos;  // index of e/E/d/D
    long decimal_exponent = 0;  // position of the leading non-zero digit, as a power of ten
    bool all_zero = true;
};

bool check_decimal(std::string_view t, DecimalShape& s) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        s.negative = t[i] == '-';
        ++i;
    }
    s.mantissa_begin = i;
    std::size_t int_digits = 0, frac_digits = 0;
    long significant_int_digits = 0;  // integer digits from the first non-zero one on
    long first_frac_nonzero = 0;      // 1-based place of the first non-zero fraction digit
    bool seen_point = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        if (is_digit(c)) {
            if (seen_point) {
                ++frac_digits;
                if (s.all_zero && c != '0') first_frac_nonzero = static_cast<long>(frac_digits);
            } else {
                ++int_digits;
                if (c != '0' || significant_int_digits > 0) ++significant_int_digits;
            }
            if (c != '0') s.all_zero = false;
        } else if (c == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
    }
    const long lead = significant_int_digits > 0 ? significant_int_digits - 1 : -first_frac_nonzero;
    if (int_digits + frac_digits == 0) return false;
    long exponent = 0;
    if (i < t.size()) {
        char c = lower(t[i]);
        if (c != 'e' && c != 'd') return false;
        s.exponent_mark = i++;
        bool neg_exp = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg_exp = t[i++] == '-';
        if (i == t.size()) return false;
        for (; i < t.size(); ++i) {
            if (!is_digit(t[i])) return false;
            if (exponent < 100000000) exponent = exponent * 10 + (t[i] - '0');
        }
        if (neg_exp) exponent = -exponent;
    }
    s.decimal_exponent = lead + exponent;
    return true;
}

}  // namespace

namespace {

constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common case in one pass: a plain decimal with at most 15 significant
// digits and a small exponent.  Its digits form an integer w below 2^53 and
// 10^|e| is exact for |e| <= 22, so w * 10^e (or w / 10^-e) is the exact
// value rounded once to double precision.  Rounding that double to single
// precision gives the correctly rounded single unless the double lies exactly
// halfway between two singles (only an inexact double can land there); that
// case, values outside the normal single range and every other form are left
// to the general path.  Returns false when it cannot decide.
bool parse_real_fast(std::string_view t, float& value) {
    const char* p = t.data();
    const char* const end = p + t.size();
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    std::uint64_t w = 0;
    int digits = 0;  // significant digits taken into w
    int scale = 0;   // power of ten of w's last digit
    bool any_digit = false;
    for (; p != end && is_digit(*p); ++p) {
        any_digit = true;
        if (digits == 0 && *p == '0') continue;
        if (++digits > 15) return false;
        w = w * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (p != end && *p == '.') {
        for (++p; p != end && is_digit(*p); ++p) {
            any_digit = true;
            --scale;
            if (digits == 0 && *p == '0') continue;
            if (++digits > 15) return false;
            w = w * 10 + static_cast<std::uint64_t>(*p - '0');
        }
    }
    if (!any_digit) return false;
    if (p != end) {
        if (*p != 'e' && *p != 'E' && *p != 'd' && *p != 'D') return false;
        ++p;
        bool neg_exp = false;
        if (p != end && (*p == '+' || *p == '-')) neg_exp = *p++ == '-';
        if (p == end) return false;
        int e = 0;
        for (; p != end; ++p) {
            if (!is_digit(*p) || e > 1000) return false;
            e = e * 10 + (*p - '0');
        }
        scale += neg_exp ? -e : e;
    }
    double d = static_cast<double>(w);
    if (w != 0) {
        if (scale < -22 || scale > 22) return false;
        d = scale < 0 ? d / kExactPow10[-scale] : d * kExactPow10[scale];
        // Outside the normal single range the halfway test below does not
        // hold (and overflow must be reported): the general path decides.
        if (!(d >= 0x1p-126 && d < 0x1p127)) return false;
        std::uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        if ((bits & 0x1FFFFFFF) == 0x10000000) return false;
    }
    const float magnitude = static_cast<float>(d);
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

ParseStatus parse_real(std::string_view t, float& value) {
    if (parse_real_fast(t, value)) return ParseStatus::ok;
    // Named special values first.
    {
        std::string_view body = t;
        bool negative = false;
        if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
            negative = body[0] == '-';
            body.remove_prefix(1);
        }
        if (equals_ignoring_case(body, "nan")) {
            value = negative ? -std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::quiet_NaN();
            return ParseStatus::ok;
        }
        if (equals_ignoring_case(body, "inf") || equals_ignoring_case(body, "infinity")) {
            value = negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
            return ParseStatus::ok;
        }
    }
    DecimalShape shape;
    if (!check_decimal(t, shape)) return ParseStatus::malformed;

    // from_chars takes neither a leading '+' nor a 'd' exponent: hand it the
    // mantissa without sign and the exponent mark as 'e'.
    char small[256];
    std::string large;
    std::string_view body = t.substr(shape.mantissa_begin);
    char* buf = small;
    if (body.size() > sizeof small) {
        large.resize(body.size());
        buf = large.data();
    }
    std::memcpy(buf, body.data(), body.size());
    if (shape.exponent_mark != std::string_view::npos) buf[shape.exponent_mark - shape.mantissa_begin] = 'e';

    float magnitude = 0.0f;
    auto [end, ec] = std::from_chars(buf, buf + body.size(), magnitude, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Both overflow and underflow land here; the leading digit's power of
        // ten tells them apart.  Underflow rounds to zero, keeping the sign.
        if (shape.decimal_exponent >= 0) return ParseStatus::out_of_range;
        magnitude = 0.0f;
    } else if (ec != std::errc() || end != buf + body.size()) {
        return ParseStatus::malformed;
    }
    value = shape.negative ? -magnitude : magnitude;
    return ParseStatus::ok;
}

ParseStatus parse_integer(std::string_view t, std::int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i == t.size()) return ParseStatus::malformed;
    std::int64_t v = 0;
    bool overflow = false;
    for (; i < t.size(); ++i) {
        if (!is_digit(t[i])) return ParseStatus::malformed;
        if (v <= (std::int64_t{1} << 32)) v = v * 10 + (t[i] - '0');
        else overflow = true;
    }
    if (negative) v = -v;
    if (overflow || v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
        return ParseStatus::out_of_range;
    value = static_cast<std::int32_t>(v);
    return ParseStatus::ok;
}

std::string format_free(std::int32_t value) { return std::to_string(value); }

std::string format_free(float value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

namespace {

void fill(char* out, int width, char c) { std::memset(out, c, static_cast<std::size_t>(width)); }

void right_align(char* out, int width, const char* text, int len) {
    if (len > width) {
        fill(out, width, '*');
        return;
    }
    fill(out, width - len, ' ');
    std::memcpy(out + (width - len), text, static_cast<std::size_t>(len));
}

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
constexpr int kMaxExactDecimals = 12;  // 24-bit significand times 5^12 still fits in 53 bits

}  // namespace

void format_fixed(char* out, int width, int decimals, float value) {
    if (std::isnan(value)) return right_align(out, width, "NaN", 3);
    if (std::isinf(value)) {
        if (value < 0) return right_align(out, width, "-Infinity", 9);
        return right_align(out, width, "Infinity", 8);
    }
    const bool negative = std::signbit(value);
    // value * 10^decimals is exact in double for decimals <= 12, so rounding
    // it to an integer rounds the exact binary value: adding and removing
    // 2^52 rounds to nearest, ties to even, in the default rounding mode.
    double scaled = decimals <= kMaxExactDecimals ? std::fabs(static_cast<double>(value)) * kPow10[decimals] : 0.0;
    if (decimals > kMaxExactDecimals || scaled >= 1e18 || width > 40) {
        // Beyond the fast path: let the C library round the exact value.
        char buf[400];
        int len = std::snprintf(buf, sizeof buf, "%.*f", decimals, static_cast<double>(value));
        if (len < 0 || len >= static_cast<int>(sizeof buf)) return fill(out, width, '*');
        if (len > width && buf[negative ? 1 : 0] == '0' && decimals > 0) {  // drop an optional leading zero
            std::memmove(buf + (negative ? 1 : 0), buf + (negative ? 2 : 1), static_cast<std::size_t>(len));
            --len;
        }
        return right_align(out, width, buf, len);
    }
    constexpr double two52 = 4503599627370496.0;
    double rounded = scaled < two52 ? (scaled + two52) - two52 : scaled;
    auto units = static_cast<std::uint64_t>(rounded);

    char buf[48];
    char* p = buf + sizeof buf;
    for (int k = 0; k < decimals; ++k) {
        *--p = static_cast<char>('0' + units % 10);
        units /= 10;
    }
    if (decimals > 0) *--p = '.';
    char* int_start = p;
    do {
        *--p = static_cast<char>('0' + units % 10);
        units /= 10;
    } while (units != 0);
    bool zero_int = (int_start - p == 1) && *p == '0';
    if (negative) *--p = '-';
    int len = static_cast<int>(buf + sizeof buf - p);
    if (len > width && zero_int && decimals > 0) {
        // The leading zero of a fraction is optional: drop it before giving up.
        if (negative) int_start[-1] = '-';
        ++p;
        --len;
    }
    right_align(out, width, p, len);
}

void format_integer(char* out, int width, std::int64_t value) {
    char buf[24];
    char* p = buf + sizeof buf;
    std::uint64_t u = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (value < 0) *--p = '-';
    right_align(out, width, p, static_cast<int>(buf + sizeof buf - p));
}

}  // namespace itersolve
