#include "fowis/price_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "common/helpers.h"
#include "common/number_format.h"

namespace zer1 {
namespace {

// Replaces the placeholders of `pattern` one after the other.
std::string FillIn(std::string pattern, std::initializer_list<std::string> values) {
    std::size_t from = 0;
    for (const std::string& value : values) {
        std::size_t at = std::string::npos;
        std::size_t length = 0;
        for (const char* placeholder : {"%s", "%d"}) {
            const std::size_t found = pattern.find(placeholder, from);
            if (found < at) {
                at = found;
                length = 2;
            }
        }
        if (at == std::string::npos) break;
        pattern.replace(at, length, value);
        from = at + value.size();
    }
    return pattern;
}

// `value` with `decimals` decimals, "C" notation; empty when it cannot be written.
std::string FixedText(double value, int decimals) {
    char buffer[512];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed, decimals);
    if (error != std::errc()) return std::string();
    return std::string(buffer, end);
}

}  // namespace

double ConvertPriceText(std::string_view text, float factor) {
    SetDecimalSeparator(text.find('.') != std::string_view::npos ? '.' : ',');
    std::string cleaned(TrimBlanks(text));
    if (cleaned.empty()) return 0.0;
    std::replace(cleaned.begin(), cleaned.end(), '-', '0');

    const std::optional<long double> number = ParseDecimal(cleaned, DecimalSeparator());
    if (!number) throw PriceConversionError(FillIn(kNoFloatValueMessage, {cleaned}));
    long double result = *number;
    if (factor > 0) result = *number * static_cast<long double>(factor);
    // Extended precision reaches far beyond a double ("1e400"): such a value
    // becomes an infinity, which no numeric field takes.
    if (std::fabs(result) > static_cast<long double>(std::numeric_limits<double>::max())) {
        const double infinity = std::numeric_limits<double>::infinity();
        return result < 0 ? -infinity : infinity;
    }
    return static_cast<double>(result);
}

bool FitsNumericField(double value, int width, int decimals) {
    if (!std::isfinite(value)) return false;
    const std::string text = FixedText(value, decimals);
    return !text.empty() && static_cast<int>(text.size()) <= width;
}

double ConvertPriceForField(std::string_view field_name, std::string_view text, float factor) {
    const double value = ConvertPriceText(text, factor);
    if (!FitsNumericField(value, kPriceFieldWidth, kPriceFieldDecimals)) {
        std::string shown = std::isfinite(value) ? FixedText(value, kPriceFieldDecimals)
                                                 : std::string(TrimBlanks(text));
        throw PriceConversionError(FillIn(kPriceDoesNotFitMessage,
                                          {shown, std::string(field_name),
                                           std::to_string(kPriceFieldWidth),
                                           std::to_string(kPriceFieldDecimals)}));
    }
    return value;
}

}  // namespace zer1
