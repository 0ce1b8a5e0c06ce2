// The settings file zer1.ini in the library's program directory (the test
// programs' own folder), removed for one test and put back afterwards.
#ifndef ZER1_TESTS_SUPPORT_INI_GUARD_H
#define ZER1_TESTS_SUPPORT_INI_GUARD_H

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace zer1::testing {

// Removes zer1.ini for the test and restores the earlier file afterwards.
class IniGuard {
  public:
    explicit IniGuard(const std::string& directory) : path_(directory + "/zer1.ini") {
        had_ = PathExists(path_);
        if (had_) old_ = ReadFile(path_);
        std::filesystem::remove(path_);
    }
    ~IniGuard() {
        std::error_code ignored;
        if (had_) {
            WriteFile(path_, old_);
        } else {
            std::filesystem::remove(path_, ignored);
        }
    }
    IniGuard(const IniGuard&) = delete;
    IniGuard& operator=(const IniGuard&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
    bool had_ = false;
    std::string old_;
};

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_INI_GUARD_H
