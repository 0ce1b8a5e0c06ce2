#include "common/file_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <vector>

#include "common/text_encoding.h"

namespace zer1 {
namespace {

char32_t FoldCase(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x137 && c % 2 == 0) return c + 1;  // Latin Extended-A pairs
    if (c >= 0x139 && c <= 0x148 && c % 2 == 1) return c + 1;
    if (c >= 0x14A && c <= 0x177 && c % 2 == 0) return c + 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E && c % 2 == 1) return c + 1;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Finds an entry of `directory` ("" for the current one) whose name equals
// `name` without regard to case.
std::optional<std::string> FindEntryIgnoringCase(const std::string& directory,
                                                 const std::string& name) {
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate == "." || candidate == "..") continue;
        if (!NamesEqualIgnoringCase(candidate, name)) continue;
        if (!best || candidate < *best) best = candidate;
    }
    ::closedir(dir);
    return best;
}

}  // namespace

bool NamesEqualIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

std::string ResolveFileName(const std::string& path) {
    if (path.empty() || Exists(path)) return path;

    // Walk the components; `resolved` is always a prefix that exists on disk
    // (or is empty / "/"), until the first component that cannot be found.
    std::string resolved;
    std::size_t pos = 0;
    if (path[0] == '/') {
        resolved = "/";
        pos = 1;
    }
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(pos, end - pos);
        const bool last = end == path.size();
        if (!component.empty() && component != "." && component != "..") {
            std::string candidate = resolved + component;
            if (!Exists(candidate)) {
                std::optional<std::string> match = FindEntryIgnoringCase(resolved, component);
                if (!match) return resolved + path.substr(pos);  // create as spelled
                candidate = resolved + *match;
            }
            resolved = std::move(candidate);
        } else {
            resolved += component;
        }
        if (!last) resolved += '/';
        pos = end + 1;
    }
    return resolved;
}

bool FileExists(const std::string& path) {
    return ResolvedFileExists(ResolveFileName(path));
}

bool ResolvedFileExists(const std::string& resolved) {
    struct stat st;
    return ::stat(resolved.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::optional<std::string> ResolveExistingFile(const std::string& path) {
    struct stat st;
    if (!path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return path;
    std::string resolved = ResolveFileName(path);
    if (!ResolvedFileExists(resolved)) return std::nullopt;
    return resolved;
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(ResolveFileName(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path) {
    const std::string resolved = ResolveFileName(path);
    struct stat st;
    if (::lstat(resolved.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(resolved.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
    const std::string source = ResolveFileName(from);
    const std::string target = ResolveFileName(to);
    if (Exists(target)) return false;
    // renameat2 refuses to replace a file that appeared in the meantime.
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    return ::rename(source.c_str(), target.c_str()) == 0;  // file system without NOREPLACE
}

std::string DirectoryPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

unsigned CurrentUmask() {
    // /proc tells the mask without the set-and-restore dance of umask(2),
    // which would briefly change it for every thread.
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr) {
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        }
        std::fclose(status);
        if (found) return mask;
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

std::string WithTrailingSeparator(std::string directory) {
    if (!directory.empty() && directory.back() != '/') directory += '/';
    return directory;
}

}  // namespace zer1
