// The one road of the two archive imports, DGH and Fotoco: check the page's
// inputs, remember them, find the selected member in the archive, empty the
// working table, extract and convert the member, run the checked steps in
// their fixed order (pool, stock update, new stock items, update file,
// standard file) and show the run report as one information message.  Each
// wholesaler brings only what is its own (ArchiveWholesaler); the tables and
// the extraction component belong to the dialog (ArchiveRunTables).
#ifndef ZER1_IMPORTS_ARCHIVE_RUN_H
#define ZER1_IMPORTS_ARCHIVE_RUN_H

#include <array>
#include <string>

#include "imports/zip_components.h"
#include "run/remembered_inputs.h"
#include "run/run_host.h"
#include "stock/pool_update.h"
#include "storage/apollo_table.h"

namespace zer1 {

inline constexpr const char* kMemberNotInArchiveMessage =
    "Die Datei \"%s\" ist im Archiv nicht enthalten!";
inline constexpr const char* kTableAccessFailedPrefix = "Fehler beim Zugriff auf ";
inline constexpr const char* kExtractingInfo = "Extrahiere Archivdaten...";

// The table objects and the extraction component of the archive runs.  The
// dialog keeps them (RunHost::Keep) from the first run until it is released:
// the working tables and the pool stay open between runs.
struct ArchiveRunTables {
    TApolloTable apTmpDgh;
    TApolloTable apTmpFotoco;
    TApolloTable apStamm;  // the pool JEVDBF.DBF
    std::array<int, kPoolIndexCount> poolOrders{};
    TApolloTable apArtikel;
    TApolloTable apProto;
    TAbUnZipper AbUnZip;
};

// Reads the member file at path into the open, emptied working table.
using MemberReader = long (*)(TApolloTable& working, const std::string& path);

// What one wholesaler's import has of its own.
struct ArchiveWholesaler {
    DialogControl source;               // the archive's full file name
    DialogControl members;              // the member list
    DialogControl output;               // the output directory
    DialogControl focusWithoutMember;   // where the focus goes when no member is selected
    ArchiveInputKeys inputKeys;         // where the inputs are remembered
    const char* workingTableFile;       // "TMPDGH.DBF"
    TApolloTable ArchiveRunTables::*workingTable;
    MemberReader readMember;
    const char* standardFile;           // "DGH.JEV"
    const char* standardBase;           // "DGH"
};

// The run.  Errors it does not catch (archive and file errors, table engine
// errors of the conversion and the steps) reach the dialog's default error
// display; the progress window is released however the run ends.
void RunArchiveImport(RunHost& host, const ArchiveWholesaler& wholesaler);

}  // namespace zer1

#endif  // ZER1_IMPORTS_ARCHIVE_RUN_H
