#include "imports/dgh_run.h"

#include "imports/archive_run.h"
#include "imports/dgh_import.h"
#include "run/settings_file.h"

namespace zer1 {
namespace {

long ReadDghMember(TApolloTable& working, const std::string& path) {
    return ImportDghSourceFile(working, path);
}

constexpr ArchiveWholesaler kDgh{
    .source = DialogControl::kSleQuelle,
    .members = DialogControl::kLbFiles,
    .output = DialogControl::kSleAusgabe,
    .focusWithoutMember = DialogControl::kLbFiles,
    .inputKeys = kDghInputKeys,
    .workingTableFile = "TMPDGH.DBF",
    .workingTable = &ArchiveRunTables::apTmpDgh,
    .readMember = &ReadDghMember,
    .standardFile = "DGH.JEV",
    .standardBase = "DGH",
};

}  // namespace

void RunDghImport(RunHost& host) {
    RunArchiveImport(host, kDgh);
}

}  // namespace zer1
