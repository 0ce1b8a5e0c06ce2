#include "stock/handover_files.h"

#include <string>

#include "common/file_names.h"
#include "storage/apollo_table.h"

namespace zer1 {

namespace {

void DeleteIfPresent(const std::string& path) {
    if (FileExists(path)) DeleteFile(path);
}

// Copies the working table from its first record on; the engine writes the
// copy beside the target and then replaces any file of that name, so the
// target holds exactly the working table's records afterwards.
bool CopyWorkingTable(TApolloTable& working, const std::string& target) {
    working.First();
    return working.CopyTable(target);
}

}  // namespace

void WriteUpdateFile(TApolloTable& working, const HandoverPaths& paths, StepProgress& progress,
                     std::vector<std::string>& report) {
    progress.SetInfo("Update wird vorbereitet...");
    DeleteIfPresent(paths.programDirectory + "JEVUPD.DBF");
    DeleteIfPresent(paths.programDirectory + "JEVUPD.DBT");
    if (CopyWorkingTable(working, paths.outputDirectory + "JEVUPD.DBF")) {
        report.push_back("Update wurde vorbereitet. (JEVUPD.DBF)\r");
    } else {
        report.push_back("Fehler: Update konnte nicht vorbereitet werden. (JEVUPD.DBF)\r");
    }
}

void WriteStandardFile(TApolloTable& working, const HandoverPaths& paths,
                       const std::string& fileName, const std::string& baseName,
                       StepProgress& progress, std::vector<std::string>& report) {
    progress.SetInfo("Standarddatei erstellen...");
    DeleteIfPresent(paths.programDirectory + baseName + ".JEV");
    DeleteIfPresent(paths.programDirectory + baseName + ".DBT");
    if (CopyWorkingTable(working, paths.outputDirectory + fileName)) {
        report.push_back("Standarddatei wurde erstellt. (" + fileName + ")\r");
    } else {
        report.push_back("Fehler: Standarddatei konnte nicht erstellt werden. (" + fileName +
                         ")\r");
    }
}

}  // namespace zer1
