#include "storage/number_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace zer1 {

namespace {

// Rounds the plain decimal digits "int.frac" to `decimals` places, half away
// from zero (the sign is handled by the caller).
std::string roundDecimal(const std::string& digits, int decimals) {
    std::string intPart = digits;
    std::string fracPart;
    if (auto dot = digits.find('.'); dot != std::string::npos) {
        intPart = digits.substr(0, dot);
        fracPart = digits.substr(dot + 1);
    }
    bool roundUp = static_cast<int>(fracPart.size()) > decimals && fracPart[decimals] >= '5';
    fracPart.resize(decimals, '0');
    if (roundUp) {
        std::string all = intPart + fracPart;
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[i] == '9') all[i--] = '0';
        if (i < 0) {
            all.insert(all.begin(), '1');
        } else {
            ++all[i];
        }
        intPart = all.substr(0, all.size() - decimals);
        fracPart = all.substr(all.size() - decimals);
    }
    if (intPart.empty()) intPart = "0";
    return decimals > 0 ? intPart + "." + fracPart : intPart;
}

}  // namespace

std::optional<std::string> FormatNumberField(double value, int width, int decimals) {
    if (!std::isfinite(value) || width <= 0 || decimals < 0) return std::nullopt;
    bool negative = std::signbit(value);
    double magnitude = std::fabs(value);
    // Shortest text that reads back as the same double, in plain notation.
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed);
    if (ec != std::errc()) return std::nullopt;
    std::string text = roundDecimal(std::string(buf, end), decimals);
    bool allZero = text.find_first_not_of("0.") == std::string::npos;
    if (negative && !allZero) text.insert(text.begin(), '-');
    if (static_cast<int>(text.size()) > width) return std::nullopt;
    return std::string(width - text.size(), ' ') + text;
}

double ParseNumberField(std::string_view stored) {
    auto first = stored.find_first_not_of(' ');
    if (first == std::string_view::npos) return 0.0;
    auto last = stored.find_last_not_of(' ');
    std::string text(stored.substr(first, last - first + 1));
    if (auto comma = text.find(','); comma != std::string::npos) text[comma] = '.';
    const char* begin = text.data();
    if (!text.empty() && text[0] == '+') ++begin;
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), value);
    if (ec != std::errc()) return 0.0;
    return value;
}

bool IsCanonicalNumberField(std::string_view stored, int decimals) {
    std::size_t pos = stored.find_first_not_of(' ');
    if (pos == std::string_view::npos) return true;
    const bool negative = stored[pos] == '-';
    if (negative) ++pos;
    auto digitsFrom = [&](std::size_t from) {
        std::size_t end = from;
        while (end < stored.size() && stored[end] >= '0' && stored[end] <= '9') ++end;
        return end - from;
    };
    const std::size_t intDigits = digitsFrom(pos);
    if (intDigits == 0 || (intDigits > 1 && stored[pos] == '0')) return false;
    bool zero = intDigits == 1 && stored[pos] == '0';
    pos += intDigits;
    if (decimals > 0) {
        if (pos >= stored.size() || stored[pos] != '.') return false;
        ++pos;
        if (digitsFrom(pos) != static_cast<std::size_t>(decimals)) return false;
        for (std::size_t i = pos; i < pos + static_cast<std::size_t>(decimals); ++i) {
            zero = zero && stored[i] == '0';
        }
        pos += static_cast<std::size_t>(decimals);
    }
    return pos == stored.size() && !(negative && zero);
}

bool IsBlank(std::string_view stored) {
    return stored.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace zer1
