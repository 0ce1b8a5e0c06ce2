#include "imports/working_record.h"

#include "common/text_encoding.h"

namespace zer1 {

std::size_t StoredLength(std::string_view utf8) {
    return CodePointCount(utf8);
}

std::string CutToWidth(std::string_view utf8, std::size_t width) {
    // No more characters than bytes: a text of at most `width` bytes fits.
    if (utf8.size() <= width) return std::string(utf8);
    std::size_t pos = 0;
    for (std::size_t taken = 0; taken < width && pos < utf8.size(); ++taken) {
        NextCodePoint(utf8, pos);
    }
    return std::string(utf8.substr(0, pos));
}

std::string StoredValue(std::string_view utf8, std::size_t width) {
    std::string value = CutToWidth(utf8, width);
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
}

}  // namespace zer1
