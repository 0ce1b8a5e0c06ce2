#include "dgh_source.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace zer1 {

namespace {

constexpr char32_t kCR = 13;
constexpr char32_t kLF = 10;
constexpr std::uint16_t kByteOrderMark = 0xFEFF;
constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(std::uint16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(std::uint16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// True when the line holds only blanks and control characters (codes up to 32).
bool IsBlankLine(std::string_view line) {
    for (unsigned char c : line) {
        if (c > 32) return false;
    }
    return true;
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

DghLineDecoder::DghLineDecoder(DghLineSink sink) : sink_(std::move(sink)) {}

void DghLineDecoder::Feed(std::string_view bytes) {
    std::size_t i = 0;
    if (have_odd_byte_ && !bytes.empty()) {
        TakeUnit(static_cast<std::uint16_t>(odd_byte_ |
                                            (static_cast<unsigned char>(bytes[0]) << 8)));
        have_odd_byte_ = false;
        i = 1;
    }
    for (; i + 1 < bytes.size(); i += 2) {
        TakeUnit(static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    if (i < bytes.size()) {
        odd_byte_ = static_cast<unsigned char>(bytes[i]);
        have_odd_byte_ = true;
    }
}

void DghLineDecoder::Finish() {
    have_odd_byte_ = false;
    if (high_surrogate_ != 0) {
        high_surrogate_ = 0;
        TakeCodePoint(kReplacement);
    }
    // A CR or LF standing alone at the very end is half a terminator: drop it.
    if (open_break_ != 0) {
        line_.pop_back();
        open_break_ = 0;
    }
    EmitLine();
}

void DghLineDecoder::TakeUnit(std::uint16_t unit) {
    if (first_unit_) {
        first_unit_ = false;
        if (unit == kByteOrderMark) return;
    }
    if (high_surrogate_ != 0) {
        std::uint16_t high = high_surrogate_;
        high_surrogate_ = 0;
        if (IsLowSurrogate(unit)) {
            TakeCodePoint(0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) +
                          (unit - 0xDC00));
            return;
        }
        TakeCodePoint(kReplacement);
    }
    if (IsHighSurrogate(unit)) {
        high_surrogate_ = unit;
        return;
    }
    TakeCodePoint(IsLowSurrogate(unit) ? kReplacement : unit);
}

void DghLineDecoder::TakeCodePoint(char32_t cp) {
    if ((cp == kLF && open_break_ == kCR) || (cp == kCR && open_break_ == kLF)) {
        line_.pop_back();  // the first half of the terminator, one byte in UTF-8
        open_break_ = 0;
        EmitLine();
        return;
    }
    AppendCodePoint(line_, cp);
    open_break_ = (cp == kCR || cp == kLF) ? cp : 0;
}

void DghLineDecoder::EmitLine() {
    if (!IsBlankLine(line_)) sink_(line_);
    line_.clear();
}

std::vector<std::string> DecodeDghLines(std::string_view bytes) {
    std::vector<std::string> lines;
    DghLineDecoder decoder([&lines](std::string_view line) { lines.emplace_back(line); });
    decoder.Feed(bytes);
    decoder.Finish();
    return lines;
}

void ReadDghSourceFile(const std::string& path, const DghLineSink& sink,
                       const std::function<void()>& pump) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("Cannot open file " + path + ": " + std::strerror(errno));
    }
    DghLineDecoder decoder(sink);
    std::string chunk(64 * 1024, '\0');
    while (true) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        std::streamsize got = in.gcount();
        if (got > 0) decoder.Feed(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
        if (pump) pump();
        if (in.eof()) break;
        if (!in) throw std::runtime_error("Cannot read file " + path);
    }
    decoder.Finish();
}

}  // namespace zer1
