#include "fowis/backup_rotation.h"

#include <string_view>

#include "common/file_names.h"

namespace zer1 {
namespace {

struct SplitName {
    std::string base;       // before the first "."
    std::string extension;  // the "." and up to three characters after it
};

SplitName Split(const std::string& file_name) {
    const std::size_t dot = file_name.find('.');
    if (dot == std::string::npos) return {file_name, std::string()};
    return {file_name.substr(0, dot), file_name.substr(dot, 4)};
}

std::string GenerationNumber(int generation) {
    std::string digits = std::to_string(generation);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return digits;
}

std::string TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

std::string BackupName(const std::string& directory, const std::string& file_name, int generation) {
    const SplitName name = Split(file_name);
    return directory + name.base.substr(0, 5) + GenerationNumber(generation) + name.extension;
}

std::string RotateBackups(const std::string& directory, const std::string& file_name,
                          int generations) {
    const std::string source = directory + file_name;
    if (!FileExists(source)) return std::string();

    for (int generation = generations; generation >= 1; --generation) {
        const std::string backup = BackupName(directory, file_name, generation);
        if (!FileExists(backup)) continue;
        if (generation == generations) {
            DeleteFile(backup);
        } else {
            RenameFile(backup, BackupName(directory, file_name, generation + 1));
        }
    }

    if (!FileExists(source)) return std::string();
    const SplitName name = Split(file_name);
    const std::string newest =
        directory + TrimSpaces(std::string_view(name.base).substr(0, 5)) + "001" + name.extension;
    return RenameFile(source, newest) ? newest : std::string();
}

}  // namespace zer1
