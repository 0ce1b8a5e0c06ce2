// A fresh directory under the system's temporary folder, removed with its content
// at the end of the test.
#ifndef ZER1_TESTS_FOWIS_TEMP_DIRECTORY_H
#define ZER1_TESTS_FOWIS_TEMP_DIRECTORY_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace zer1 {

class TempDirectory {
public:
    TempDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zer1-fowis-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern + "/";
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    // With a trailing "/".
    const std::string& path() const { return path_; }

    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(path_ + name, std::ios::binary) << content;
    }
    bool Has(const std::string& name) const { return std::filesystem::exists(path_ + name); }
    std::string Read(const std::string& name) const {
        std::ifstream in(path_ + name, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    std::size_t EntryCount() const {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_)) ++count;
        return count;
    }

private:
    std::string path_;
};

}  // namespace zer1

#endif  // ZER1_TESTS_FOWIS_TEMP_DIRECTORY_H
