// The stock movement journal BEWEGZ.DBF: one snapshot record per stock item
// that the stock update changed or created, with the receipt and issue
// quantities ZUGA and ABGA left blank.  The journal is created with the stock
// master's structure when it does not exist yet.
#ifndef ZER1_STOCK_STOCK_MOVEMENT_H
#define ZER1_STOCK_STOCK_MOVEMENT_H

#include <string>

namespace zer1 {

class TApolloTable;

// Appends the movement record of the stock item on which the open stock
// master `artikel` stands to directory + "BEWEGZ.DBF" (directory ends with
// "/"; the stock update passes the data path).  Each field of the journal
// other than ZUGA and ABGA takes, as text, the value of the stock master's
// handled field of the same name; fields without one stay blank, and a field
// whose value cannot be taken over stays blank too.  The journal is opened
// shared for this one record and closed again.  When it cannot be created,
// opened, appended to, posted or closed, the error message "Fehler" is shown
// once.  Returns true in every case: the stock update goes on regardless.
bool WriteStockMovement(TApolloTable& artikel, const std::string& directory);
// The same through the table object `journal`, which a caller writing many
// movements keeps (closed between records), so that the journal's fields
// are not built anew for every record.
bool WriteStockMovement(TApolloTable& artikel, TApolloTable& journal,
                        const std::string& directory);

}  // namespace zer1

#endif  // ZER1_STOCK_STOCK_MOVEMENT_H
