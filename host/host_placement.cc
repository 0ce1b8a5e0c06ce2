#include "host/host_placement.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace jevhost {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLibraries[] = {"libzer1.so", "libsde61.so"};

std::string WithSlash(std::string directory) {
    if (!directory.empty() && directory.back() != '/') directory += '/';
    return directory;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::file_size(a, error) != fs::file_size(b, error) || error) return false;
    std::ifstream left(a, std::ios::binary);
    std::ifstream right(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(left), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(right));
}

}  // namespace

std::string OwnDirectory() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return "./";
    return WithSlash(self.parent_path().string());
}

std::string PlaceHostIn(const std::string& program_directory) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) throw std::runtime_error("/proc/self/exe kann nicht gelesen werden");
    const fs::path target = fs::path(program_directory) / self.filename();
    fs::create_directories(program_directory, error);
    if (!SameBytes(self, target)) {
        // A new file rather than one written over: a running copy stays intact.
        const fs::path fresh = target.string() + ".neu";
        fs::copy_file(self, fresh, fs::copy_options::overwrite_existing, error);
        if (!error) fs::rename(fresh, target, error);
        if (error) throw std::runtime_error(target.string() + " kann nicht angelegt werden");
    }
    for (const char* library : kLibraries) {
        const fs::path link = fs::path(program_directory) / library;
        const fs::path original = self.parent_path() / library;
        if (fs::exists(fs::symlink_status(link))) {
            if (fs::equivalent(link, original, error)) continue;
            fs::remove(link, error);
        }
        fs::create_symlink(original, link, error);
        if (error) throw std::runtime_error(link.string() + " kann nicht angelegt werden");
    }
    return target.string();
}

}  // namespace jevhost
