// The host's files in the library's program directory (the test programs'
// own folder), prepared for one test and put back as they were afterwards:
// the settings file zer1.ini and the parameter table VUROZE.LIC.
#ifndef ZER1_TESTS_DIALOG_PROGRAM_FILES_H
#define ZER1_TESTS_DIALOG_PROGRAM_FILES_H

#include <filesystem>
#include <string>

#include "dialog/parameter_table.h"
#include "tests/common/temp_dir.h"

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

// Makes the parameter table (all switches off) when the folder has none and
// removes it again afterwards.
class ParameterTableGuard {
  public:
    explicit ParameterTableGuard(const std::string& directory)
        : path_(directory + "/" + kParameterTableName) {
        made_ = !PathExists(path_) && CreateParameterTable(directory, "0000000");
    }
    ~ParameterTableGuard() {
        std::error_code ignored;
        if (made_) std::filesystem::remove(path_, ignored);
    }
    ParameterTableGuard(const ParameterTableGuard&) = delete;
    ParameterTableGuard& operator=(const ParameterTableGuard&) = delete;

    bool present() const { return PathExists(path_); }

  private:
    std::string path_;
    bool made_ = false;
};

}  // namespace zer1::testing

#endif  // ZER1_TESTS_DIALOG_PROGRAM_FILES_H
