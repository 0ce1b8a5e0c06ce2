#include "working_record.h"

namespace zer1 {

namespace {

// A UTF-8 continuation byte belongs to the code point before it.
bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::size_t StoredLength(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) {
        if (!IsContinuation(c)) ++n;
    }
    return n;
}

std::string CutToWidth(std::string_view utf8, std::size_t width) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (IsContinuation(static_cast<unsigned char>(utf8[i]))) continue;
        if (seen == width) return std::string(utf8.substr(0, i));
        ++seen;
    }
    return std::string(utf8);
}

std::string StoredValue(std::string_view utf8, std::size_t width) {
    std::string value = CutToWidth(utf8, width);
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
}

}  // namespace zer1
