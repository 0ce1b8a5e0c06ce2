#include "dgh_source.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "common/error.h"
#include "common/file_names.h"
#include "common/helpers.h"
#include "common/text_encoding.h"

namespace zer1 {

namespace {

bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

void ForEachDghLine(std::string_view member_bytes, const DghLineSink& sink) {
    // FF FE: the byte-order mark U+FEFF in little-endian order.
    if (member_bytes.size() >= 2 && member_bytes[0] == '\xFF' && member_bytes[1] == '\xFE') {
        member_bytes.remove_prefix(2);
    }
    const std::string text = Utf16LeToUtf8(member_bytes);
    // CR and LF are single bytes in UTF-8 and never part of a longer sequence.
    auto emit = [&sink](std::string_view line) {
        if (!TrimBlanks(line).empty()) sink(line);
    };
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBreak(text[i]) && i + 1 < text.size() && IsBreak(text[i + 1]) &&
            text[i] != text[i + 1]) {
            emit(std::string_view(text).substr(start, i - start));
            i += 2;
            start = i;
        } else {
            ++i;
        }
    }
    std::string_view last = std::string_view(text).substr(start);
    if (!last.empty() && IsBreak(last.back())) last.remove_suffix(1);
    emit(last);
}

std::vector<std::string> DecodeDghLines(std::string_view member_bytes) {
    std::vector<std::string> lines;
    ForEachDghLine(member_bytes, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

void ReadDghSourceFile(const std::string& path, const DghLineSink& sink) {
    std::ifstream in(ResolveFileName(path), std::ios::binary);
    if (!in) throw Error("Cannot open file " + path + ": " + std::strerror(errno));
    // Read in blocks into one growing buffer, not character by character.
    std::string bytes;
    constexpr std::size_t kBlock = 1 << 16;
    while (in) {
        const std::size_t had = bytes.size();
        bytes.resize(had + kBlock);
        in.read(bytes.data() + had, kBlock);
        bytes.resize(had + static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) throw Error("Cannot read file " + path);
    ForEachDghLine(bytes, sink);
}

}  // namespace zer1
