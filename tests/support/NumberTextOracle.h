// Independent references for the general number text, shared by the unit test and the fuzzer.
#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace orvanel::oracle {

// The largest magnitude whose 15-digit half-up rounding still reads back as a finite double.
inline constexpr double kLargestRoundTrip15 = 1.797693134862314e308;

// to_chars in scientific notation with `precision` digits after the point.
inline std::string Scientific(double value, int precision) {
    std::array<char, 800> buffer;
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::scientific, precision);
    return std::string(buffer.data(), written.ptr);
}

inline double ReadBack(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// True when the exact decimal expansion of the magnitude has exactly 16 significant digits and
// ends in 5: to_chars then rounds half to even where half-up is wanted.
inline bool IsExactTieAt16(double magnitude) {
    const std::string sixteen = Scientific(magnitude, 15);
    const std::string exact = Scientific(magnitude, 767);
    const auto mark = sixteen.find('e');
    if (sixteen[mark - 1] != '5' || exact.substr(exact.find('e')) != sixteen.substr(mark))
        return false;
    return exact.compare(0, mark, sixteen, 0, mark) == 0 &&
           exact.find_first_not_of('0', mark) == exact.find('e');
}

// The double nearest to x rounded half-up to 15 significant digits, for finite x with
// |x| <= kLargestRoundTrip15. For an exact tie, the next double away from zero lies strictly
// between the tie and the next 15-digit boundary, so to_chars' half-even rounding of it
// rounds the way half-up rounds the tie.
inline double RoundedTo15(double x) {
    double magnitude = std::fabs(x);
    if (IsExactTieAt16(magnitude))
        magnitude = std::nextafter(magnitude, HUGE_VAL);
    return std::copysign(ReadBack(Scientific(magnitude, 14)), x);
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// True when text is a general number text of a finite nonzero value, or "0", with at most
// `digits` significant digits, no trailing zeros, and the notation the decimal exponent calls
// for: plain for -3 <= e <= digits (value = 0.d1d2... x 10^e), exponent notation otherwise.
inline bool IsGeneralNumberText(std::string_view text, int digits, char separator) {
    if (text == "0")
        return true;
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    const auto exponentMark = text.find('E');
    const std::string_view mantissa = text.substr(0, exponentMark);
    const auto point = mantissa.find(separator);
    const std::string_view integer = mantissa.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
    for (std::string_view part : {integer, fraction})
        for (char c : part)
            if (!IsDigit(c))
                return false;
    if (integer.empty() || (point != std::string_view::npos && fraction.empty()))
        return false;
    if (!fraction.empty() && fraction.back() == '0')
        return false;

    if (exponentMark != std::string_view::npos) {
        std::string_view exponent = text.substr(exponentMark + 1);
        if (!exponent.empty() && exponent.front() == '-')
            exponent.remove_prefix(1);
        if (exponent.empty() || exponent.front() == '0')
            return false;
        int power = 0;
        const auto read =
            std::from_chars(exponent.data(), exponent.data() + exponent.size(), power);
        if (read.ptr != exponent.data() + exponent.size())
            return false;
        if (text[exponentMark + 1] == '-')
            power = -power;
        const int e = power + 1;
        return integer.size() == 1 && integer != "0" &&
               1 + fraction.size() <= std::size_t(digits) && (e < -3 || e > digits);
    }

    if (integer == "0") {
        const auto leadingZeros = fraction.find_first_not_of('0');
        return leadingZeros != std::string_view::npos && leadingZeros <= 3 &&
               fraction.size() - leadingZeros <= std::size_t(digits);
    }
    if (integer.front() == '0' || integer.size() > std::size_t(digits))
        return false;
    const std::string_view significant =
        fraction.empty() ? integer.substr(0, integer.find_last_not_of('0') + 1) : integer;
    return significant.size() + fraction.size() <= std::size_t(digits);
}

} // namespace orvanel::oracle
