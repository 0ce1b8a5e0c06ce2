// Backup rotation of the Fowis price list: after a successful run the source file
// moves into a numbered series (TRFOWIS.SDF becomes TRFOW001.SDF, the former 001
// becomes 002, ...), of which at most `generations` are kept.
#ifndef ZER1_FOWIS_BACKUP_ROTATION_H
#define ZER1_FOWIS_BACKUP_ROTATION_H

#include <string>

namespace zer1 {

inline constexpr const char* kFowisSourceFileName = "TRFOWIS.SDF";
inline constexpr int kFowisBackupGenerations = 5;

// directory + the first five characters of the name before its first "." + the
// generation with at least three digits + "." and up to three characters of the
// extension: ("/d/", "TRFOWIS.SDF", 2) gives "/d/TRFOW002.SDF".
std::string BackupName(const std::string& directory, const std::string& file_name, int generation);

// Moves directory + file_name into generation 1 after shifting every existing
// generation up by one and deleting the last.  `directory` ends in "/" or is empty.
// Files are found without regard to case.  A generation that cannot be moved
// (its successor's name is taken) stays; the source stays when generation 1
// cannot be freed.  Returns the source's new name, or "" when it was not moved.
std::string RotateBackups(const std::string& directory, const std::string& file_name,
                          int generations);

}  // namespace zer1

#endif  // ZER1_FOWIS_BACKUP_ROTATION_H
