#include "fowis/price_list_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/file_names.h"

namespace zer1 {
namespace {

constexpr unsigned char kEndOfFileMark = 0x1A;
constexpr unsigned char kDelete = 0x7F;

// Follows the bytes of the list one at a time; stops at the first line that
// is no Fowis line.
class LineScanner {
  public:
    explicit LineScanner(int record_columns) : record_columns_(record_columns) {}

    // False once a line has been found invalid; later bytes change nothing.
    bool Take(unsigned char c) {
        if (after_end_mark_) {
            if (c == '\r' || c == '\n' || c == kEndOfFileMark) return true;
            return Refuse(end_mark_line_);
        }
        if (carriage_return_) {
            // A carriage return belongs to the line end only right before "\n".
            if (c != '\n') return Refuse(line_);
            carriage_return_ = false;
        }
        switch (c) {
            case '\n':
                ++line_;
                column_ = 0;
                return true;
            case '\r':
                carriage_return_ = true;
                return true;
            case kEndOfFileMark:
                after_end_mark_ = true;
                end_mark_line_ = line_;
                return true;
            default:
                break;
        }
        if (c < 0x20 || c == kDelete) return Refuse(line_);
        if (c != ' ' && column_ < record_columns_) has_record_ = true;
        ++column_;
        return true;
    }

    PriceListSourceCheck Result() const {
        PriceListSourceCheck check;
        if (invalid_line_ > 0) {
            check.outcome = PriceListSourceCheck::Outcome::kInvalidLine;
            check.line = invalid_line_;
        } else if (!has_record_) {
            check.outcome = PriceListSourceCheck::Outcome::kNoRecords;
        }
        return check;
    }

  private:
    bool Refuse(long line) {
        invalid_line_ = line;
        return false;
    }

    const int record_columns_;
    long line_ = 1;
    long column_ = 0;
    bool carriage_return_ = false;
    bool after_end_mark_ = false;
    long end_mark_line_ = 0;
    bool has_record_ = false;
    long invalid_line_ = 0;
};

}  // namespace

PriceListSourceCheck CheckPriceListSource(const std::string& path, int record_columns) {
    PriceListSourceCheck unreadable;
    unreadable.outcome = PriceListSourceCheck::Outcome::kUnreadable;

    const int fd = ::open(ResolveFileName(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return unreadable;
    LineScanner scanner(record_columns);
    unsigned char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            return unreadable;
        }
        if (got == 0) break;
        bool valid = true;
        for (ssize_t i = 0; i < got && valid; ++i) valid = scanner.Take(buffer[i]);
        if (!valid) break;
    }
    ::close(fd);
    return scanner.Result();
}

}  // namespace zer1
