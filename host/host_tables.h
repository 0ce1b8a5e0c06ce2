// The host's stock tables as tests and benchmarks build them: the field
// layout of MLAGER.DBF (the 34 fields the library handles and 60 further
// fields of the host, in the host's order), a value of its own for every
// field of every stock item, and the index catalogue's rows.
#ifndef ZER1_TESTS_SUPPORT_STOCK_LAYOUT_H
#define ZER1_TESTS_SUPPORT_STOCK_LAYOUT_H

#include <map>
#include <string>
#include <vector>

namespace zer1 {
class TApolloTable;
}

namespace zer1::testing {

// Field name -> value as SetAsString takes it.
using FieldValues = std::map<std::string, std::string>;

struct CatalogueRow {
    std::string dataFile;
    std::string indexName;
    std::string expression;
};

// The catalogue the world starts with: six MLAGER indexes (MLAGER on ARTNUM
// among them) between rows for JEVDBF and KUNDEN.
const std::vector<CatalogueRow>& DefaultCatalogue();

// One definition of the stock master's fields, in the host's order.
struct StockFieldDef {
    const char* name;
    char type;
    int width;
    int decimals;
};
const std::vector<StockFieldDef>& StockMasterLayout();
// The stock log MLPROTO.DBF as the host keeps it, one field of its own included.
const std::vector<StockFieldDef>& StockLogLayout();

// The value stock item `recno` holds in field number `i` of the layout
// when a test gives none.
std::string FillerValue(const StockFieldDef& field, long recno, int i);

// Creates an empty table file with these fields; false when the engine fails.
bool CreateTable(const std::string& file, const std::vector<StockFieldDef>& fields);

// Creates catalogueDirectory + "INDEXES.DBF" with these rows, replacing an
// older one.
bool WriteCatalogueFile(const std::string& catalogueDirectory,
                        const std::vector<CatalogueRow>& rows);

// Appends a stock item to the open stock master: the given values, and the
// filler value for every other field the table has.
void AppendStockItem(TApolloTable& stock, const FieldValues& values, long recno);

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_STOCK_LAYOUT_H
