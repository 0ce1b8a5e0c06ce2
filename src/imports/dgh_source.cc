#include "imports/dgh_source.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "common/error.h"
#include "common/file_names.h"
#include "common/helpers.h"
#include "common/text_encoding.h"

namespace zer1 {

namespace {

constexpr char16_t kCr = 0x000D;
constexpr char16_t kLf = 0x000A;

bool IsBreak(char16_t unit) {
    return unit == kCr || unit == kLf;
}

char16_t UnitAt(std::string_view bytes, std::size_t index) {
    return char16_t(static_cast<unsigned char>(bytes[2 * index]) |
                    (static_cast<unsigned char>(bytes[2 * index + 1]) << 8));
}

// FF FE: the byte-order mark U+FEFF in little-endian order.
bool StartsWithByteOrderMark(std::string_view bytes) {
    return bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
}

// An odd last byte is no character: the decoders read it as U+FFFD, so it is
// given that unit's bytes, which keeps the bytes whole units.
void ReplaceDanglingByte(std::string& bytes) {
    bytes.back() = '\xFD';
    bytes.push_back('\xFF');
}

// Decodes the units of one line into the requested text and hands it on
// unless it is blank; the text buffer is reused from line to line.
class LineEmitter {
  public:
    LineEmitter(const DghLineSink& sink, DghLineText form) : sink_(sink), form_(form) {}

    void operator()(std::string_view unit_bytes) {
        if (form_ == DghLineText::kWindows1252) {
            Utf16LeToWindows1252(unit_bytes, text_);
        } else {
            Utf16LeToUtf8(unit_bytes, text_);
        }
        if (!TrimBlanks(text_).empty()) sink_(text_);
    }

  private:
    const DghLineSink& sink_;
    DghLineText form_;
    std::string text_;
};

// Hands every line of `bytes` (whole units, the byte-order mark already
// skipped) to emit and returns how many bytes that used. Unless `at_end`, the
// text after the last terminator may still grow and is left for the next
// call, as is a break unit standing last, whose partner may follow; at the
// end the rest is the last line.
std::size_t SplitLines(std::string_view bytes, bool at_end, LineEmitter& emit) {
    const std::size_t units = bytes.size() / 2;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < units) {
        const char16_t unit = UnitAt(bytes, i);
        if (!IsBreak(unit)) {
            ++i;
        } else if (i + 1 == units) {
            if (!at_end) break;
            ++i;
        } else if (const char16_t next = UnitAt(bytes, i + 1); IsBreak(next) && next != unit) {
            emit(bytes.substr(2 * start, 2 * (i - start)));
            i += 2;
            start = i;
        } else {
            ++i;
        }
    }
    if (!at_end) return 2 * start;
    std::size_t end = units;
    if (end > start && IsBreak(UnitAt(bytes, end - 1))) --end;
    emit(bytes.substr(2 * start, 2 * (end - start)));
    return bytes.size();
}

}  // namespace

void ForEachDghLine(std::string_view member_bytes, const DghLineSink& sink, DghLineText form) {
    if (StartsWithByteOrderMark(member_bytes)) member_bytes.remove_prefix(2);
    LineEmitter emit(sink, form);
    if (member_bytes.size() % 2 != 0) {
        std::string whole_units(member_bytes);
        ReplaceDanglingByte(whole_units);
        SplitLines(whole_units, true, emit);
        return;
    }
    SplitLines(member_bytes, true, emit);
}

std::vector<std::string> DecodeDghLines(std::string_view member_bytes) {
    std::vector<std::string> lines;
    ForEachDghLine(member_bytes, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

void ReadDghSourceFile(const std::string& path, const DghLineSink& sink, DghLineText form) {
    std::ifstream in(ResolveFileName(path), std::ios::binary);
    if (!in) throw Error("Cannot open file " + path + ": " + std::strerror(errno));
    LineEmitter emit(sink, form);
    // The unfinished last line of the block before, then the next block.
    std::string bytes;
    bool first_block = true;
    for (;;) {
        const std::size_t carried = bytes.size();
        bytes.resize(carried + kDghReadBlockSize);
        in.read(bytes.data() + carried, static_cast<std::streamsize>(kDghReadBlockSize));
        bytes.resize(carried + static_cast<std::size_t>(in.gcount()));
        if (in.bad()) throw Error("Cannot read file " + path);
        const bool at_end = in.eof();
        std::size_t from = 0;
        if (first_block) {
            if (StartsWithByteOrderMark(bytes)) from = 2;
            first_block = false;
        }
        if (at_end && (bytes.size() - from) % 2 != 0) ReplaceDanglingByte(bytes);
        // Only whole units go to the splitter; an odd byte waits for its partner.
        const std::size_t whole = (bytes.size() - from) & ~std::size_t{1};
        const std::size_t used =
            SplitLines(std::string_view(bytes).substr(from, whole), at_end, emit);
        if (at_end) return;
        bytes.erase(0, from + used);
    }
}

}  // namespace zer1
