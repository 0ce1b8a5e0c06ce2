// The table layer's small helpers around engine calls, shared by its sources:
// the file-name part of a table name, fetching a text through the engine's
// buffer convention, and an empty text handed to the engine as no argument.
#ifndef ZER1_STORAGE_TABLE_HELPERS_H
#define ZER1_STORAGE_TABLE_HELPERS_H

#include <algorithm>
#include <optional>
#include <string>

namespace zer1::table_detail {

// File-name part after the last "/" (or backslash, which names from the host may carry).
inline std::string fileNamePart(const std::string& name) {
    auto slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// Calls an engine function that follows the buffer convention (returns the
// full length, writes what fits) and returns the whole value; nothing on failure.
template <typename Call>
std::optional<std::string> fetchText(Call call) {
    std::string buffer(256, '\0');
    int length = call(buffer.data(), static_cast<int>(buffer.size()));
    if (length < 0) return std::nullopt;
    if (length >= static_cast<int>(buffer.size())) {
        buffer.assign(length + 1, '\0');
        length = call(buffer.data(), static_cast<int>(buffer.size()));
        if (length < 0) return std::nullopt;
    }
    buffer.resize(std::min<size_t>(length, buffer.size()));
    return buffer;
}

inline const char* nullIfEmpty(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

}  // namespace zer1::table_detail

#endif  // ZER1_STORAGE_TABLE_HELPERS_H
