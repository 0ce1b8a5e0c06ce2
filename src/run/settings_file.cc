#include "run/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>

#include "common/error.h"
#include "common/file_names.h"
#include "common/helpers.h"

namespace zer1 {
namespace {

// The file as lines (without their line ends), plus what is needed to write
// it back the way it was: the line-end style, a leading byte-order mark and
// whether the last line had a line end.
struct ProfileText {
    std::vector<std::string> lines;
    std::string line_end = "\n";
    bool byte_order_mark = false;
};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

ProfileText Parse(std::string contents) {
    ProfileText text;
    if (contents.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) {
        text.byte_order_mark = true;
        contents.erase(0, kUtf8Bom.size());
    }
    const std::size_t first_newline = contents.find('\n');
    if (first_newline != std::string::npos && first_newline > 0 &&
        contents[first_newline - 1] == '\r') {
        text.line_end = "\r\n";
    }
    std::size_t pos = 0;
    while (pos < contents.size()) {
        std::size_t end = contents.find('\n', pos);
        if (end == std::string::npos) end = contents.size();
        std::string line = contents.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text.lines.push_back(std::move(line));
        pos = end + 1;
    }
    return text;
}

// The section name of a line "[name]", or nothing when the line is no
// section heading.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return TrimBlanks(line.substr(1));
    return TrimBlanks(line.substr(1, close - 1));
}

// The key of a line "key=value" (nothing for a line without "=").
std::optional<std::string_view> KeyName(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return TrimBlanks(line.substr(0, equals));
}

bool SameName(std::string_view a, std::string_view b) {
    return NamesEqualIgnoringCase(a, b);
}

// Index range of the first section called `section`: its heading line and
// the line after its last line.
struct SectionRange {
    std::size_t heading;
    std::size_t end;
};

std::optional<SectionRange> FindSection(const ProfileText& text, std::string_view section) {
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        const auto name = SectionName(text.lines[i]);
        if (!name || !SameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < text.lines.size() && !SectionName(text.lines[end])) ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const ProfileText& text, const SectionRange& range,
                                   std::string_view key) {
    for (std::size_t i = range.heading + 1; i < range.end; ++i) {
        const auto name = KeyName(text.lines[i]);
        if (name && SameName(*name, key)) return i;
    }
    return std::nullopt;
}

// Reads the whole file.  Nothing when it does not exist; `unreadable` is set
// when it exists but cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path, bool* unreadable) {
    if (unreadable != nullptr) *unreadable = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (unreadable != nullptr && errno != ENOENT) *unreadable = true;
        return std::nullopt;
    }
    std::string contents;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            if (unreadable != nullptr) *unreadable = true;
            return std::nullopt;
        }
        contents.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return contents;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(std::size_t(n));
    }
    return true;
}

// Writes `data` at `offset`, however many calls it takes.
bool WriteAllAt(int fd, std::string_view data, off_t offset) {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(std::size_t(n));
        offset += n;
    }
    return true;
}

// Rewrites the existing file `path` in place with `contents`: the way left
// when the directory takes no new file or no file renamed over the old one
// (no write permission, a sticky directory) but the file itself may be written.
// The room for a longer text is taken first, beyond the old end, so that a
// full disk stops the write before any of the old text is overwritten.
bool RewriteInPlace(const std::string& path, const std::string& contents) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool done = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const off_t new_size = static_cast<off_t>(contents.size());
    if (done && new_size > st.st_size) {
        const int reserved = ::posix_fallocate(fd, st.st_size, new_size - st.st_size);
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
            // None of the old text was overwritten; drop what the reservation added.
            [[maybe_unused]] const int trimmed = ::ftruncate(fd, st.st_size);
            done = false;
        }
    }
    done = done && WriteAllAt(fd, contents, 0) && ::ftruncate(fd, new_size) == 0 &&
           ::fsync(fd) == 0;
    return ::close(fd) == 0 && done;
}

// Puts `contents` on disk under `path`: written and synced into a temporary
// file in the same directory, then renamed over the old file, so that the
// file always holds either the old or the new settings.  Where no new file can
// take the old one's place, an existing file is rewritten in place instead.
bool ReplaceFile(const std::string& path, const std::string& contents) {
    std::string target = path;
    struct stat st;
    bool existed = ::lstat(path.c_str(), &st) == 0;
    if (existed && S_ISLNK(st.st_mode)) {  // update the file the link points to
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) return false;
        target = real;
        std::free(real);
        existed = ::stat(target.c_str(), &st) == 0;
    }
    const mode_t mode = existed ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());

    std::string temp = DirectoryPart(target) + "." + FileNamePart(target) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return existed && RewriteInPlace(target, contents);
    const bool written = WriteAll(fd, contents) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written) {
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return existed && RewriteInPlace(target, contents);
    }
    // Make the rename itself durable.
    const std::string directory = DirectoryPart(target);
    const int dir_fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
    return true;
}

std::string Serialize(const ProfileText& text) {
    std::string out;
    if (text.byte_order_mark) out += kUtf8Bom;
    for (const std::string& line : text.lines) {
        out += line;
        out += text.line_end;
    }
    return out;
}

}  // namespace

std::string SettingsNotSavedMessage(const std::string& path) {
    return "Die Einstellungen konnten nicht in \"" + path + "\" gespeichert werden.";
}

std::string SettingsFile::ReadString(std::string_view section, std::string_view key,
                                     const std::string& default_value) const {
    const std::optional<std::string> contents = ReadWholeFile(ResolveFileName(path_), nullptr);
    if (!contents) return default_value;
    const ProfileText text = Parse(*contents);
    const auto range = FindSection(text, section);
    if (!range) return default_value;
    const auto line = FindKey(text, *range, key);
    if (!line) return default_value;
    const std::string& found = text.lines[*line];
    std::string_view value = TrimBlanks(std::string_view(found).substr(found.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

int SettingsFile::ReadInteger(std::string_view section, std::string_view key,
                              int default_value) const {
    const std::string text = ReadString(section, key, "");
    std::string_view digits = TrimBlanks(text);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    int value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return default_value;
    }
    return value;
}

bool SettingsFile::ReadBool(std::string_view section, std::string_view key,
                            bool default_value) const {
    return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void SettingsFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
    const std::string path = ResolveFileName(path_);
    bool unreadable = false;
    const std::optional<std::string> contents = ReadWholeFile(path, &unreadable);
    // A file that exists but cannot be read is not replaced: its other
    // content would be lost.
    if (unreadable) throw Error(SettingsNotSavedMessage(path_));

    ProfileText text = contents ? Parse(*contents) : ProfileText{};
    std::string line = std::string(key) + "=";
    for (char c : value) line += (c == '\r' || c == '\n') ? ' ' : c;

    if (const auto range = FindSection(text, section)) {
        if (const auto existing = FindKey(text, *range, key)) {
            text.lines[*existing] = std::move(line);
        } else {
            // After the section's last non-blank line.
            std::size_t insert_at = range->end;
            while (insert_at > range->heading + 1 &&
                   TrimBlanks(text.lines[insert_at - 1]).empty()) {
                --insert_at;
            }
            text.lines.insert(text.lines.begin() + std::ptrdiff_t(insert_at), std::move(line));
        }
    } else {
        if (!text.lines.empty() && !TrimBlanks(text.lines.back()).empty())
            text.lines.emplace_back();
        text.lines.push_back("[" + std::string(section) + "]");
        text.lines.push_back(std::move(line));
    }
    if (!ReplaceFile(path, Serialize(text))) throw Error(SettingsNotSavedMessage(path_));
}

void SettingsFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void SettingsFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace zer1
