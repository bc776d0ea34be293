// Numbers as text: parsing the values of free-form records, the free-form
// rendering of numbers, and the fixed-width fields of laid-out records.
// Nothing here depends on the locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace itersolve {

enum class ParseStatus { ok, malformed, out_of_range };

// A real: optional sign, then digits with an optional decimal point (".25",
// "3." and "3" all count), then an optional exponent introduced by e, E, d or
// D with optional sign and at least one digit; or NaN, Inf, Infinity in any
// case, optionally signed.  The decimal value is rounded once, to nearest,
// directly to single precision.  A value beyond the largest finite single is
// out of range; one below the smallest subnormal rounds to a signed zero.
ParseStatus parse_real(std::string_view text, float& value);

// An integer: optional sign and decimal digits only, within 32 bits.
ParseStatus parse_integer(std::string_view text, std::int32_t& value);

// The free-form rendering: an integer in plain decimal; a real in the
// shortest form that reads back to the same single-precision value, with
// "NaN", "Infinity" and "-Infinity" for the special values.
std::string format_free(std::int32_t value);
std::string format_free(float value);

// Writes `value` right-aligned into out[0..width) as a fixed-point field with
// `decimals` decimals: the exact binary value rounded to nearest, ties to
// even; a negative value keeps its sign even when it rounds to zero.  NaN and
// infinities appear as "NaN", "Infinity", "-Infinity".  A value that does not
// fit fills the field with asterisks.  width >= 1, 0 <= decimals.
void format_fixed(char* out, int width, int decimals, float value);

// Writes `value` right-aligned into out[0..width), or width asterisks when it
// does not fit.
void format_integer(char* out, int width, std::int64_t value);

}  // namespace itersolve
