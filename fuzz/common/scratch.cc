#include "common/scratch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace zer1_fuzz {
namespace {

std::string& DirectoryPath() {
    static std::string path;
    return path;
}

void RemoveDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(DirectoryPath(), ignored);
}

}  // namespace

const std::string& ScratchDirectory(const char* target) {
    std::string& path = DirectoryPath();
    if (path.empty()) {
        path = "/tmp/zer1-fuzz-" + std::string(target) + "-" + std::to_string(::getpid()) + "/";
        std::error_code error;
        std::filesystem::remove_all(path, error);
        if (!std::filesystem::create_directories(path, error)) {
            std::fprintf(stderr, "cannot create the scratch directory %s\n", path.c_str());
            std::abort();
        }
        std::atexit(RemoveDirectory);
    }
    return path;
}

void WriteScratchFile(const std::string& path, const uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "cannot write the scratch file %s\n", path.c_str());
        std::abort();
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n <= 0) {
            std::fprintf(stderr, "cannot write the scratch file %s\n", path.c_str());
            std::abort();
        }
        written += std::size_t(n);
    }
    ::close(fd);
}

void WriteScratchFile(const std::string& path, std::string_view bytes) {
    WriteScratchFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

InputParts SplitInput(const uint8_t* data, std::size_t size, std::string_view separator) {
    const std::string_view whole(reinterpret_cast<const char*>(data), size);
    const std::size_t at = whole.find(separator);
    if (at == std::string_view::npos) return {whole, {}, false};
    return {whole.substr(0, at), whole.substr(at + separator.size()), true};
}

}  // namespace zer1_fuzz
