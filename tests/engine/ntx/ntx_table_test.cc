// NTX indexes on tables through the C interface: builds and maintenance with
// every key type, navigation, seeks, orders, zap, progress, FOR conditions and
// a second process changing the same table and indexes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "ntx_test_util.h"
#include "sde61.h"
#include "test_util.h"

using namespace ntx_test;

namespace {

struct Row {
    std::string name;   // up to 10 characters
    double amount = 0;  // two decimals
    std::string day;    // "YYYYMMDD" or empty
    bool flag = false;
};

// Key bytes as an NTX index stores them, worked out here independently.
std::string NumericKey(double v, int width, int decimals) {
    char buf[64];
    snprintf(buf, sizeof buf, "%*.*f", width, decimals, v);
    std::string s = buf;
    bool negative = s.find('-') != std::string::npos;
    for (char& c : s) {
        if (c == ' ' || c == '-') c = '0';
        if (negative && c >= '0' && c <= '9') c = char(44 - (c - '0'));
    }
    return s;
}
std::string Pad(std::string s, size_t n) {
    s.resize(n, ' ');
    return s;
}
std::string Upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    }
    return s;
}
std::string DayKey(const std::string& day) {
    return day.empty() ? std::string(8, ' ') : day;
}
std::string Str(double v, int width, int decimals) {
    char buf[64];
    snprintf(buf, sizeof buf, "%*.*f", width, decimals, v);
    return buf;
}

// Descriptors this process holds on the file at path.
int DescriptorsOn(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path file = fs::canonical(path, ec);
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code link_error;
        if (fs::read_symlink(entry.path(), link_error) == file && !link_error) ++count;
    }
    return count;
}

struct IndexDef {
    const char* file;
    const char* expression;
    std::string (*key)(const Row&);
};

const IndexDef kIndexes[] = {
    {"BYNAME.NTX", "NAME", [](const Row& r) { return Pad(r.name, 10); }},
    {"BYAMOUNT.NTX", "AMOUNT", [](const Row& r) { return NumericKey(r.amount, 8, 2); }},
    {"BYDAY.NTX", "DAY", [](const Row& r) { return DayKey(r.day); }},
    {"BYFLAG.NTX", "FLAG", [](const Row& r) { return std::string(r.flag ? "T" : "F"); }},
    {"BYMIX.NTX", "UPPER(NAME)+DTOS(DAY)",
     [](const Row& r) { return Upper(Pad(r.name, 10)) + DayKey(r.day); }},
    {"BYSTR.NTX", "STR(AMOUNT,10,2)", [](const Row& r) { return Str(r.amount, 10, 2); }},
};

Row RandomRow(std::mt19937& rng) {
    Row r;
    const char* names[] = {"meier", "Meier", "MEIER", "alpha", "Zulu", "b", "", "x y z", "Omega9"};
    r.name = names[rng() % 9];
    if (rng() % 3 == 0) r.name += char('a' + rng() % 26);
    r.amount = (int(rng() % 2000001) - 1000000) / 100.0;  // -10000.00 .. 10000.00
    if (r.amount <= -10000) r.amount = -9999.99;
    if (rng() % 7 == 0) r.amount = 0;
    if (rng() % 5 != 0) {
        char buf[16];
        snprintf(buf, sizeof buf, "%04u%02u%02u", 1990 + unsigned(rng() % 40),
                 1 + unsigned(rng() % 12), 1 + unsigned(rng() % 28));
        r.day = buf;
    }
    r.flag = rng() % 2;
    return r;
}

void PutRow(const Row& r) {
    ASSERT_EQ(sx_Replace("NAME", r.name.c_str()), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Replace("AMOUNT", Str(r.amount, 0, 2).c_str()), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Replace("DAY", r.day.c_str()), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Replace("FLAG", r.flag ? "T" : "F"), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Commit(), 1) << sx_ErrorText();
}

void CreateTable(const std::string& path) {
    ASSERT_EQ(sx_CreateNew(path.c_str(), "ROWS", SX_SDENTX, 4), 1);
    ASSERT_EQ(sx_CreateField("NAME", "C", 10, 0), 1);
    ASSERT_EQ(sx_CreateField("AMOUNT", "N", 8, 2), 1);
    ASSERT_EQ(sx_CreateField("DAY", "D", 8, 0), 1);
    ASSERT_EQ(sx_CreateField("FLAG", "L", 1, 0), 1);
    ASSERT_EQ(sx_CreateExec(), 1) << sx_ErrorText();
}

// Record numbers in the current order, by GoTop/Skip and by GoBottom/Skip(-1).
std::vector<uint32_t> TableWalk(bool backward = false) {
    std::vector<uint32_t> out;
    if (!backward) {
        EXPECT_EQ(sx_GoTop(), 1) << sx_ErrorText();
        while (!sx_Eof()) {
            out.push_back(uint32_t(sx_RecNo()));
            EXPECT_EQ(sx_Skip(1), 1) << sx_ErrorText();
        }
    } else {
        EXPECT_EQ(sx_GoBottom(), 1) << sx_ErrorText();
        while (!sx_Eof() && !sx_Bof()) {
            out.push_back(uint32_t(sx_RecNo()));
            EXPECT_EQ(sx_Skip(-1), 1) << sx_ErrorText();
            if (out.size() > 100000) break;
        }
        std::reverse(out.begin(), out.end());
    }
    return out;
}

std::vector<Entry> Expected(const std::vector<Row>& rows, const IndexDef& def) {
    std::vector<Entry> out;
    for (size_t i = 0; i < rows.size(); ++i) out.emplace_back(def.key(rows[i]), uint32_t(i + 1));
    return Sorted(out);
}

// Checks every index file against the rows: our walk of the file, Perl
// XBase's walk, and the table's navigation in that order.
void CheckIndexes(const sde_test::TempDir& dir, const std::vector<Row>& rows, bool perl) {
    for (const IndexDef& def : kIndexes) {
        SCOPED_TRACE(def.expression);
        std::vector<Entry> expected = Expected(rows, def);
        auto index = OpenIndex(dir.File(def.file));
        ASSERT_TRUE(index);
        uint64_t keys = 0;
        ASSERT_TRUE(index->Verify(&keys).ok());
        std::vector<Entry> ours = WalkForward(index.get());
        EXPECT_EQ(ours, expected);
        index.reset();
        if (perl) {
            std::vector<Entry> missing;
            EXPECT_EQ(PerlWalk(dir.File(def.file), &missing), expected);
            EXPECT_TRUE(missing.empty());
        }
    }
}

}  // namespace

// Builds on random rows, then long runs of appends, changes and deletions with
// all indexes open; the files always match a sort of the rows' keys, Perl
// XBase reads them alike, and fresh builds give the same sequences.
TEST(NtxTable, BuildAndMaintainEveryKeyType) {
    sde_test::TempDir dir;
    const std::string table = dir.File("ROWS.DBF");
    CreateTable(table);
    std::mt19937 rng(2026);
    std::vector<Row> rows;
    for (int i = 0; i < 1500; ++i) {
        rows.push_back(RandomRow(rng));
        ASSERT_EQ(sx_AppendBlank(), 1);
        PutRow(rows.back());
    }
    for (const IndexDef& def : kIndexes) {
        ASSERT_GE(sx_Index(dir.File(def.file).c_str(), def.expression, "", 0, 0), 1)
            << sx_ErrorText();
    }
    ASSERT_EQ(sx_Close(), 1);
    CheckIndexes(dir, rows, true);

    // Numeric order of the numeric index includes the negative numbers.
    ASSERT_GE(sx_UseEx(table.c_str(), "ROWS", SX_EXCLUSIVE, SX_SDENTX, 1), 1) << sx_ErrorText();
    for (const IndexDef& def : kIndexes) {
        ASSERT_GE(sx_IndexOpen(dir.File(def.file).c_str()), 1) << sx_ErrorText();
    }
    ASSERT_EQ(sx_SetOrder(2), 6);
    std::vector<uint32_t> by_amount = TableWalk();
    ASSERT_EQ(by_amount.size(), rows.size());
    for (size_t i = 1; i < by_amount.size(); ++i) {
        ASSERT_LE(rows[by_amount[i - 1] - 1].amount, rows[by_amount[i] - 1].amount);
    }
    EXPECT_EQ(TableWalk(true), by_amount);

    // Random appends, changes and deletions with all six indexes open.
    for (int step = 0; step < 3000; ++step) {
        int op = int(rng() % 10);
        if (op < 4) {
            rows.push_back(RandomRow(rng));
            ASSERT_EQ(sx_AppendBlank(), 1);
            PutRow(rows.back());
        } else if (op < 9) {
            uint32_t recno = 1 + rng() % uint32_t(rows.size());
            ASSERT_EQ(sx_Go(long(recno)), 1);
            Row r = RandomRow(rng);
            if (op == 8) r.name = rows[recno - 1].name;  // only some fields change
            rows[recno - 1] = r;
            PutRow(r);
        } else {
            ASSERT_EQ(sx_Go(long(1 + rng() % rows.size())), 1);
            ASSERT_EQ(sx_Delete(), 1);  // deleted records keep their keys
            ASSERT_EQ(sx_Commit(), 1);
        }
    }
    // Navigation in every order follows the index.
    for (int order = 1; order <= 6; ++order) {
        SCOPED_TRACE(order);
        sx_SetOrder(order);
        std::vector<uint32_t> walk = TableWalk();
        std::vector<Entry> expected = Expected(rows, kIndexes[order - 1]);
        ASSERT_EQ(walk.size(), expected.size());
        for (size_t i = 0; i < walk.size(); ++i) ASSERT_EQ(walk[i], expected[i].second) << i;
        if (order % 2 == 0) {
            EXPECT_EQ(TableWalk(true), walk);
        }
    }
    ASSERT_EQ(sx_Close(), 1);
    CheckIndexes(dir, rows, true);

    // A fresh build of the maintained table gives the same files' sequences.
    for (const IndexDef& def : kIndexes) {
        std::string copy = std::string("RE") + def.file;
        ASSERT_GE(sx_UseEx(table.c_str(), "ROWS", SX_EXCLUSIVE, SX_SDENTX, 1), 1);
        ASSERT_GE(sx_Index(dir.File(copy).c_str(), def.expression, "", 0, 0), 1);
        ASSERT_EQ(sx_Close(), 1);
        auto maintained = OpenIndex(dir.File(def.file));
        auto rebuilt = OpenIndex(dir.File(copy));
        EXPECT_EQ(WalkForward(maintained.get()), WalkForward(rebuilt.get())) << def.expression;
    }
}

TEST(NtxTable, OrdersSeekAndFound) {
    sde_test::TempDir dir;
    const std::string table = dir.File("ROWS.DBF");
    CreateTable(table);
    std::vector<Row> rows;
    for (int i = 0; i < 200; ++i) {
        Row r;
        r.name = "N" + std::to_string(1000 - i);
        r.amount = i * 1.5 - 100;
        r.day = i % 10 ? "2026" + std::string(i % 9 + 1 < 10 ? "0" : "") +
                             std::to_string(i % 9 + 1) + "15"
                       : "";
        rows.push_back(r);
        ASSERT_EQ(sx_AppendBlank(), 1);
        PutRow(r);
    }
    ASSERT_EQ(sx_Index(dir.File("BYNAME.NTX").c_str(), "NAME", "", 0, 0), 1) << sx_ErrorText();
    ASSERT_EQ(sx_IndexClose(), 1);
    ASSERT_EQ(sx_Index(dir.File("BYAMOUNT.NTX").c_str(), "AMOUNT", "", 0, 0), 1);
    ASSERT_EQ(sx_IndexClose(), 1);

    // Orders count from 1 in opening order; the last opened is current;
    // opening one again gives its number.
    EXPECT_EQ(sx_IndexOpen(dir.File("BYNAME.NTX").c_str()), 1);
    EXPECT_EQ(sx_IndexOpen(dir.File("BYAMOUNT.NTX").c_str()), 2);
    EXPECT_EQ(sx_IndexOpen(dir.File("byname.ntx").c_str()), 1);  // case-insensitive name
    char key[64];
    EXPECT_EQ(sx_IndexKey(2, key, sizeof key), 6);
    EXPECT_STREQ(key, "AMOUNT");
    EXPECT_EQ(sx_IndexKey(0, key, sizeof key), 4);  // current order: BYNAME
    EXPECT_EQ(sx_IndexOpen(dir.File("MISSING.NTX").c_str()), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("MISSING.NTX"), std::string::npos);
    // One descriptor per file: the index's mapping goes through the
    // descriptor of its open, and the engine tells that the file is in use
    // without opening it.
    EXPECT_EQ(DescriptorsOn(dir.File("BYNAME.NTX")), 1);
    EXPECT_EQ(sx_FileInUse(dir.File("byname.ntx").c_str()), 1);

    // Seek with the full-width key.
    ASSERT_EQ(sx_SetOrder(1), 1);
    EXPECT_EQ(sx_Seek("N950      "), 1);
    EXPECT_EQ(sx_Found(), 1);
    EXPECT_EQ(sx_RecNo(), 51);
    // The current record stays when the order changes; the walk goes on in the new order.
    EXPECT_EQ(sx_SetOrder(2), 1);
    EXPECT_EQ(sx_RecNo(), 51);
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_RecNo(), 52);
    ASSERT_EQ(sx_Skip(-2), 1);
    EXPECT_EQ(sx_RecNo(), 50);
    // Numeric seek by the number's text, negative numbers included.
    EXPECT_EQ(sx_Seek("-50.5"), 1);
    EXPECT_EQ(sx_RecNo(), 34);  // 33 * 1.5 - 100
    EXPECT_EQ(sx_Seek("-50.25"), 0);
    EXPECT_EQ(sx_Found(), 0);
    EXPECT_EQ(sx_Eof(), 1);
    // Not found: end of table.
    sx_SetOrder(1);
    EXPECT_EQ(sx_Seek("ZZZ       "), 0);
    EXPECT_EQ(sx_Eof(), 1);
    EXPECT_EQ(sx_Found(), 0);
    // A record whose key changes goes on from its new place in the order.
    ASSERT_EQ(sx_Seek("N950      "), 1);
    ASSERT_EQ(sx_Replace("NAME", "N0001"), 1);
    ASSERT_EQ(sx_Commit(), 1);
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_RecNo(), 1);  // "N1000" follows "N0001"
    ASSERT_EQ(sx_Skip(-1), 1);
    EXPECT_EQ(sx_RecNo(), 51);
    // Physical order again.
    EXPECT_EQ(sx_SetOrder(0), 1);
    std::vector<uint32_t> walk = TableWalk();
    ASSERT_EQ(walk.size(), 200u);
    EXPECT_EQ(walk.front(), 1u);
    EXPECT_EQ(walk.back(), 200u);

    // Zap empties every open index.
    ASSERT_EQ(sx_Zap(), 1) << sx_ErrorText();
    for (int order = 1; order <= 2; ++order) {
        sx_SetOrder(order);
        EXPECT_TRUE(TableWalk().empty());
    }
    Row r;
    r.name = "AFTER";
    r.amount = -1;
    ASSERT_EQ(sx_AppendBlank(), 1);
    PutRow(r);
    sx_SetOrder(2);
    EXPECT_EQ(TableWalk(), std::vector<uint32_t>{1});
    ASSERT_EQ(sx_Close(), 1);
    EXPECT_EQ(sx_FileInUse(dir.File("BYNAME.NTX").c_str()), 0);
    auto index = OpenIndex(dir.File("BYNAME.NTX"));
    EXPECT_EQ(WalkForward(index.get()), (std::vector<Entry>{{Pad("AFTER", 10), 1}}));
}

// Progress reaches the hook from 0 to 100; a bad expression is refused
// before any file is written.
TEST(NtxTable, BuildProgressAndBadExpression) {
    sde_test::TempDir dir;
    CreateTable(dir.File("ROWS.DBF"));
    std::mt19937 rng(1);
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(sx_AppendBlank(), 1);
        PutRow(RandomRow(rng));
    }
    std::vector<int> seen;
    sx_SetGaugeHook([](void* ctx, int p) { static_cast<std::vector<int>*>(ctx)->push_back(p); },
                    &seen);
    ASSERT_EQ(sx_Index(dir.File("P.NTX").c_str(), "UPPER(NAME)", "", 0, 0), 1) << sx_ErrorText();
    sx_SetGaugeHook(nullptr, nullptr);
    ASSERT_GE(seen.size(), 5u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

    EXPECT_EQ(sx_Index(dir.File("BAD.NTX").c_str(), "UPPER(NOFIELD)", "", 0, 0), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("Invalid index expression [UPPER(NOFIELD)]"),
              std::string::npos)
        << sx_ErrorText();
    EXPECT_FALSE(std::filesystem::exists(dir.File("BAD.NTX")));
    ASSERT_EQ(sx_Close(), 1);
}

// A FOR condition keeps records that fail it out of the index, through
// builds and changes.
TEST(NtxTable, ForConditionIsHonoured) {
    sde_test::TempDir dir;
    CreateTable(dir.File("ROWS.DBF"));
    std::mt19937 rng(3);
    std::vector<Row> rows;
    for (int i = 0; i < 300; ++i) {
        rows.push_back(RandomRow(rng));
        ASSERT_EQ(sx_AppendBlank(), 1);
        PutRow(rows.back());
    }
    ASSERT_EQ(sx_Index(dir.File("POS.NTX").c_str(), "NAME", "AMOUNT > 0", 0, 0), 1)
        << sx_ErrorText();
    for (int i = 0; i < 300; ++i) {
        uint32_t recno = 1 + rng() % uint32_t(rows.size());
        ASSERT_EQ(sx_Go(long(recno)), 1);
        rows[recno - 1] = RandomRow(rng);
        PutRow(rows[recno - 1]);
    }
    std::vector<Entry> expected;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].amount > 0) expected.emplace_back(Pad(rows[i].name, 10), uint32_t(i + 1));
    }
    expected = Sorted(expected);
    std::vector<uint32_t> walk = TableWalk();
    ASSERT_EQ(walk.size(), expected.size());
    for (size_t i = 0; i < walk.size(); ++i) EXPECT_EQ(walk[i], expected[i].second);
    ASSERT_EQ(sx_Close(), 1);
    auto index = OpenIndex(dir.File("POS.NTX"));
    EXPECT_EQ(index->header().for_expression, "AMOUNT > 0");
    EXPECT_EQ(WalkForward(index.get()), expected);
}

// Two processes append to and change one shared table with two indexes open;
// both indexes end up holding every record exactly once, in order.
TEST(NtxTable, SharedTableWithSecondProcess) {
    sde_test::TempDir dir;
    const std::string table = dir.File("ROWS.DBF");
    CreateTable(table);
    ASSERT_EQ(sx_Index(dir.File("BYNAME.NTX").c_str(), "NAME", "", 0, 0), 1);
    ASSERT_EQ(sx_Index(dir.File("BYAMOUNT.NTX").c_str(), "AMOUNT", "", 0, 0), 1);
    ASSERT_EQ(sx_Close(), 1);

    auto worker = [&](const char* prefix, int count, bool seek) -> int {
        int area = sx_UseEx(table.c_str(), prefix, SX_SHARED, SX_SDENTX, 1);
        if (area < 1) return 10;
        if (sx_IndexOpen(dir.File("BYNAME.NTX").c_str()) != 1) return 11;
        if (sx_IndexOpen(dir.File("BYAMOUNT.NTX").c_str()) != 2) return 12;
        for (int i = 0; i < count; ++i) {
            if (sx_AppendBlank() != 1) return 13;
            std::string name = std::string(prefix) + std::to_string(i);
            if (sx_Replace("NAME", name.c_str()) != 1) return 14;
            if (sx_Replace("AMOUNT", std::to_string(i % 50 - 25).c_str()) != 1) return 15;
            if (sx_Commit() != 1 || sx_Unlock(0) != 1) return 16;
            if (i % 4 == 3) {
                // Change an earlier record of ours: its keys move.
                long mine = sx_RecNo();
                if (sx_Replace("AMOUNT", std::to_string(i % 50 + 100).c_str()) != 1) return 17;
                if (sx_Commit() != 1 || sx_Unlock(mine) != 1) return 18;
            }
            if (seek) {
                sx_SetOrder(1);
                std::string wanted = Pad(name, 10);
                if (sx_Seek(wanted.c_str()) != 1) return 19;
                sx_SetOrder(2);
            }
        }
        sx_Close();
        return 0;
    };
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) _exit(worker("C", 400, false));
    int ours = worker("P", 400, true);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(ours, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    // Read the table back and compare both indexes with its contents.
    ASSERT_GE(sx_UseEx(table.c_str(), "ROWS", SX_EXCLUSIVE, SX_SDENTX, 1), 1) << sx_ErrorText();
    ASSERT_EQ(sx_RecCount(), 800);
    std::vector<Entry> by_name, by_amount;
    char buf[32];
    for (long r = 1; r <= 800; ++r) {
        ASSERT_EQ(sx_Go(r), 1);
        sx_GetString("NAME", buf, sizeof buf);
        by_name.emplace_back(buf, uint32_t(r));
        sx_GetString("AMOUNT", buf, sizeof buf);
        by_amount.emplace_back(NumericKey(atof(buf), 8, 2), uint32_t(r));
    }
    ASSERT_EQ(sx_Close(), 1);
    auto name_index = OpenIndex(dir.File("BYNAME.NTX"));
    EXPECT_EQ(WalkForward(name_index.get()), Sorted(by_name));
    auto amount_index = OpenIndex(dir.File("BYAMOUNT.NTX"));
    EXPECT_EQ(WalkForward(amount_index.get()), Sorted(by_amount));
    std::vector<Entry> missing;
    EXPECT_EQ(PerlWalk(dir.File("BYAMOUNT.NTX"), &missing), Sorted(by_amount));
    EXPECT_TRUE(missing.empty());
}
