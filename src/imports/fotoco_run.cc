#include "imports/fotoco_run.h"

#include "imports/archive_run.h"
#include "imports/fotoco_import.h"
#include "run/settings_file.h"

namespace zer1 {
namespace {

constexpr ArchiveWholesaler kFotoco{
    .source = DialogControl::kSleQuelleFotoco,
    .members = DialogControl::kLbFilesFotoco,
    .output = DialogControl::kSleAusgabeFotoco,
    .focusWithoutMember = DialogControl::kSleQuelleFotoco,
    .inputKeys = kFotocoInputKeys,
    .workingTableFile = "TMPFOTOCO.DBF",
    .workingTable = &ArchiveRunTables::apTmpFotoco,
    .readMember = &ImportFotocoSourceFile,
    .standardFile = "FOTOCO.JEV",
    .standardBase = "FOTOCO",
};

}  // namespace

void RunFotocoImport(RunHost& host) {
    RunArchiveImport(host, kFotoco);
}

}  // namespace zer1
