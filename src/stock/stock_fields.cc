#include "stock/stock_fields.h"

#include <algorithm>

namespace zer1 {

namespace {

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool IsHandledStockField(std::string_view name) {
    // The journal asks this for each of its fields on every record: the
    // names are looked up, upper case, in a sorted copy of the list.
    static const std::array<std::string_view, kHandledStockFields.size()> sorted = [] {
        auto names = kHandledStockFields;
        std::sort(names.begin(), names.end());
        return names;
    }();
    char upper[16];
    if (name.size() > sizeof upper) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return std::binary_search(sorted.begin(), sorted.end(), std::string_view(upper, name.size()));
}

bool SameFieldName(std::string_view a, std::string_view b) {
    return EqualIgnoringAsciiCase(a, b);
}

}  // namespace zer1
