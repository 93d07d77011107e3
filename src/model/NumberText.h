// Number text that never depends on the C library's locale: the decimal separator is passed in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvanel {

// The general number text of a value with `digits` significant digits (clamped to 1..17). The
// value is rounded half-up on its exact decimal expansion (0.125 to 2 digits is "0.13"; 2.675
// to 3 digits is "2.67" because the double lies below 2.675) and trailing zeros are dropped.
// Written as 0.d1d2... x 10^e after rounding, plain notation is used for -3 <= e <= digits,
// exponent notation otherwise: "0.5", "0.00012", "1E3", "1.23E-5", "-1.2346E5"; zero, also
// negative zero, is "0". A rounding up that would leave the double range is truncated
// instead, so the text of a finite value always reads back: the largest double with 15
// digits is "1.79769313486231E308". Infinities are "INF" and "-INF", NaN is "NAN"; ParseNumber
// refuses those three texts.
std::string FormatGeneral(double value, int digits, char decimalSeparator = '.');

// Reads a decimal number: optional sign ("+" or "-"), digits with an optional decimal separator
// and fraction (at least one digit in all), optional exponent "e" or "E" with an optional sign
// and at least one digit. Anything else, the empty text, spaces anywhere, "inf", "nan",
// hexadecimal and values beyond the double range give no value; a value too small for a
// double reads as zero of its sign. The separator must not be a digit, a sign, "e" or "E".
std::optional<double> ParseNumber(std::string_view text, char decimalSeparator = '.');

} // namespace orvanel
