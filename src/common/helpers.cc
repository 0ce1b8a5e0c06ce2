#include "common/helpers.h"

#include <cmath>
#include <optional>

#include "common/number_format.h"
#include "common/text_encoding.h"

namespace zer1 {

bool SwitchTest(std::string_view flags, unsigned position) {
    if (position == 0) return false;
    std::size_t pos = 0;
    for (unsigned index = 1; pos < flags.size(); ++index) {
        const std::size_t start = pos;
        NextCodePoint(flags, pos);
        if (index == position) return flags.substr(start, pos - start) == "1";
    }
    return false;
}

std::string TextChoice(bool flag, const std::string& first, const std::string& second) {
    return flag ? first : second;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

double NumberFromText(std::string_view text) {
    std::string number(TrimBlanks(text));
    const char separator = DecimalSeparator();
    const std::size_t point = number.find('.');
    if (point != std::string::npos) number[point] = separator;
    const std::optional<long double> value = ParseDecimal(number, separator);
    if (!value) return 0.0;
    const double result = static_cast<double>(*value);
    return std::isfinite(result) ? result : 0.0;
}

void SplitText(std::string_view text, char delimiter, std::vector<std::string>& pieces) {
    std::string current;
    for (char c : text) {
        if (c == delimiter) {
            pieces.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    pieces.push_back(std::move(current));
}

}  // namespace zer1
