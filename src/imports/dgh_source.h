// DGH source file reading: turns the bytes of a DGH archive member (UTF-16LE
// text, optionally led by a byte-order mark) into lines of UTF-8 text.
//
// The first code unit is skipped only when it is the byte-order mark U+FEFF.
// A line ends at a CR LF or LF CR pair; the pair is not part of the line, and
// its second half never starts another terminator, so CR LF CR LF ends one
// line and then an empty one. Lines holding nothing but blanks or control
// characters are skipped. The text after the last terminator is a line like
// any other (a lone CR or LF at the very end of the file is dropped).
#ifndef ZER1_IMPORTS_DGH_SOURCE_H
#define ZER1_IMPORTS_DGH_SOURCE_H

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zer1 {

// Receives one line (UTF-8, without its terminator).
using DghLineSink = std::function<void(std::string_view line)>;

// Hands every line of the member's bytes to sink, in order.
void ForEachDghLine(std::string_view member_bytes, const DghLineSink& sink);

// The lines of a member held in memory.
std::vector<std::string> DecodeDghLines(std::string_view member_bytes);

// Reads the file at path and hands every line to sink. Raises zer1::Error
// naming the file when it cannot be opened or read.
void ReadDghSourceFile(const std::string& path, const DghLineSink& sink);

}  // namespace zer1

#endif  // ZER1_IMPORTS_DGH_SOURCE_H
