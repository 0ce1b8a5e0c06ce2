#include "stock/pool_index_check.h"

#include <vector>

#include "common/text_encoding.h"
#include "storage/apollo_table.h"

namespace zer1 {

namespace {

// One order against the table.  Keys are compared as the index stores them:
// with translation off, in the stored code page, byte by byte.
bool OrderMatchesTable(TApolloTable& table, int order) {
    const std::string expression = table.IndexKey(order);
    const long count = table.RecordCount();
    std::vector<bool> seen(static_cast<std::size_t>(count) + 1, false);
    long entries = 0;
    std::string last;
    table.SetOrder(order);
    for (table.First(); !table.Eof(); table.Next()) {
        const long recno = table.RecNo();
        if (recno < 1 || recno > count || seen[static_cast<std::size_t>(recno)]) return false;
        seen[static_cast<std::size_t>(recno)] = true;
        const std::string key = Utf8ToWindows1252(table.EvalString(expression));
        if (entries > 0 && key < last) return false;
        last = key;
        ++entries;
    }
    return entries == count;
}

}  // namespace

std::string FirstPoolIndexNotMatching(PoolTable pool) {
    pool.table.SetOEMTranslate(false);
    std::string failed;
    for (int k = 0; k < kPoolIndexCount && failed.empty(); ++k) {
        if (!OrderMatchesTable(pool.table, pool.orders[k])) failed = kPoolIndexNames[k];
    }
    pool.table.SetOEMTranslate(true);
    pool.table.SetOrder(pool.orders[0]);
    return failed;
}

}  // namespace zer1
