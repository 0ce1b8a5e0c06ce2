// For tests that call the entry point: the host's parameter table beside the
// program (where the library looks for it), made for the test when the
// folder has none and removed again afterwards.
#ifndef ZER1_TESTS_SUPPORT_PARAMETER_TABLE_GUARD_H
#define ZER1_TESTS_SUPPORT_PARAMETER_TABLE_GUARD_H

#include <filesystem>
#include <string>
#include <system_error>

#include "common/file_names.h"
#include "run/parameter_table.h"
#include "tests/support/temp_dir.h"

namespace zer1::testing {

class ParameterTableGuard {
  public:
    explicit ParameterTableGuard(const std::string& program_directory)
        : path_(WithTrailingSeparator(program_directory) + "VUROZE.LIC") {
        made_ = !PathExists(path_) && CreateParameterTable(program_directory, "0000000");
    }
    ~ParameterTableGuard() {
        std::error_code ignored;
        if (made_) std::filesystem::remove(path_, ignored);
    }
    ParameterTableGuard(const ParameterTableGuard&) = delete;
    ParameterTableGuard& operator=(const ParameterTableGuard&) = delete;

  private:
    std::string path_;
    bool made_ = false;
};

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_PARAMETER_TABLE_GUARD_H
