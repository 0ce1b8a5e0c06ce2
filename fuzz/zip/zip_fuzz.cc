// Fuzz target for the ZIP reader: any byte string is opened as an archive,
// every member is listed, matched against a pattern and extracted into a sink
// that discards the data.  Errors must come out as zer1::Error, never as a
// crash, a hang or a read outside the file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/error.h"
#include "imports/zip_archive.h"
#include "imports/zip_name_pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("zip-fuzz", MFD_CLOEXEC);
    if (fd < 0) return 0;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n <= 0) break;
        written += std::size_t(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        const auto archive = zer1::ZipArchive::Open(path);
        const zer1::ZipNamePattern pattern("*.txt;sub/*");
        for (const zer1::ZipMember& member : archive->members()) {
            pattern.Matches(member.name);
            try {
                archive->Extract(member, [](const uint8_t*, std::size_t) { return true; });
            } catch (const zer1::Error&) {
            }
        }
    } catch (const zer1::Error&) {
    }
    ::close(fd);
    return 0;
}
