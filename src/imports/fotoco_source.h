// Fotoco member file reading: the member is 8-bit text in Windows-1252, the
// working table's own code page, so its lines are handed over as the bytes
// they are.
//
// A line ends at a carriage return, a carriage return followed by a line
// feed, or a line feed alone; the terminator is not part of the line.  The
// character 26 (end of file) or the physical end of the file ends the text;
// the last line needs no terminator.  Lines are numbered from 1 in the order
// they stand in the file, empty ones included, so a message can point the
// user at the line in any text editor.
#ifndef ZER1_IMPORTS_FOTOCO_SOURCE_H
#define ZER1_IMPORTS_FOTOCO_SOURCE_H

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace zer1 {

// Bytes the file reading takes at a time.
inline constexpr std::size_t kFotocoReadBlockSize = std::size_t{1} << 18;

// Receives one line without its terminator and its number; the view is valid
// during the call.
using FotocoLineSink = std::function<void(long line_number, std::string_view line)>;

// Hands every line of the member's bytes to sink, in order.
void ForEachFotocoLine(std::string_view member_bytes, const FotocoLineSink& sink);

// Reads the file at path block by block and hands every line to sink.
// Raises zer1::Error naming the file when it cannot be opened or read.
void ReadFotocoSourceFile(const std::string& path, const FotocoLineSink& sink);

}  // namespace zer1

#endif  // ZER1_IMPORTS_FOTOCO_SOURCE_H
