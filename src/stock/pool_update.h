// Pool update: carries every record of an import's working table into the
// host's wholesaler article pool JEVDBF.DBF (shared, five NTX indexes, texts
// in the DOS code page). A record whose FELD1 the pool already holds
// overwrites that pool record; any other becomes a new pool record.
#ifndef ZER1_STOCK_POOL_UPDATE_H
#define ZER1_STOCK_POOL_UPDATE_H

#include <array>
#include <string>
#include <vector>

#include "stock/step_progress.h"

namespace zer1 {

class TApolloTable;

inline constexpr int kPoolIndexCount = 5;
inline constexpr const char* kPoolTableName = "JEVDBF.DBF";
// JE1.NTX orders the pool by FELD1; the others are the host's.
inline constexpr std::array<const char*, kPoolIndexCount> kPoolIndexNames{
    "JE1.NTX", "JE2.NTX", "JE3.NTX", "JE4.NTX", "JE5.NTX"};

// The pool as the dialog keeps it between updates: the table object and the
// order numbers of JE1.NTX to JE5.NTX (0 while an index is not open).
struct PoolTable {
    TApolloTable& table;
    std::array<int, kPoolIndexCount>& orders;
};

// Opens the pool in data_path (which ends with "/"): the table shared, then
// JE1.NTX to JE5.NTX in this order, then OEM translation on. A pool that is
// already open with all five indexes is left as it is. On any failure shows
// the error message "Fehler beim Zugriff auf " + the full name of the file
// that was being opened, closes the pool again and returns false.
bool OpenPool(PoolTable pool, const std::string& data_path);

// Updates the pool from the open working table and appends the line
// "Pool aktualisiert: <new> Neuanlagen,<changed> Änderungen" + carriage return
// to report. When the pool cannot be opened the update ends at once, with the
// pool unchanged and no report line. Engine errors while seeking or writing
// are raised; records written before stay in the pool.
void UpdatePool(PoolTable pool, const std::string& data_path, TApolloTable& working,
                StepProgress& progress, std::vector<std::string>& report);

}  // namespace zer1

#endif  // ZER1_STOCK_POOL_UPDATE_H
