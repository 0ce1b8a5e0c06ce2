#include "common/program_directory.h"

#include <unistd.h>

#include <vector>

#include "common/file_names.h"

namespace zer1 {

std::string ProgramDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return "./";
        if (std::size_t(length) < buffer.size()) {
            const std::string directory = DirectoryPart(std::string(buffer.data(), length));
            return directory.empty() ? "./" : directory;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace zer1
