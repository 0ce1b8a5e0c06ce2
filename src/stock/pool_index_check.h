// The check of the pool's indexes against the pool table, made after an
// earlier pool update was killed in the middle: that update may have left
// its last record in the table but not (or only in part) in the indexes.
#ifndef ZER1_STOCK_POOL_INDEX_CHECK_H
#define ZER1_STOCK_POOL_INDEX_CHECK_H

#include <string>

#include "stock/pool_update.h"

namespace zer1 {

// Walks each of the pool's five orders and compares it with the table:
// every record appears exactly once, and the keys its records give now come
// in the order's sequence.  Returns the file name of the first index that
// fails ("JE2.NTX"), or "" when all five agree.  The pool must be open
// (OpenPool); it is left at its first order, without a current record.
std::string FirstPoolIndexNotMatching(PoolTable pool);

}  // namespace zer1

#endif  // ZER1_STOCK_POOL_INDEX_CHECK_H
