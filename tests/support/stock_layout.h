// The host's stock tables as tests and benchmarks fill them: the layouts of
// host/host_tables.h under the tests' names, and a value of its own for
// every field of every stock item, so that a check can tell a field the
// library wrote from one it left alone.
#ifndef ZER1_TESTS_SUPPORT_STOCK_LAYOUT_H
#define ZER1_TESTS_SUPPORT_STOCK_LAYOUT_H

#include <map>
#include <string>

#include "host/host_tables.h"

namespace zer1 {
class TApolloTable;
}

namespace zer1::testing {

using jevhost::CatalogueRow;
using jevhost::CreateTable;
using jevhost::DefaultCatalogue;
using jevhost::StockFieldDef;
using jevhost::StockLogLayout;
using jevhost::StockMasterLayout;
using jevhost::WriteCatalogueFile;

// Field name -> value as SetAsString takes it.
using FieldValues = std::map<std::string, std::string>;

// The value stock item `recno` holds in field number `i` of the layout
// when a test gives none.
std::string FillerValue(const StockFieldDef& field, long recno, int i);

// Appends a stock item to the open stock master: the given values, and the
// filler value for every other field the table has.
void AppendStockItem(TApolloTable& stock, const FieldValues& values, long recno);

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_STOCK_LAYOUT_H
