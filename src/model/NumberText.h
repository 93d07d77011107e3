// Number text that never depends on the C library's locale: the decimal separator is passed in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvanel {

// The general number text of a value with `digits` significant digits (1..17). The value is
// rounded half-up on its exact decimal expansion and trailing zeros are dropped. Written as
// 0.d1d2... x 10^e, plain notation is used for -3 <= e <= digits, exponent notation otherwise:
// "0.5", "0.00012", "1E3", "1.23E-5", "-1.2346E5"; zero is "0".
std::string FormatGeneral(double value, int digits, char decimalSeparator = '.');

// Reads a decimal number: optional sign, digits with an optional decimal separator and
// fraction, optional exponent "e" or "E" with an optional sign. Anything else, the empty text,
// spaces, "inf", "nan", hexadecimal and values beyond the double range, gives no value.
std::optional<double> ParseNumber(std::string_view text, char decimalSeparator = '.');

} // namespace orvanel
