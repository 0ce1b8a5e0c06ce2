// The version text of a library file: "V%d.%d%dR%d" filled from the file
// version embedded with ZER1_EMBED_FILE_VERSION (see file_version_note.h).
#ifndef ZER1_COMMON_VERSION_TEXT_H
#define ZER1_COMMON_VERSION_TEXT_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zer1 {

// The four parts of a file version: major, minor, release, build.
using FileVersion = std::array<uint16_t, 4>;

// Reads the embedded file version of the ELF file at `path`.  Nothing when
// the file cannot be read, is not an ELF file, or carries no version section.
// Every offset and size taken from the file is range-checked.
std::optional<FileVersion> ReadFileVersion(const std::string& path);

// Finds a library file the way the dynamic loader does: a name with a "/" is
// used as it is; a bare name is first looked up among the objects already
// loaded into the process, then by the loader's own search.  Nothing when
// the library cannot be found.
std::optional<std::string> FindLibraryFile(const std::string& name);

// "V1.00R18" for version 1.0.0.18, "V2.34R5" for 2.3.4.5: major, ".", minor
// and release side by side, "R", build.  The empty text when the file cannot
// be found or carries no version.
std::string VersionText(const std::string& file_name);

// The formatting step alone.
std::string FormatVersionText(const FileVersion& version);

}  // namespace zer1

#endif  // ZER1_COMMON_VERSION_TEXT_H
