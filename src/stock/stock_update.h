// Stock update: carries the records of an import's working table into the
// host's stock master MLAGER.DBF in one of two modes, changing the stock items
// that exist for the imported articles or creating the missing ones.  Every
// handled stock item gets a movement record in BEWEGZ.DBF and a line in the
// stock log MLPROTO.DBF; afterwards the stock master's indexes are rebuilt
// from the index catalogue INDEXES.DBF.
#ifndef ZER1_STOCK_STOCK_UPDATE_H
#define ZER1_STOCK_STOCK_UPDATE_H

#include <functional>
#include <string>
#include <vector>

#include "stock/step_progress.h"

namespace zer1 {

class TApolloTable;

enum class StockMode {
    kUpdate,    // "Lagerupdate": change the stock items found for the articles
    kNewItems,  // "Lagerneuanlage": create a stock item for every article without one
};

// The five take-over switches of the dialog group "JEV-Artikelstamm".
struct TakeOverSwitches {
    bool group = false;          // cbGhWg: WGRUPP
    bool supplier = false;       // cbGhLief: LIFERANT and LIBNR1
    bool searchCode = false;     // cbGhSuchcode: SUCHCOD
    bool purchasePrice = false;  // cbEkPr: EKPR
    bool sellingPrice = false;   // cbVkPr: PREIS while it is 0
};

// Read once per handled stock item, so a switch changed during a run counts
// from the next item on.
using TakeOverSwitchesFn = std::function<TakeOverSwitches()>;

// The table objects the stock update works with, kept by the dialog: the
// stock master (open only during one call) and the stock log (opened by the
// first call and kept open, shared, until the dialog closes).
struct StockTables {
    TApolloTable& artikel;
    TApolloTable& proto;
};

// Both directories end with "/".
struct StockPaths {
    std::string dataPath;          // MLAGER.DBF, MLAGER.NTX, MLPROTO.DBF, BEWEGZ.DBF
    std::string programDirectory;  // INDEXES.DBF
};

// One call in the given mode over the open working table; appends exactly one
// line (ending in a carriage return) to report.  A stock master or stock log
// that cannot be opened is reported there and changes nothing; engine errors
// inside the walk are raised after the stock master has been closed.
void StockUpdate(StockTables tables, const StockPaths& paths, StockMode mode,
                 TApolloTable& working, const TakeOverSwitchesFn& switches,
                 StepProgress& progress, std::vector<std::string>& report);

}  // namespace zer1

#endif  // ZER1_STOCK_STOCK_UPDATE_H
