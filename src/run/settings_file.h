// The settings file zer1.ini: a Windows-style profile file in which the
// dialog remembers the last inputs of each interface and the option check
// boxes.  Every read goes to the file and every write is on disk when the
// call returns (no caching).  Section and key names match without regard to
// case; everything else in the file (other sections, other keys, comments)
// is kept as it is.  A missing or unreadable file reads as defaults; the
// first write creates it.  The keys and the inputs kept under them are named
// in remembered_inputs.h.
#ifndef ZER1_RUN_SETTINGS_FILE_H
#define ZER1_RUN_SETTINGS_FILE_H

#include <string>
#include <string_view>

namespace zer1 {

inline constexpr const char* kSettingsFileName = "zer1.ini";
// "Die Einstellungen konnten nicht in "<path>" gespeichert werden."
std::string SettingsNotSavedMessage(const std::string& path);

class SettingsFile {
  public:
    // `path` is the full file name, normally program directory + "zer1.ini".
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // The value of `key` in `section`, blanks around it dropped and one pair of
    // enclosing quotes removed; `default_value` when the file, the section or
    // the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& default_value) const;

    // The value read as a decimal integer; `default_value` when it does not
    // read as one (or is missing).
    int ReadInteger(std::string_view section, std::string_view key, int default_value) const;

    // True for any non-zero integer value.
    bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

    // Sets `key` in `section` to `value`, adding the section and the key when
    // they are missing, and puts the whole file on disk before returning (a
    // new file is written beside the old one and renamed over it; where the
    // directory takes no new file, an existing file is rewritten in place).
    // Throws zer1::Error with SettingsNotSavedMessage when neither is
    // possible; the old file then stays as it was.  Line breaks in `value`
    // become blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

  private:
    std::string path_;
};

}  // namespace zer1

#endif  // ZER1_RUN_SETTINGS_FILE_H
