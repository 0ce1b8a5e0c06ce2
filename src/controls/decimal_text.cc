#include "controls/decimal_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace zer1 {
namespace {

// Splits the output of to_chars(..., scientific, p) into its mantissa digits and exponent.
void SplitScientific(const char* text, size_t length, std::string& digits, int& exponent) {
    digits.clear();
    size_t i = 0;
    for (; i < length && text[i] != 'e'; ++i) {
        if (text[i] >= '0' && text[i] <= '9') digits += text[i];
    }
    exponent = 0;
    if (i < length) std::from_chars(text + i + (text[i + 1] == '+' ? 2 : 1), text + length, exponent);
}

// Adds one to a decimal digit string; returns false when it carried out of the front.
bool IncrementDigits(std::string& digits) {
    for (size_t k = digits.size(); k-- > 0;) {
        if (digits[k] != '9') {
            ++digits[k];
            return true;
        }
        digits[k] = '0';
    }
    return false;
}

}  // namespace

std::string FormatGrouped(long double value, int decimals, char decimal_separator,
                          char thousands_separator) {
    if (decimals < 0) decimals = 0;
    // scaled: the decimal digits of round(|value| * 10^decimals), from 18 significant digits.
    std::string scaled;
    const long double magnitude = std::fabs(value);
    if (magnitude != 0 && std::isfinite(magnitude)) {
        char buffer[64];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                    std::chars_format::scientific, 17);
        std::string digits;
        int exponent = 0;
        SplitScientific(buffer, static_cast<size_t>(result.ptr - buffer), digits, exponent);
        const int shift = exponent + 1 + decimals - static_cast<int>(digits.size());
        if (shift >= 0) {
            scaled = digits + std::string(static_cast<size_t>(shift), '0');
        } else {
            const int keep = static_cast<int>(digits.size()) + shift;
            if (keep >= 0) {
                scaled = digits.substr(0, static_cast<size_t>(keep));
                if (digits[static_cast<size_t>(keep)] >= '5' && !IncrementDigits(scaled)) {
                    scaled.insert(scaled.begin(), '1');
                }
            }
        }
    }
    const bool isZero = scaled.find_first_not_of('0') == std::string::npos;
    std::string integerDigits, fractionDigits;
    if (scaled.size() > static_cast<size_t>(decimals)) {
        integerDigits = scaled.substr(0, scaled.size() - static_cast<size_t>(decimals));
        fractionDigits = scaled.substr(scaled.size() - static_cast<size_t>(decimals));
        size_t firstNonZero = integerDigits.find_first_not_of('0');
        integerDigits.erase(0, firstNonZero == std::string::npos ? integerDigits.size() : firstNonZero);
    } else {
        fractionDigits = std::string(static_cast<size_t>(decimals) - scaled.size(), '0') + scaled;
    }

    std::string text;
    if (value < 0 && !isZero) text += '-';
    for (size_t k = 0; k < integerDigits.size(); ++k) {
        if (k > 0 && (integerDigits.size() - k) % 3 == 0) text += thousands_separator;
        text += integerDigits[k];
    }
    if (decimals > 0) {
        text += decimal_separator;
        for (char c : fractionDigits) text += c;
    }
    return text;
}

std::string FormatGeneral(long double value, char decimal_separator) {
    if (value == 0 || !std::isfinite(value)) return "0";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text;
    const char* end = result.ptr;
    const char* p = buffer;
    for (; p < end && *p != 'e'; ++p) text += (*p == '.') ? decimal_separator : *p;
    if (p < end) {
        ++p;  // 'e'
        text += 'E';
        if (*p == '-') text += '-';
        if (*p == '-' || *p == '+') ++p;
        while (p + 1 < end && *p == '0') ++p;
        for (; p < end; ++p) text += *p;
    }
    return text;
}

int DecimalsNeeded(long double value) {
    const long double magnitude = std::fabs(value);
    if (!std::isfinite(magnitude)) return 0;
    const long double fraction = magnitude - std::trunc(magnitude);
    if (fraction == 0) return 0;
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, fraction,
                                std::chars_format::scientific, 11);
    std::string digits;
    int exponent = 0;
    SplitScientific(buffer, static_cast<size_t>(result.ptr - buffer), digits, exponent);
    if (exponent >= 0) return 0;  // rounded up to 1 at 12 digits
    size_t lastNonZero = digits.find_last_not_of('0');
    const int significant = static_cast<int>(lastNonZero) + 1;
    const int needed = -exponent + significant - 1;
    return needed > 15 ? 15 : needed;
}

}  // namespace zer1
