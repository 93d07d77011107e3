#include "model/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace orvanel {
namespace {

constexpr int kMinDigits = 1;
constexpr int kMaxDigits = 17;

// Digits after the point asked of to_chars for a first, correctly rounded look at a value:
// 25 significant digits, so the digits past any cut of at most 17 look like an exact tie
// ("5" and zeros) only for true ties and about one value in 10^8.
constexpr int kNearbyPrecision = 24;

// Every double's exact decimal expansion has at most 767 significant digits, so this
// precision makes to_chars write it without rounding.
constexpr int kExactPrecision = 767;

// Plain notation is used while the count of integer digits e (value = 0.d1d2... x 10^e)
// lies in [kLowestPlainE, digits].
constexpr int kLowestPlainE = -3;

// A positive magnitude as d1.d2d3... x 10^exponent; digits holds d1d2d3... without the point.
struct DecimalDigits {
    std::string digits;
    int exponent = 0;
};

// The magnitude's significant digits, correctly rounded by to_chars to precision + 1 digits.
DecimalDigits ScientificDigits(double magnitude, int precision) {
    // "d." + digits + "e-324" fits.
    std::array<char, kExactPrecision + 16> buffer;
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                       std::chars_format::scientific, precision);
    const std::string_view text(buffer.data(), written.ptr);
    const auto exponentMark = text.find('e');

    DecimalDigits result;
    result.digits.reserve(static_cast<std::size_t>(precision) + 1);
    for (char c : text.substr(0, exponentMark))
        if (c != '.')
            result.digits.push_back(c);

    std::string_view exponent = text.substr(exponentMark + 1);
    if (exponent.front() == '+')
        exponent.remove_prefix(1);
    std::from_chars(exponent.data(), exponent.data() + exponent.size(), result.exponent);
    return result;
}

// True when the digits past the first `kept` are "5" followed only by zeros: the rounded
// digits cannot tell whether the exact value lies below, on or above the halfway point.
bool LooksLikeTie(const DecimalDigits& value, int kept) {
    const std::string_view tail = std::string_view(value.digits).substr(kept);
    return tail.front() == '5' && tail.find_first_not_of('0', 1) == std::string_view::npos;
}

// Adds one unit in the last place; 99..9 becomes 10..0 with the exponent raised.
void IncrementLastDigit(DecimalDigits& value) {
    for (auto digit = value.digits.rbegin(); digit != value.digits.rend(); ++digit) {
        if (*digit != '9') {
            ++*digit;
            return;
        }
        *digit = '0';
    }
    value.digits.insert(value.digits.begin(), '1');
    value.digits.pop_back();
    ++value.exponent;
}

// True when the decimal value reads back as an overflow instead of a finite double.
bool BeyondDoubleRange(const DecimalDigits& value) {
    if (value.exponent < 308)
        return false;
    std::string text = value.digits;
    text.insert(1, 1, '.');
    text += 'e';
    text += std::to_string(value.exponent);
    double parsed = 0;
    return std::from_chars(text.data(), text.data() + text.size(), parsed).ec ==
           std::errc::result_out_of_range;
}

// The magnitude rounded half-up on its exact decimal value to `digits` significant digits,
// trailing zeros dropped. The rare roundings up past the largest double are truncated
// instead, so that the text of a finite value always reads back as a finite value.
DecimalDigits RoundHalfUp(double magnitude, int digits) {
    DecimalDigits rounded = ScientificDigits(magnitude, kNearbyPrecision);
    if (LooksLikeTie(rounded, digits))
        rounded = ScientificDigits(magnitude, kExactPrecision);

    // Half-up on the exact value: the first dropped digit of the exact expansion decides.
    // Outside a tie pattern the correctly rounded digits have the same first dropped digit
    // relative to "5", so they decide alike.
    const bool up = rounded.digits[static_cast<std::size_t>(digits)] >= '5';
    rounded.digits.resize(static_cast<std::size_t>(digits));
    if (up) {
        const DecimalDigits truncated = rounded;
        IncrementLastDigit(rounded);
        if (BeyondDoubleRange(rounded))
            rounded = truncated;
    }
    rounded.digits.erase(rounded.digits.find_last_not_of('0') + 1);
    return rounded;
}

std::string PlainText(const DecimalDigits& value, char decimalSeparator) {
    const std::string& digits = value.digits;
    const int count = static_cast<int>(digits.size());
    const int integerDigits = value.exponent + 1;
    if (integerDigits <= 0)
        return std::string("0") + decimalSeparator +
               std::string(static_cast<std::size_t>(-integerDigits), '0') + digits;
    if (integerDigits >= count)
        return digits + std::string(static_cast<std::size_t>(integerDigits - count), '0');
    const auto split = static_cast<std::size_t>(integerDigits);
    return digits.substr(0, split) + decimalSeparator + digits.substr(split);
}

std::string ExponentText(const DecimalDigits& value, char decimalSeparator) {
    std::string text(1, value.digits.front());
    if (value.digits.size() > 1) {
        text += decimalSeparator;
        text.append(value.digits, 1);
    }
    text += 'E';
    std::array<char, 16> buffer;
    const auto written =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value.exponent);
    text.append(buffer.data(), written.ptr);
    return text;
}

// The pieces of a text that follows the number grammar; the views point into that text.
struct NumberParts {
    bool negative = false;
    std::string_view integerDigits;
    std::string_view fractionDigits;
    std::string_view exponent; // with its sign, if any; empty when there is no exponent
};

std::string_view TakeDigits(std::string_view& rest) {
    std::size_t count = 0;
    while (count < rest.size() && rest[count] >= '0' && rest[count] <= '9')
        ++count;
    const std::string_view digits = rest.substr(0, count);
    rest.remove_prefix(count);
    return digits;
}

bool TakeSign(std::string_view& rest, bool& negative) {
    if (rest.empty() || (rest.front() != '+' && rest.front() != '-'))
        return false;
    negative = rest.front() == '-';
    rest.remove_prefix(1);
    return true;
}

// Splits text by the grammar [+-] digits [sep digits] [(e|E) [+-] digits], with at least one
// digit before the exponent and at least one in it; nothing else may follow.
std::optional<NumberParts> SplitNumber(std::string_view text, char decimalSeparator) {
    NumberParts parts;
    std::string_view rest = text;
    TakeSign(rest, parts.negative);
    parts.integerDigits = TakeDigits(rest);
    if (!rest.empty() && rest.front() == decimalSeparator) {
        rest.remove_prefix(1);
        parts.fractionDigits = TakeDigits(rest);
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty())
        return std::nullopt;
    if (!rest.empty() && (rest.front() == 'e' || rest.front() == 'E')) {
        const char* exponentStart = rest.data() + 1;
        rest.remove_prefix(1);
        bool negativeExponent = false;
        TakeSign(rest, negativeExponent);
        if (TakeDigits(rest).empty())
            return std::nullopt;
        parts.exponent = std::string_view(exponentStart, rest.data());
    }
    if (!rest.empty())
        return std::nullopt;
    return parts;
}

// The power of ten of the leading nonzero digit plus one, saturated far beyond the double
// range; only its sign is used, to tell an overflow from an underflow.
long long DecimalMagnitude(const NumberParts& parts) {
    constexpr long long kSaturation = 1'000'000'000;
    const auto leadingInteger = parts.integerDigits.find_first_not_of('0');
    long long magnitude = 0;
    if (leadingInteger != std::string_view::npos)
        magnitude = static_cast<long long>(parts.integerDigits.size() - leadingInteger);
    else
        magnitude = -static_cast<long long>(
            std::min(parts.fractionDigits.find_first_not_of('0'), parts.fractionDigits.size()));

    std::string_view exponent = parts.exponent;
    bool negativeExponent = false;
    TakeSign(exponent, negativeExponent);
    long long power = 0;
    for (char digit : exponent)
        power = std::min(power * 10 + (digit - '0'), kSaturation);
    return magnitude + (negativeExponent ? -power : power);
}

} // namespace

std::string FormatGeneral(double value, int digits, char decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";

    const int significant = std::clamp(digits, kMinDigits, kMaxDigits);
    const DecimalDigits rounded = RoundHalfUp(std::fabs(value), significant);
    const int integerDigits = rounded.exponent + 1;
    std::string text = value < 0 ? "-" : "";
    if (integerDigits >= kLowestPlainE && integerDigits <= significant)
        text += PlainText(rounded, decimalSeparator);
    else
        text += ExponentText(rounded, decimalSeparator);
    return text;
}

std::optional<double> ParseNumber(std::string_view text, char decimalSeparator) {
    const std::optional<NumberParts> parts = SplitNumber(text, decimalSeparator);
    if (!parts)
        return std::nullopt;

    // from_chars has a grammar of its own (no "+", but "inf" and "nan"), so it only ever sees
    // the checked pieces, with '.' as the separator.
    std::string normalized;
    normalized.reserve(text.size() + 2);
    if (parts->negative)
        normalized += '-';
    normalized.append(parts->integerDigits);
    normalized += '.';
    normalized.append(parts->fractionDigits);
    if (!parts->exponent.empty()) {
        normalized += 'e';
        normalized.append(parts->exponent);
    }

    double value = 0;
    const auto result =
        std::from_chars(normalized.data(), normalized.data() + normalized.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (DecimalMagnitude(*parts) > 0)
            return std::nullopt;
        return parts->negative ? -0.0 : 0.0;
    }
    if (result.ec != std::errc() || result.ptr != normalized.data() + normalized.size())
        return std::nullopt;
    return value;
}

} // namespace orvanel
