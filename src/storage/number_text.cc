#include "storage/number_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace zer1 {

std::optional<std::string> FormatNumberField(double value, int width, int decimals) {
    if (!std::isfinite(value) || width <= 0 || decimals < 0) return std::nullopt;
    bool negative = std::signbit(value);
    double magnitude = std::fabs(value);
    // Shortest text that reads back as the same double, in plain notation.
    // A whole number (most stored values: zeros, counts, rates) has the same
    // digits as the integer it holds, which are cheaper to come by.
    char buf[400];
    constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
    auto [end, ec] =
        magnitude < kExactIntegers && magnitude == std::floor(magnitude)
            ? std::to_chars(buf, buf + sizeof buf, static_cast<long long>(magnitude))
            : std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed);
    if (ec != std::errc()) return std::nullopt;
    const std::string_view text(buf, static_cast<std::size_t>(end - buf));
    const std::size_t dot = text.find('.');
    const std::string_view intPart = text.substr(0, dot);
    const std::string_view fracPart =
        dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);

    // The digits as stored: a carry place, the integer part and `decimals`
    // fraction digits, rounded half away from zero (the sign comes after).
    const std::size_t places = static_cast<std::size_t>(decimals);
    const std::size_t count = 1 + intPart.size() + places;
    char usual[64];
    std::string wide;
    char* digits = usual;
    if (count > sizeof usual) {
        wide.resize(count);
        digits = wide.data();
    }
    digits[0] = '0';
    intPart.copy(digits + 1, intPart.size());
    for (std::size_t i = 0; i < places; ++i) {
        digits[1 + intPart.size() + i] = i < fracPart.size() ? fracPart[i] : '0';
    }
    if (fracPart.size() > places && fracPart[places] >= '5') {
        std::size_t i = count - 1;
        while (digits[i] == '9') digits[i--] = '0';
        ++digits[i];
    }
    const std::size_t first = digits[0] == '0' ? 1 : 0;
    const std::size_t intDigits = 1 + intPart.size() - first;
    bool zero = true;
    for (std::size_t i = first; i < count; ++i) zero = zero && digits[i] == '0';
    const bool sign = negative && !zero;
    const std::size_t size = (sign ? 1 : 0) + intDigits + (places > 0 ? 1 + places : 0);
    if (size > static_cast<std::size_t>(width)) return std::nullopt;

    std::string out(static_cast<std::size_t>(width), ' ');
    char* w = out.data() + (out.size() - size);
    if (sign) *w++ = '-';
    for (std::size_t i = first; i < 1 + intPart.size(); ++i) *w++ = digits[i];
    if (places > 0) {
        *w++ = '.';
        for (std::size_t i = 1 + intPart.size(); i < count; ++i) *w++ = digits[i];
    }
    return out;
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
