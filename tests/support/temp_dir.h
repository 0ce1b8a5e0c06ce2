// The scratch directory of the tests and benchmarks: a fresh directory under
// the system's temporary folder for one test (or one benchmark program),
// removed with everything in it when it ends; plus small file helpers.
#ifndef ZER1_TESTS_SUPPORT_TEMP_DIR_H
#define ZER1_TESTS_SUPPORT_TEMP_DIR_H

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace zer1::testing {

class TempDir {
  public:
    // `prefix` starts the directory's name, so that a left-over one says whose it was.
    explicit TempDir(const std::string& prefix = "zer1-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern + "/";
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with its trailing "/".
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

    // Files directly in the directory, by name.
    void Write(const std::string& name, const std::string& contents) const;
    std::string Read(const std::string& name) const;
    bool Has(const std::string& name) const { return std::filesystem::exists(path_ + name); }
    std::size_t EntryCount() const {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_)) ++count;
        return count;
    }

  private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

inline void TempDir::Write(const std::string& name, const std::string& contents) const {
    WriteFile(path_ + name, contents);
}
inline std::string TempDir::Read(const std::string& name) const { return ReadFile(path_ + name); }

inline bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_TEMP_DIR_H
