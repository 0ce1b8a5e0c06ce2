#include "host/demo_data.h"

#include <exception>
#include <filesystem>
#include <stdexcept>

#include "common/file_names.h"
#include "run/parameter_table.h"
#include "run/remembered_inputs.h"
#include "run/settings_file.h"
#include "storage/apollo_error.h"

namespace jevhost {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDghArchiveName = "dgh_artikel.zip";
constexpr const char* kFotocoArchiveName = "fotoco_artikel.zip";
constexpr const char* kFowisListName = "TRFOWIS.SDF";
// The switches of the demo's host: take over product group, supplier,
// search code, purchase and sales price.
constexpr const char* kDemoSchalter = "1111001";

// The demo's parameter table is made again when the engine cannot open it
// with the library's password (one written under an earlier encryption
// scheme); the table it replaces is kept beside it as VUROZE.LIC.alt.
bool ParameterTableUsable(const std::string& program) {
    const std::string path = program + zer1::kParameterTableName;
    if (!zer1::FileExists(path)) return false;
    try {
        zer1::ParameterTable table;
        table.Open(program);
        return true;
    } catch (const zer1::EApolloError&) {
        std::error_code ignored;
        fs::rename(path, path + ".alt", ignored);
        return false;
    }
}

// A zer1.ini that remembers the demo's inputs on every page, with every
// option on.
void WriteDemoSettings(const std::string& file, const DemoPaths& paths) {
    zer1::SettingsFile settings(file);
    zer1::SaveArchiveInputs(settings, zer1::kDghInputKeys, paths.dgh_archive,
                            paths.output_directory);
    zer1::SaveArchiveInputs(settings, zer1::kFotocoInputKeys, paths.fotoco_archive,
                            paths.output_directory);
    zer1::SaveFowisInputs(settings, paths.fowis_directory + kFowisListName, 1.0L);
    zer1::SaveOptions(settings, {true, true, true, true, true});
}

}  // namespace

DemoPaths DemoPathsFor(const std::string& root) {
    const std::string base =
        zer1::WithTrailingSeparator(fs::absolute(root).lexically_normal().string());
    DemoPaths paths;
    paths.program_directory = base + "programm/";
    paths.data_path = base + "data/";
    paths.fowis_directory = base + "fowis/";
    paths.dgh_archive = base + "dgh/" + kDghArchiveName;
    paths.fotoco_archive = base + "fotoco/" + kFotocoArchiveName;
    paths.output_directory = base + "ausgabe/";
    return paths;
}

bool MakeDemoData(const std::string& root, const std::string& program_directory, DemoPaths& paths,
                  std::string& problem) {
    paths = DemoPathsFor(root);
    paths.program_directory = zer1::WithTrailingSeparator(program_directory);
    const std::string& program = paths.program_directory;
    try {
        for (const std::string& directory :
             {program, paths.data_path, paths.fowis_directory,
              zer1::DirectoryPart(paths.dgh_archive), zer1::DirectoryPart(paths.fotoco_archive),
              paths.output_directory}) {
            fs::create_directories(directory);
        }
        WriteDemoPool(paths.data_path);
        WriteDemoStock(paths.data_path, program);
        WriteDemoFowisList(paths.fowis_directory + kFowisListName);
        WriteDemoDghArchive(paths.dgh_archive);
        WriteDemoFotocoArchive(paths.fotoco_archive);
        if (!ParameterTableUsable(program) && !zer1::CreateParameterTable(program, kDemoSchalter)) {
            throw std::runtime_error(std::string(zer1::kParameterTableName) +
                                     " kann nicht angelegt werden in " + program);
        }
        if (!zer1::FileExists(program + zer1::kSettingsFileName)) {
            WriteDemoSettings(program + zer1::kSettingsFileName, paths);
        }
    } catch (const std::exception& error) {
        problem = error.what();
        return false;
    }
    return true;
}

}  // namespace jevhost
