// The small table the engine fuzz targets work on: ARTIKEL.DBF with a
// character, numeric, date, logical and memo field, a dozen chosen records
// (some deleted, one memo longer than a block) and 140 generated ones, so
// that an index over it has more than one page; written once per process
// through the engine's C interface.  The NTX target rewrites it from the
// bytes kept here before every input, so that every input meets the same
// table.
#ifndef ZER1_FUZZ_COMMON_FIXED_TABLE_H
#define ZER1_FUZZ_COMMON_FIXED_TABLE_H

#include <string>

namespace zer1_fuzz {

struct FixedTable {
    std::string table_path;  // .../artikel.dbf
    std::string memo_path;   // .../artikel.dbt
    std::string table_bytes;
    std::string memo_bytes;
};

// Creates the table in directory (ending in "/") and closes it again; aborts
// when the engine refuses, since no input could then be tried.
FixedTable CreateFixedTable(const std::string& directory);

// Writes the kept bytes back over the table and its memo file.
void RestoreFixedTable(const FixedTable& table);

// Opens the table in a new work area (alias ARTIKEL); aborts on failure.
int OpenFixedTable(const FixedTable& table, int open_mode);

}  // namespace zer1_fuzz

#endif  // ZER1_FUZZ_COMMON_FIXED_TABLE_H
