#include "stock/index_rebuild.h"

#include <exception>
#include <string>

#include "common/messages.h"
#include "storage/apollo_table.h"

namespace zer1 {

namespace {

// Index names from the catalogue name a file in the data directory and
// nothing else: no folder part, no way up and out of it.
bool IsPlainIndexName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.find_first_of("/\\:") != std::string::npos) return false;
    return name.find("..") == std::string::npos;
}

// Builds one catalogue row's index; a failure leaves the old file and is
// not reported (the walk goes on with the next row).
void BuildIndex(const std::string& baseName, const std::string& dataDirectory,
                const std::string& indexName, const std::string& expression,
                StepProgress& progress) {
    TApolloTable data;
    try {
        data.SetDatabaseName(dataDirectory);
        data.SetTableName(baseName + ".DBF");
        data.SetTableType(ttSXNTX);
        data.SetExclusive(false);
        data.Open();
        data.SetProgressWindow([&progress](int percent) { progress.OnEngineProgress(percent); });
        progress.SetTag(StepProgress::kEngineProgressTag);
        data.Index(dataDirectory + indexName + ".NTX", expression);
    } catch (const std::exception&) {
        // The engine wrote the new index beside the old one: nothing to undo.
    }
    try {
        data.SetProgressWindow({});
    } catch (const std::exception&) {
    }
    progress.SetTag(0);
    data.Close();
}

}  // namespace

bool RebuildIndexes(const std::string& baseName, const std::string& catalogueDirectory,
                    const std::string& dataDirectory, StepProgress& progress) {
    TApolloTable catalogue;
    bool walked = true;
    try {
        catalogue.SetDatabaseName(catalogueDirectory);
        catalogue.SetTableName(kIndexCatalogueName);
        catalogue.SetTableType(ttSXNTX);
        catalogue.SetExclusive(false);
        progress.SetMaximum(100);
        catalogue.Open();
        catalogue.First();
        if (!catalogue.Eof()) {
            TApolloField& dataFile = catalogue.FieldByName("DATAFILE");
            TApolloField& indexName = catalogue.FieldByName("INDEXNAME");
            TApolloField* indexExp = catalogue.FindField("INDEXEXP");
            for (; !catalogue.Eof(); catalogue.Next()) {
                progress.SetPosition(0);
                progress.SetInfo("Indizierung...");
                if (dataFile.AsString() != baseName) continue;
                const std::string name = indexName.AsString();
                progress.SetInfo("Erstelle " + name + ".NTX ...");
                if (indexExp == nullptr || !IsPlainIndexName(name)) continue;
                BuildIndex(baseName, dataDirectory, name, indexExp->AsString(), progress);
            }
        }
    } catch (const std::exception&) {
        walked = false;
        ErrorMessage("Fehler beim Zugriff auf " + catalogue.FullFileName());
    }
    catalogue.Close();
    return walked;
}

}  // namespace zer1
