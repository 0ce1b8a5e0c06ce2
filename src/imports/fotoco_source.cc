#include "imports/fotoco_source.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "common/error.h"
#include "common/file_names.h"

namespace zer1 {

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kEndOfFile = '\x1A';

// Splits the text into lines as it arrives piece by piece.  A carriage
// return at the end of one piece may be followed by its line feed at the
// start of the next, so the splitter remembers it.
class LineSplitter {
  public:
    explicit LineSplitter(const FotocoLineSink& sink) : sink_(sink) {}

    // Takes the next piece; false once the end-of-file character was seen.
    bool Feed(std::string_view bytes) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c != kCr && c != kLf && c != kEndOfFile) {
                skip_lf_ = false;
                continue;
            }
            if (c == kLf && skip_lf_) {
                // The second half of a CR LF pair.
                skip_lf_ = false;
                start = i + 1;
                continue;
            }
            line_.append(bytes.substr(start, i - start));
            start = i + 1;
            if (c == kEndOfFile) return false;
            EmitLine();
            skip_lf_ = c == kCr;
        }
        line_.append(bytes.substr(start));
        return true;
    }

    // The text after the last terminator is the last line.
    void Finish() {
        if (!line_.empty()) EmitLine();
    }

  private:
    void EmitLine() {
        ++number_;
        sink_(number_, line_);
        line_.clear();
    }

    const FotocoLineSink& sink_;
    std::string line_;
    long number_ = 0;
    bool skip_lf_ = false;  // a CR ended the last line: a LF right after it belongs to it
};

}  // namespace

void ForEachFotocoLine(std::string_view member_bytes, const FotocoLineSink& sink) {
    LineSplitter splitter(sink);
    splitter.Feed(member_bytes);
    splitter.Finish();
}

void ReadFotocoSourceFile(const std::string& path, const FotocoLineSink& sink) {
    std::ifstream in(ResolveFileName(path), std::ios::binary);
    if (!in) throw Error("Cannot open file " + path + ": " + std::strerror(errno));
    LineSplitter splitter(sink);
    std::string block(kFotocoReadBlockSize, '\0');
    for (;;) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const std::size_t got = static_cast<std::size_t>(in.gcount());
        if (in.bad()) throw Error("Cannot read file " + path);
        if (!splitter.Feed(std::string_view(block).substr(0, got)) || in.eof()) break;
    }
    splitter.Finish();
}

}  // namespace zer1
