// The Fowis run started by the dialog's start button on the Fowis page: checks
// the page's inputs, remembers them, appends the price list TRFOWIS.SDF into
// the staging table FO_1.DBF, converts it into the price table FOWISPR.DBF in
// the target directory and, when the host gave a transfer directory, moves the
// list into its numbered backups.  It reaches the dialog only through RunHost
// and reports only through message boxes; on success it shows nothing.
#ifndef ZER1_FOWIS_FOWIS_RUN_H
#define ZER1_FOWIS_FOWIS_RUN_H

#include <string>

namespace zer1 {

class RunHost;

inline constexpr const char* kFileMissingMessage = "Die Datei \"%s\" existiert nicht!";
inline constexpr const char* kSourceFieldName = "Quelldatei";
inline constexpr const char* kTargetFieldName = "Zielpfad";
// A factor beyond the range of a 32-bit float.
inline constexpr const char* kFactorOutOfRangeMessage = "Ungültige Eingabe";
inline constexpr const char* kStagingNotOpenedMessage = "Fehler beim Öffnen von FO_1.DBF !";
inline constexpr const char* kPriceTableNotOpenedMessage = "Fehler beim Öffnen von FOWISPR.DBF !";
// "ACHTUNG - " + target directory + this.
inline constexpr const char* kIndexWarningPrefix = "ACHTUNG - ";
inline constexpr const char* kIndexNotDeletedSuffix = "FOWISPR.NTX konnte nicht gelöscht werden!";
// Program directory + these.
inline constexpr const char* kManufacturerNotCreatedSuffix =
    "FNR.DBF konnte nicht erstellt werden!";
inline constexpr const char* kManufacturerNotOpenedSuffix = "FNR.DBF konnte nicht geöffnet werden!";
// %s the target directory, where the new price table would have been built.
inline constexpr const char* kTargetRefusesNewFilesMessage =
    "Im Zielpfad %s können keine Dateien angelegt werden.";
inline constexpr const char* kSourceNotReadMessage = "TRFOWIS.SDF konnte nicht eingelesen werden!";
inline constexpr const char* kFowisProgressCaption = "Info";
inline constexpr const char* kReadingSourceInfo = "Daten aus TRFOWIS.SDF werden eingelesen...";
inline constexpr const char* kWritingPricesInfo = "Daten werden nach FOWISPR.DBF geschrieben...";

// Deletes `path` unless another program (or another open in this one) holds
// it open under a lock, as the host's file system refuses to delete a file in
// use.  False when the file is missing, locked or cannot be removed.
bool DeleteFileNotInUse(const std::string& path);

// The run.  A source that is empty, holds only blank lines or is no text (a
// control character or NUL inside a line) is refused with its message before
// anything is written, the settings included.  Errors it does not catch (a
// price text that is no number, a price too large for its field, a failing
// table operation) reach the dialog's default error display; however it
// ends, the staging and price tables are closed, the start and close buttons
// are enabled again, and the price table is either completely converted or
// exactly as it was before.
void RunFowisConversion(RunHost& host);

}  // namespace zer1

#endif  // ZER1_FOWIS_FOWIS_RUN_H
