// DGH source file reading: turns the bytes of a DGH archive member (UTF-16LE
// text, optionally led by a byte-order mark) into lines of text, handed over
// either in UTF-8 or in the working table's code page, Windows-1252.
//
// The first code unit is skipped only when it is the byte-order mark U+FEFF.
// A line ends at a CR LF or LF CR pair; the pair is not part of the line, and
// its second half never starts another terminator, so CR LF CR LF ends one
// line and then an empty one. Lines holding nothing but blanks or control
// characters are skipped. The text after the last terminator is a line like
// any other (a lone CR or LF at the very end of the file is dropped). An odd
// last byte is no character: it is read as U+FFFD.
#ifndef ZER1_IMPORTS_DGH_SOURCE_H
#define ZER1_IMPORTS_DGH_SOURCE_H

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zer1 {

// Bytes the file reading takes at a time.
inline constexpr std::size_t kDghReadBlockSize = std::size_t{1} << 18;

// Receives one line without its terminator; the view is valid during the call.
using DghLineSink = std::function<void(std::string_view line)>;

// The form in which lines are handed over.
enum class DghLineText {
    kUtf8,         // the program's inner text
    kWindows1252,  // one byte per character, "?" for a character the code page lacks
};

// Hands every line of the member's bytes to sink, in order.
void ForEachDghLine(std::string_view member_bytes, const DghLineSink& sink,
                    DghLineText form = DghLineText::kUtf8);

// The lines of a member held in memory, in UTF-8.
std::vector<std::string> DecodeDghLines(std::string_view member_bytes);

// Reads the file at path block by block and hands every line to sink; the
// file is never held in memory as a whole. Raises zer1::Error naming the
// file when it cannot be opened or read.
void ReadDghSourceFile(const std::string& path, const DghLineSink& sink,
                       DghLineText form = DghLineText::kUtf8);

}  // namespace zer1

#endif  // ZER1_IMPORTS_DGH_SOURCE_H
