#include "common/number_format.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <string>

namespace zer1 {
namespace {

std::atomic<char> g_decimal_separator{kDefaultDecimalSeparator};
std::atomic<char> g_thousands_separator{kDefaultThousandsSeparator};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

char DecimalSeparator() {
    return g_decimal_separator.load(std::memory_order_relaxed);
}
void SetDecimalSeparator(char separator) {
    g_decimal_separator.store(separator, std::memory_order_relaxed);
}
char ThousandsSeparator() {
    return g_thousands_separator.load(std::memory_order_relaxed);
}
void SetThousandsSeparator(char separator) {
    g_thousands_separator.store(separator, std::memory_order_relaxed);
}

std::optional<long double> ParseDecimal(std::string_view text, char decimal_separator) {
    // Rewrite into the fixed form "[-]digits[.digits][e[-]digits]" that
    // from_chars reads without any locale.
    std::string normal;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') normal += '-';
        ++i;
    }
    std::size_t mantissa_digits = 0;
    bool seen_separator = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            normal += c;
            ++mantissa_digits;
        } else if (c == decimal_separator && !seen_separator) {
            normal += '.';
            seen_separator = true;
        } else {
            break;
        }
    }
    if (mantissa_digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
        std::size_t exponent_digits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++exponent_digits) normal += text[i];
        if (exponent_digits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;

    long double value = 0;
    const char* first = normal.data();
    const char* last = normal.data() + normal.size();
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace zer1
