#include "common/fixed_table.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/scratch.h"
#include "sde61.h"

namespace zer1_fuzz {
namespace {

[[noreturn]] void Fail(const char* step) {
    std::fprintf(stderr, "fixed table: %s failed: %s\n", step, sx_ErrorText());
    std::abort();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Row {
    const char* name;
    const char* number;
    const char* date;
    const char* flag;
    const char* memo;
    bool deleted;
};

constexpr Row kRows[] = {
    {"Apfel", "1.50", "20260101", "T", "rot und rund", false},
    {"Birne", "2.25", "20251231", "F", "", false},
    {"apfel", "-3.00", "19991231", "T", "klein", true},
    {"Zitrone", "0.99", "", "F", "sauer", false},
    {"Banane", "12345.67", "20000229", "T", "", false},
    {"", "0", "20260709", "F", "leerer Name", false},
    {"\xC4" "pfel", "7.00", "20100101", "T", "Umlaut \xC4", false},
    {"Kiwi", "-0.01", "20260102", "F", "", true},
    {"Mango", "99999.99", "20301231", "T", "eine lange Notiz, die \xFC" "ber den ersten Block "
                                           "hinausgeht, damit der Memo-Block geteilt wird; "
                                           "noch ein paar Worte mehr, bis es sicher reicht, "
                                           "und noch einige mehr dazu", false},
    {"Apfel", "1.50", "20260101", "F", "Doppelter Schl\xFC" "ssel", false},
    {"Pflaume", "3.33", "20260303", "T", "", false},
    {"Quitte", "4.44", "20260404", "F", "gelb", false},
};

constexpr int kGeneratedRows = 140;

}  // namespace

FixedTable CreateFixedTable(const std::string& directory) {
    FixedTable table;
    table.table_path = directory + "artikel.dbf";
    table.memo_path = directory + "artikel.dbt";
    sx_ErrorLevel(0);
    if (!sx_CreateNew(table.table_path.c_str(), "ARTIKEL", SX_SDENTX, 5)) Fail("sx_CreateNew");
    if (!sx_CreateField("NAME", "C", 10, 0) || !sx_CreateField("PREIS", "N", 9, 2) ||
        !sx_CreateField("DATUM", "D", 8, 0) || !sx_CreateField("AKTIV", "L", 1, 0) ||
        !sx_CreateField("NOTIZ", "M", 10, 0)) {
        Fail("sx_CreateField");
    }
    if (!sx_CreateExec()) Fail("sx_CreateExec");
    for (const Row& row : kRows) {
        if (!sx_AppendBlank() || !sx_Replace("NAME", row.name) || !sx_Replace("PREIS", row.number) ||
            !sx_Replace("DATUM", row.date) || !sx_Replace("AKTIV", row.flag)) {
            Fail("filling a record");
        }
        const std::string memo = row.memo;
        if (!memo.empty() && !sx_PutMemo("NOTIZ", memo.data(), int(memo.size()))) Fail("sx_PutMemo");
        if (row.deleted && !sx_Delete()) Fail("sx_Delete");
        if (!sx_Commit()) Fail("sx_Commit");
    }
    // Enough further records that an index of any key needs more than one page.
    for (int i = 1; i <= kGeneratedRows; ++i) {
        const std::string name = "Artikel" + std::to_string(1000 - i);
        const std::string price = std::to_string(i % 97) + "." + std::to_string(i % 10);
        if (!sx_AppendBlank() || !sx_Replace("NAME", name.c_str()) ||
            !sx_Replace("PREIS", price.c_str()) || !sx_Replace("AKTIV", i % 3 ? "T" : "F") ||
            !sx_Commit()) {
            Fail("filling a generated record");
        }
    }
    if (!sx_Close()) Fail("sx_Close");
    table.table_bytes = ReadFile(table.table_path);
    table.memo_bytes = ReadFile(table.memo_path);
    return table;
}

void RestoreFixedTable(const FixedTable& table) {
    WriteScratchFile(table.table_path, table.table_bytes);
    WriteScratchFile(table.memo_path, table.memo_bytes);
}

int OpenFixedTable(const FixedTable& table, int open_mode) {
    const int area =
        sx_UseEx(table.table_path.c_str(), "ARTIKEL", open_mode, SX_SDENTX, SX_COMMIT_NORMAL);
    if (area == 0) Fail("sx_UseEx");
    return area;
}

}  // namespace zer1_fuzz
