// DGH source file decoding: turns the bytes of a DGH archive member (UTF-16LE
// text, optionally led by a byte-order mark) into lines of UTF-8 text.
//
// A line ends at a CR LF or LF CR pair of code units; the pair is not part of
// the line, and its second unit never starts another terminator, so CR LF CR LF
// is one empty line, not three terminators. Lines that hold nothing but blanks
// or control characters are skipped. The text after the last terminator is a
// line like any other. Surrogate pairs become one character; a lone surrogate
// becomes U+FFFD (stored as "?" in a Windows-1252 table).
#ifndef ZER1_IMPORTS_DGH_SOURCE_H
#define ZER1_IMPORTS_DGH_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zer1 {

// Receives one decoded line (UTF-8, without its terminator).
using DghLineSink = std::function<void(std::string_view line)>;

// Incremental decoder: bytes may arrive in chunks of any size (odd sizes too).
class DghLineDecoder {
public:
    explicit DghLineDecoder(DghLineSink sink);

    // Decodes the next chunk of the member's bytes; completed lines go to the sink.
    void Feed(std::string_view bytes);
    // Ends the input: the last line goes to the sink even without a terminator.
    // A single byte left over (a file of odd length) is dropped.
    void Finish();

private:
    void TakeUnit(std::uint16_t unit);
    void TakeCodePoint(char32_t cp);
    void EmitLine();

    DghLineSink sink_;
    bool first_unit_ = true;       // the byte-order mark may only stand first
    bool have_odd_byte_ = false;   // low byte of a unit whose high byte is still to come
    std::uint8_t odd_byte_ = 0;
    std::uint16_t high_surrogate_ = 0;  // waiting for its low half, 0 when none
    char32_t open_break_ = 0;      // CR or LF that may start a terminator, 0 when none
    std::string line_;
};

// Decodes a whole member held in memory.
std::vector<std::string> DecodeDghLines(std::string_view bytes);

// Reads the file at path in chunks and hands every line to sink; after each
// chunk pump() is called (may be empty) so that the user interface stays
// responsive. Throws std::runtime_error naming the file when it cannot be
// opened or read.
void ReadDghSourceFile(const std::string& path, const DghLineSink& sink,
                       const std::function<void()>& pump = {});

}  // namespace zer1

#endif  // ZER1_IMPORTS_DGH_SOURCE_H
