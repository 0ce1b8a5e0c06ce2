// Index rebuild from the host's index catalogue INDEXES.DBF: every index file
// that the catalogue lists for one data file is built anew from the table,
// with the engine's progress shown on the run's progress bar.
#ifndef ZER1_STOCK_INDEX_REBUILD_H
#define ZER1_STOCK_INDEX_REBUILD_H

#include <string>

#include "stock/step_progress.h"

namespace zer1 {

inline constexpr const char* kIndexCatalogueName = "INDEXES.DBF";

// Walks catalogueDirectory + "INDEXES.DBF" in record order and, for every row
// whose DATAFILE equals baseName exactly, builds dataDirectory + INDEXNAME +
// ".NTX" on the key INDEXEXP over dataDirectory + baseName + ".DBF" (opened
// shared).  Both directories end with "/".  Each new index is written beside
// the old file and replaces it only when complete, so a row that fails (bad
// key expression, unreadable table, full disk) leaves its index file as it
// was; such rows, and rows whose INDEXNAME is no plain file name, are passed
// over without a message.  When the catalogue cannot be opened or walked the
// error message "Fehler beim Zugriff auf " + its full file name is shown and
// the result is false; otherwise true.
bool RebuildIndexes(const std::string& baseName, const std::string& catalogueDirectory,
                    const std::string& dataDirectory, StepProgress& progress);

}  // namespace zer1

#endif  // ZER1_STOCK_INDEX_REBUILD_H
