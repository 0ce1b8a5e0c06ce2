// The remembered inputs of the three interfaces: the keys of section
// "Settings" in zer1.ini, and the one place where they are loaded and saved.
// The dialog loads everything at start-up and saves the option check boxes
// when it closes; each run saves its own page's inputs once it has checked
// them.
#ifndef ZER1_RUN_REMEMBERED_INPUTS_H
#define ZER1_RUN_REMEMBERED_INPUTS_H

#include <string>

namespace zer1 {

class SettingsFile;

inline constexpr const char* kSettingsSection = "Settings";

// The keys of section "Settings".
namespace settings_key {
// Texts (default empty).
inline constexpr const char* kQuellpfad = "Quellpfad";
inline constexpr const char* kQuelldatei = "Quelldatei";
inline constexpr const char* kZielpfad = "Zielpfad";
inline constexpr const char* kQuellpfadFotoco = "QuellpfadFotoco";
inline constexpr const char* kQuelldateiFotoco = "QuelldateiFotoco";
inline constexpr const char* kZielpfadFotoco = "ZielpfadFotoco";
inline constexpr const char* kQuellPfadFowis = "QuellPfadFowis";
// Integer: the Fowis factor times 10000 (default 0).
inline constexpr const char* kFaktorFowis = "FaktorFowis";
// Booleans (default false).
inline constexpr const char* kPool = "Pool";
inline constexpr const char* kUpdate = "Update";
inline constexpr const char* kStandard = "Standard";
inline constexpr const char* kLagerupdate = "Lagerupdate";
inline constexpr const char* kLagerNeu = "LagerNeu";
}  // namespace settings_key

enum class SettingKind { kText, kInteger, kBoolean };

struct SettingDescription {
    const char* key;
    SettingKind kind;
};

// The thirteen keys with their kinds; texts default to "", the integer to 0
// and the booleans to false.
inline constexpr SettingDescription kSettingDescriptions[] = {
    {settings_key::kQuellpfad, SettingKind::kText},
    {settings_key::kQuelldatei, SettingKind::kText},
    {settings_key::kZielpfad, SettingKind::kText},
    {settings_key::kQuellpfadFotoco, SettingKind::kText},
    {settings_key::kQuelldateiFotoco, SettingKind::kText},
    {settings_key::kZielpfadFotoco, SettingKind::kText},
    {settings_key::kQuellPfadFowis, SettingKind::kText},
    {settings_key::kFaktorFowis, SettingKind::kInteger},
    {settings_key::kPool, SettingKind::kBoolean},
    {settings_key::kUpdate, SettingKind::kBoolean},
    {settings_key::kStandard, SettingKind::kBoolean},
    {settings_key::kLagerupdate, SettingKind::kBoolean},
    {settings_key::kLagerNeu, SettingKind::kBoolean},
};

// The keys under which one archive interface (DGH or Fotoco) remembers its
// archive (directory and file name apart) and its output directory.
struct ArchiveInputKeys {
    const char* source_directory;
    const char* source_file;
    const char* output;
};

inline constexpr ArchiveInputKeys kDghInputKeys{
    settings_key::kQuellpfad, settings_key::kQuelldatei, settings_key::kZielpfad};
inline constexpr ArchiveInputKeys kFotocoInputKeys{
    settings_key::kQuellpfadFotoco, settings_key::kQuelldateiFotoco, settings_key::kZielpfadFotoco};

struct RememberedArchiveInputs {
    std::string source_directory;  // with its trailing "/"
    std::string source_file;
    std::string output;

    std::string Archive() const { return source_directory + source_file; }
};

struct RememberedFowisInputs {
    std::string source;        // the price list's full file name
    long double factor = 0.0L;
};

// The option check boxes of the DGH and Fotoco pages.
struct RememberedOptions {
    bool pool = false;
    bool update = false;
    bool standard = false;
    bool lagerupdate = false;
    bool lager_neu = false;
};

RememberedArchiveInputs LoadArchiveInputs(const SettingsFile& settings, const ArchiveInputKeys& keys);
RememberedFowisInputs LoadFowisInputs(const SettingsFile& settings);
RememberedOptions LoadOptions(const SettingsFile& settings);

// Each save puts its keys on disk before it returns and throws zer1::Error
// with the settings file's message when that fails.  `archive` is the full
// file name, stored as its directory and its file name.
void SaveArchiveInputs(SettingsFile& settings, const ArchiveInputKeys& keys,
                       const std::string& archive, const std::string& output);
void SaveFowisInputs(SettingsFile& settings, const std::string& source, long double factor);
void SaveOptions(SettingsFile& settings, const RememberedOptions& options);

// The value stored as "FaktorFowis": the factor times 10000, rounded to the
// nearest integer with exact halves going to the even neighbour, held within
// the range of a 32-bit integer.
int FactorSettingValue(long double factor);

}  // namespace zer1

#endif  // ZER1_RUN_REMEMBERED_INPUTS_H
