#include "run/remembered_inputs.h"

#include <climits>
#include <cmath>

#include "common/file_names.h"
#include "run/settings_file.h"

namespace zer1 {

RememberedArchiveInputs LoadArchiveInputs(const SettingsFile& settings, const ArchiveInputKeys& keys) {
    RememberedArchiveInputs inputs;
    inputs.source_directory = settings.ReadString(kSettingsSection, keys.source_directory, "");
    inputs.source_file = settings.ReadString(kSettingsSection, keys.source_file, "");
    inputs.output = settings.ReadString(kSettingsSection, keys.output, "");
    return inputs;
}

RememberedFowisInputs LoadFowisInputs(const SettingsFile& settings) {
    RememberedFowisInputs inputs;
    inputs.source = settings.ReadString(kSettingsSection, settings_key::kQuellPfadFowis, "");
    const int factor = settings.ReadInteger(kSettingsSection, settings_key::kFaktorFowis, 0);
    inputs.factor = static_cast<long double>(factor) / 10000.0L;
    return inputs;
}

RememberedOptions LoadOptions(const SettingsFile& settings) {
    RememberedOptions options;
    options.pool = settings.ReadBool(kSettingsSection, settings_key::kPool, false);
    options.update = settings.ReadBool(kSettingsSection, settings_key::kUpdate, false);
    options.standard = settings.ReadBool(kSettingsSection, settings_key::kStandard, false);
    options.lagerupdate = settings.ReadBool(kSettingsSection, settings_key::kLagerupdate, false);
    options.lager_neu = settings.ReadBool(kSettingsSection, settings_key::kLagerNeu, false);
    return options;
}

void SaveArchiveInputs(SettingsFile& settings, const ArchiveInputKeys& keys,
                       const std::string& archive, const std::string& output) {
    settings.WriteString(kSettingsSection, keys.source_directory, DirectoryPart(archive));
    settings.WriteString(kSettingsSection, keys.source_file, FileNamePart(archive));
    settings.WriteString(kSettingsSection, keys.output, output);
}

void SaveFowisInputs(SettingsFile& settings, const std::string& source, long double factor) {
    settings.WriteInteger(kSettingsSection, settings_key::kFaktorFowis, FactorSettingValue(factor));
    settings.WriteString(kSettingsSection, settings_key::kQuellPfadFowis, source);
}

void SaveOptions(SettingsFile& settings, const RememberedOptions& options) {
    settings.WriteBool(kSettingsSection, settings_key::kPool, options.pool);
    settings.WriteBool(kSettingsSection, settings_key::kUpdate, options.update);
    settings.WriteBool(kSettingsSection, settings_key::kStandard, options.standard);
    settings.WriteBool(kSettingsSection, settings_key::kLagerupdate, options.lagerupdate);
    settings.WriteBool(kSettingsSection, settings_key::kLagerNeu, options.lager_neu);
}

int FactorSettingValue(long double factor) {
    if (std::isnan(factor)) return 0;
    const long double scaled = factor * 10000.0L;
    long double rounded = std::floor(scaled);
    const long double fraction = scaled - rounded;
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(rounded, 2.0L) != 0)) rounded += 1;
    if (rounded >= static_cast<long double>(INT_MAX)) return INT_MAX;
    if (rounded <= static_cast<long double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(rounded);
}

}  // namespace zer1
