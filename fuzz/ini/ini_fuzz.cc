// Fuzz target of the settings file: the input is a zer1.ini.  Every
// remembered input is read, then one key is written and must read back as
// written, and the other keys must read as before.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/scratch.h"
#include "run/remembered_inputs.h"
#include "run/settings_file.h"

namespace {

std::vector<std::string> ReadAllTexts(const zer1::SettingsFile& settings) {
    std::vector<std::string> values;
    for (const zer1::SettingDescription& setting : zer1::kSettingDescriptions) {
        values.push_back(settings.ReadString(zer1::kSettingsSection, setting.key, "<none>"));
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = zer1_fuzz::ScratchDirectory("ini") + "zer1.ini";
    zer1_fuzz::WriteScratchFile(path, data, size);
    zer1::SettingsFile settings(path);

    zer1::LoadArchiveInputs(settings, zer1::kDghInputKeys);
    zer1::LoadArchiveInputs(settings, zer1::kFotocoInputKeys);
    zer1::LoadFowisInputs(settings);
    zer1::LoadOptions(settings);
    settings.ReadInteger("Other", "Key", 7);
    std::vector<std::string> before = ReadAllTexts(settings);

    const std::string written = "/daten/dgh/";
    try {
        settings.WriteString(zer1::kSettingsSection, zer1::settings_key::kZielpfad, written);
    } catch (const zer1::Error&) {
        std::abort();  // the scratch directory always takes the file
    }
    std::vector<std::string> after = ReadAllTexts(settings);
    for (std::size_t i = 0; i < after.size(); ++i) {
        const bool is_written_key =
            std::string(zer1::kSettingDescriptions[i].key) == zer1::settings_key::kZielpfad;
        const std::string& expected = is_written_key ? written : before[i];
        if (after[i] != expected) {
            std::fprintf(stderr, "key %s reads \"%s\" after the write, expected \"%s\"\n",
                         zer1::kSettingDescriptions[i].key, after[i].c_str(), expected.c_str());
            std::abort();
        }
    }
    return 0;
}
