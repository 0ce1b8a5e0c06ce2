// The host's own tables as the host stand-in makes them, for its demo and
// for the tests and benchmarks alike: the field layout of the stock master
// MLAGER.DBF (the 34 fields the library handles and 60 further fields of the
// host, in the host's order), of the stock log MLPROTO.DBF, and the index
// catalogue INDEXES.DBF with its rows.
#ifndef ZER1_HOST_HOST_TABLES_H
#define ZER1_HOST_HOST_TABLES_H

#include <string>
#include <vector>

namespace jevhost {

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

// The wholesaler article pool JEVDBF.DBF: FELD1 to FELD13 in the host's
// order and one field of the host's own (NOTIZ).
const std::vector<StockFieldDef>& PoolLayout();

struct PoolIndex {
    std::string file;        // JE1.NTX .. JE5.NTX
    std::string expression;  // JE1 orders by FELD1, the key the pool update seeks
};
// The pool's five indexes with key expressions of the kind the host uses.
const std::vector<PoolIndex>& PoolIndexes();

// Creates an empty table file with these fields; false when the engine fails.
bool CreateTable(const std::string& file, const std::vector<StockFieldDef>& fields);

// Creates catalogueDirectory + "INDEXES.DBF" with these rows, replacing an
// older one.
bool WriteCatalogueFile(const std::string& catalogueDirectory,
                        const std::vector<CatalogueRow>& rows);

}  // namespace jevhost

#endif  // ZER1_HOST_HOST_TABLES_H
