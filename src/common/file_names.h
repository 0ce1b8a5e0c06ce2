// File names without regard to case.  The host's tables and files were named
// on a file system that ignores case; here every existence test, open,
// deletion and rename goes through ResolveFileName, which finds the file
// whatever the case of its letters.  New files are created under the name as
// the caller spells it.
#ifndef ZER1_COMMON_FILE_NAMES_H
#define ZER1_COMMON_FILE_NAMES_H

#include <optional>
#include <string>
#include <string_view>

namespace zer1 {

// The name under which `path` exists on disk.  When `path` exists as spelled
// it is returned unchanged (an exact match always wins).  Otherwise each
// missing component is looked up in its directory without regard to case;
// when several entries differ from it only by case, the first in byte order
// is taken.  When nothing matches, the remaining components are kept as
// spelled, so the result is the name to create.
std::string ResolveFileName(const std::string& path);

// True when the two names are equal without regard to the case of their
// letters (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic capitals).
bool NamesEqualIgnoringCase(std::string_view a, std::string_view b);

// Existence tests after resolution: FileExists is true for anything that is
// not a directory (a symbolic link counts by its target), DirectoryExists
// only for directories.
bool FileExists(const std::string& path);
// FileExists for a name that ResolveFileName has given already: one look at
// the file system instead of two.
bool ResolvedFileExists(const std::string& resolved);
// ResolveFileName for a file that must exist: the name on disk, or none when
// FileExists would be false.  A name spelled as on disk costs one look.
std::optional<std::string> ResolveExistingFile(const std::string& path);
bool DirectoryExists(const std::string& path);

// Deletes the file; false when it did not exist or could not be removed.
bool DeleteFile(const std::string& path);

// Renames `from` to `to`; fails (false) when `to` exists in any case variant,
// as the host's file system would.
bool RenameFile(const std::string& from, const std::string& to);

// Directory part of a file name including its trailing "/" ("" when none),
// and the file-name part after the last "/".
std::string DirectoryPart(const std::string& path);
std::string FileNamePart(const std::string& path);

// The process's file-creation mask, read without changing it.
unsigned CurrentUmask();

// `directory` with a "/" appended when it is not empty and lacks one.
std::string WithTrailingSeparator(std::string directory);

}  // namespace zer1

#endif  // ZER1_COMMON_FILE_NAMES_H
