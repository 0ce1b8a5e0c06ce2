// Tables through the C API: creation rules, reading and writing every field
// type, memos, deleted records, numbers that do not fit, zap, copies, SDF
// appends and OEM translation.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "sde61.h"
#include "test_util.h"

using sde_test::ReadWholeFile;
using sde_test::TempDir;
using sde_test::WriteWholeFile;

namespace {

std::string GetString(const char* field) {
    int n = sx_GetString(field, nullptr, 0);
    EXPECT_GE(n, 0) << sx_ErrorText();
    std::string s(size_t(n < 0 ? 0 : n) + 1, '\0');
    sx_GetString(field, s.data(), int(s.size()));
    s.resize(size_t(n < 0 ? 0 : n));
    return s;
}

std::string GetRecord() {
    std::string r(size_t(sx_RecSize()), '\0');
    EXPECT_EQ(sx_GetRecord(r.data(), int(r.size())), sx_RecSize());
    return r;
}

// Creates ARTIKEL-like table with every field type and closes it.
void CreateSample(const std::string& path) {
    ASSERT_EQ(sx_CreateNew(path.c_str(), "SAMPLE", SX_SDENTX, 6), 1);
    ASSERT_EQ(sx_CreateField("name", "C", 12, 0), 1);
    ASSERT_EQ(sx_CreateField("PREIS", "N", 8, 2), 1);
    ASSERT_EQ(sx_CreateField("MENGE", "N", 4, 0), 1);
    ASSERT_EQ(sx_CreateField("DATUM", "D", 8, 0), 1);
    ASSERT_EQ(sx_CreateField("AKTIV", "L", 1, 0), 1);
    ASSERT_EQ(sx_CreateField("NOTIZ", "M", 10, 0), 1);
    ASSERT_EQ(sx_CreateExec(), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Close(), 1);
}

int Open(const std::string& path, int mode = SX_EXCLUSIVE, const char* alias = "T") {
    int area = sx_UseEx(path.c_str(), alias, mode, SX_SDENTX, SX_COMMIT_NORMAL);
    EXPECT_GE(area, 1) << sx_ErrorText();
    return area;
}

void AppendRow(const char* name, const char* price, const char* qty, const char* date,
               const char* active, const char* memo) {
    ASSERT_EQ(sx_AppendBlank(), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Replace("NAME", name), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Replace("PREIS", price), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Replace("MENGE", qty), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Replace("DATUM", date), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Replace("AKTIV", active), 1) << sx_ErrorText();
    if (memo) {
        ASSERT_EQ(sx_PutMemo("NOTIZ", memo, int(strlen(memo))), 1) << sx_ErrorText();
    }
    ASSERT_EQ(sx_Commit(), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Unlock(0), 1);
}

TEST(TableCreateTest, WritesHeaderAndMemoFileByteExact) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    std::string dbf = ReadWholeFile(path);
    ASSERT_EQ(dbf.size(), 32u + 6 * 32 + 2 + 1);
    EXPECT_EQ(uint8_t(dbf[0]), 0x83);
    EXPECT_EQ(dbf.substr(4, 4), std::string("\0\0\0\0", 4));
    EXPECT_EQ(uint8_t(dbf[8]) | (uint8_t(dbf[9]) << 8), 32 + 6 * 32 + 2);
    EXPECT_EQ(uint8_t(dbf[10]), 1 + 12 + 8 + 4 + 8 + 1 + 10);
    EXPECT_EQ(dbf.substr(32, 5), "NAME" + std::string(1, '\0'));  // names are stored upper case
    EXPECT_EQ(dbf[32 + 11], 'C');
    EXPECT_EQ(uint8_t(dbf[64 + 16]), 8);
    EXPECT_EQ(uint8_t(dbf[64 + 17]), 2);
    EXPECT_EQ(dbf.substr(32 + 6 * 32, 3), std::string("\x0D\0\x1A", 3));
    std::string dbt = ReadWholeFile(dir.File("SAMPLE.DBT"));
    ASSERT_EQ(dbt.size(), 512u);
    EXPECT_EQ(dbt.substr(0, 4), std::string("\x01\0\0\0", 4));
}

TEST(TableCreateTest, RefusesBadDefinitionsWithTheirTexts) {
    TempDir dir;
    std::string path = dir.File("BAD.DBF");
    sx_CreateExec();  // drops any definition left over
    EXPECT_EQ(sx_CreateField("A", "C", 1, 0), 0);
    EXPECT_STREQ(sx_ErrorText(), "Must call CreateNew before CreateField");
    EXPECT_EQ(sx_CreateExec(), 0);
    EXPECT_STREQ(sx_ErrorText(), "Must call CreateNew before CreateExec");
    ASSERT_EQ(sx_CreateNew(path.c_str(), "BAD", SX_SDENTX, 2), 1);
    EXPECT_EQ(sx_CreateField("1ABC", "C", 5, 0), 0);
    EXPECT_STREQ(sx_ErrorText(), "Invalid field name. Field names must begin with a letter");
    EXPECT_EQ(sx_CreateField("", "C", 5, 0), 0);
    EXPECT_STREQ(sx_ErrorText(), "Invalid field name. Field names must begin with a letter");
    EXPECT_EQ(sx_CreateField("A", "", 5, 0), 0);
    EXPECT_STREQ(sx_ErrorText(), "Invalid field type");
    EXPECT_EQ(sx_CreateField("A", "X", 5, 0), 0);
    EXPECT_STREQ(sx_ErrorText(), "Invalid field type");
    EXPECT_EQ(sx_CreateField("A", "C", 0, 0), 0);
    EXPECT_STREQ(sx_ErrorText(), "Invalid field length.");
    EXPECT_EQ(sx_CreateField("A", "N", 5, 4), 0);
    ASSERT_EQ(sx_CreateField("A", "C", 5, 0), 1);
    EXPECT_EQ(sx_CreateField("a", "C", 5, 0), 0);  // same name twice
    // Only one of two announced fields: nothing is written.
    EXPECT_EQ(sx_CreateExec(), 0);
    EXPECT_FALSE(sde_test::ReadWholeFile(path).size() > 0);
}

TEST(TableTest, EveryFieldTypeRoundTripsAndNumbersAreRoundedOrRefused) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    AppendRow("Kamera", "1234.565", "12", "20261208", "T", "Erste Notiz");
    AppendRow("Objektiv", "-0.004", "-999", "", "n", nullptr);
    EXPECT_EQ(sx_RecCount(), 2);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(GetString("NAME"), "Kamera      ");
    EXPECT_EQ(GetString("preis"), " 1234.57");
    EXPECT_EQ(GetString("MENGE"), "  12");
    EXPECT_EQ(GetString("DATUM"), "20261208");
    EXPECT_EQ(GetString("AKTIV"), "T");
    EXPECT_EQ(GetString("NOTIZ"), "Erste Notiz");
    EXPECT_EQ(sx_Empty("NOTIZ"), 0);
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(GetString("T->PREIS"), "    0.00");
    EXPECT_EQ(GetString("MENGE"), "-999");
    EXPECT_EQ(GetString("DATUM"), "        ");
    EXPECT_EQ(GetString("AKTIV"), "F");
    EXPECT_EQ(sx_Empty("DATUM"), 1);
    EXPECT_EQ(sx_Empty("NOTIZ"), 1);
    EXPECT_EQ(GetString("NOTIZ"), "");

    // Values that do not fit are refused, the record keeps its value.
    EXPECT_EQ(sx_Replace("MENGE", "12345"), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("MENGE"), std::string::npos);
    EXPECT_EQ(sx_Replace("MENGE", "-1000"), 0);
    EXPECT_EQ(sx_Replace("PREIS", "99999.995"), 0);  // rounds to 100000.00: one digit too many
    EXPECT_EQ(sx_Replace("PREIS", "12a"), 0);
    EXPECT_EQ(sx_Replace("DATUM", "2026-12-08"), 0);
    EXPECT_EQ(GetString("MENGE"), "-999");
    EXPECT_EQ(sx_Replace("PREIS", "99999.99"), 1);
    EXPECT_EQ(sx_Replace("NAME", "Ein viel zu langer Name"), 1);
    EXPECT_EQ(GetString("NAME"), "Ein viel zu ");
    ASSERT_EQ(sx_Commit(), 1);

    // A record with asterisks in a number is refused by sx_PutRecord.
    std::string rec = GetRecord();
    rec.replace(1 + 12, 8, "********");
    EXPECT_EQ(sx_PutRecord(rec.data(), int(rec.size())), 0);
    ASSERT_EQ(sx_Close(), 1);

    std::string dbf = ReadWholeFile(path);
    size_t first = 32 + 6 * 32 + 2;
    size_t reclen = 44;
    EXPECT_EQ(dbf.substr(first + reclen, 1 + 12 + 8), " Ein viel zu 99999.99");
    EXPECT_EQ(dbf.substr(first + reclen * 2), "\x1A");  // end mark after the last record
}

TEST(TableTest, MemoChangesGoToTheEndAndPutRecordKeepsPointers) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    std::string long_text(700, 'x');
    AppendRow("A", "1", "1", "", "T", long_text.c_str());  // 700 bytes: blocks 1-2
    AppendRow("B", "1", "1", "", "T", "kurz");             // block 3
    ASSERT_EQ(sx_GoTop(), 1);
    ASSERT_EQ(sx_PutMemo("NOTIZ", "neu", 3), 1);  // block 4, old blocks stay
    std::string rec = GetRecord();
    rec.replace(rec.size() - 10, 10, "        99");  // pointer in the buffer is ignored
    rec[1] = 'Z';
    ASSERT_EQ(sx_PutRecord(rec.data(), int(rec.size())), 1);
    ASSERT_EQ(sx_Commit(), 1);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(GetString("NAME"), "Z           ");
    EXPECT_EQ(GetString("NOTIZ"), "neu");
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(GetString("NOTIZ"), "kurz");
    ASSERT_EQ(sx_PutMemo("NOTIZ", "", 0), 1);  // empty memo blanks the pointer
    ASSERT_EQ(sx_Commit(), 1);
    ASSERT_EQ(sx_Close(), 1);
    std::string dbt = ReadWholeFile(dir.File("SAMPLE.DBT"));
    EXPECT_EQ(dbt.substr(0, 4), std::string("\x05\0\0\0", 4));
    EXPECT_EQ(dbt.substr(512, 3), "xxx");
    EXPECT_EQ(dbt.substr(512 + 700, 2), "\x1A\x1A");
    EXPECT_EQ(dbt.substr(3 * 512, 6), "kurz\x1A\x1A");
    EXPECT_EQ(dbt.substr(4 * 512, 5), "neu\x1A\x1A");
    std::string dbf = ReadWholeFile(path);
    EXPECT_EQ(dbf.substr(32 + 6 * 32 + 2 + 44 + 34, 10), std::string(10, ' '));
}

// A memo that leaves a single byte of its last block takes one block more
// for its second end mark: the header points right behind it, where the next
// memo goes, and another program writing there never overwrites that mark.
TEST(TableTest, MemoEndMarksNeverSpillPastItsBlocks) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    AppendRow("A", "1", "1", "", "T", std::string(511, 'x').c_str());
    ASSERT_EQ(sx_Close(), 1);
    std::string dbt = ReadWholeFile(dir.File("SAMPLE.DBT"));
    EXPECT_EQ(dbt.substr(0, 4), std::string("\x03\0\0\0", 4));
    ASSERT_EQ(dbt.size(), 3u * 512);
    EXPECT_EQ(dbt.substr(512 + 511, 3), std::string("\x1A\x1A\0", 3));
    Open(path);
    AppendRow("B", "1", "1", "", "T", "kurz");
    ASSERT_EQ(sx_Close(), 1);
    dbt = ReadWholeFile(dir.File("SAMPLE.DBT"));
    EXPECT_EQ(dbt.substr(0, 4), std::string("\x04\0\0\0", 4));
    EXPECT_EQ(dbt.substr(3 * 512, 6), "kurz\x1A\x1A");
}

// The header's date of last update changes with the first write after an
// open, a changed record as much as an append; reading leaves it alone.
TEST(TableTest, FirstWriteAfterAnOpenDatesTheHeader) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    AppendRow("A", "1", "1", "", "T", nullptr);
    ASSERT_EQ(sx_Close(), 1);
    const std::string old_date("\x63\x01\x02", 3);  // 1999-01-02
    for (int mode : {SX_EXCLUSIVE, SX_SHARED}) {
        std::string dbf = ReadWholeFile(path);
        dbf.replace(1, 3, old_date);
        WriteWholeFile(path, dbf);
        Open(path, mode);
        EXPECT_EQ(GetString("AKTIV"), "T");
        ASSERT_EQ(sx_Close(), 1);
        EXPECT_EQ(ReadWholeFile(path).substr(1, 3), old_date) << "read only, mode " << mode;
        Open(path, mode);
        ASSERT_EQ(sx_Replace("NAME", "B"), 1) << sx_ErrorText();
        ASSERT_EQ(sx_Commit(), 1) << sx_ErrorText();
        ASSERT_EQ(sx_Close(), 1);
        dbf = ReadWholeFile(path);
        const std::time_t now = std::time(nullptr);
        std::tm today{};
        localtime_r(&now, &today);
        EXPECT_EQ(dbf.substr(1, 3), std::string({char(today.tm_year % 256), char(today.tm_mon + 1),
                                                 char(today.tm_mday)}))
            << "mode " << mode;
        EXPECT_EQ(dbf.substr(4, 4), std::string("\x01\0\0\0", 4));
    }
}

// Header bytes 12 and 13 as the encryption mark begins, but no mark that
// holds: another program's table, read and written as plain.
TEST(TableTest, ForeignBytesWhereTheEncryptionMarkStandsReadAsPlain) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    AppendRow("Klartext", "1", "1", "", "T", "Notiz");
    ASSERT_EQ(sx_Close(), 1);
    std::string dbf = ReadWholeFile(path);
    dbf.replace(12, 4, std::string("\xE7\x5C\x02\0", 4));
    WriteWholeFile(path, dbf);
    Open(path);
    EXPECT_EQ(GetString("NAME"), "Klartext    ");
    EXPECT_EQ(GetString("NOTIZ"), "Notiz");
    ASSERT_EQ(sx_Replace("NAME", "Neu"), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Commit(), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Close(), 1);
    dbf = ReadWholeFile(path);
    EXPECT_EQ(dbf.substr(32 + 6 * 32 + 2 + 1, 3), "Neu");
    EXPECT_EQ(dbf.substr(12, 4), std::string("\xE7\x5C\x02\0", 4));  // left as it was
}

TEST(TableTest, PutRecordKeepsUnchangedOddValuesAndChecksChangedOnes) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    AppendRow("A", "1", "1", "", "T", nullptr);
    ASSERT_EQ(sx_Close(), 1);
    // Another program left something odd in MENGE.
    std::string dbf = ReadWholeFile(path);
    dbf.replace(32 + 6 * 32 + 2 + 1 + 12 + 8, 4, " ab ");
    WriteWholeFile(path, dbf);
    Open(path);
    ASSERT_EQ(sx_GoTop(), 1);
    std::string rec = GetRecord();
    rec.replace(1, 5, "Neuer");
    ASSERT_EQ(sx_PutRecord(rec.data(), int(rec.size())), 1) << sx_ErrorText();
    EXPECT_EQ(GetString("MENGE"), " ab ");
    rec.replace(1 + 12 + 8, 4, " cd ");
    EXPECT_EQ(sx_PutRecord(rec.data(), int(rec.size())), 0);
    rec.replace(1 + 12 + 8, 4, "7   ");  // a changed number is stored right-aligned
    ASSERT_EQ(sx_PutRecord(rec.data(), int(rec.size())), 1) << sx_ErrorText();
    EXPECT_EQ(GetString("MENGE"), "   7");
    ASSERT_EQ(sx_Close(), 1);
}

TEST(TableTest, RecordsReadAheadInExclusiveUseFollowEveryWrite) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    for (const char* name : {"A", "B", "C"}) AppendRow(name, "1", "1", "", "T", nullptr);
    ASSERT_EQ(sx_GoTop(), 1);  // reads ahead all three
    ASSERT_EQ(sx_Skip(1), 1);
    ASSERT_EQ(sx_Replace("NAME", "B2"), 1);
    ASSERT_EQ(sx_Skip(1), 1);  // leaving the record writes it
    ASSERT_EQ(sx_Go(2), 1);
    EXPECT_EQ(GetString("NAME"), "B2          ");
    AppendRow("D", "1", "1", "", "T", nullptr);
    ASSERT_EQ(sx_Go(4), 1);
    EXPECT_EQ(GetString("NAME"), "D           ");
    ASSERT_EQ(sx_Zap(), 1);
    AppendRow("E", "1", "1", "", "T", nullptr);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(GetString("NAME"), "E           ");
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_Eof(), 1);
    ASSERT_EQ(sx_Close(), 1);
}

// Several groups of cached blocks (the last one partly filled, then grown by
// appends): random reads, changes and appends in exclusive use must show what
// the file holds, now and after reopening.
TEST(TableTest, CachedRecordsOverManyBlocksMatchTheFile) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    std::vector<std::string> names;
    auto name_of = [](int n) { return "N" + std::to_string(n); };
    for (int i = 1; i <= 3500; ++i) {
        ASSERT_EQ(sx_AppendBlank(), 1) << sx_ErrorText();
        ASSERT_EQ(sx_Replace("NAME", name_of(i).c_str()), 1);
        names.push_back(name_of(i));
    }
    ASSERT_EQ(sx_Commit(), 1);
    unsigned seed = 12345;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % unsigned(n)) + 1;
    };
    for (int step = 0; step < 3000; ++step) {
        int recno = next(int(names.size()));
        ASSERT_EQ(sx_Go(recno), 1);
        std::string name = GetString("NAME");
        ASSERT_EQ(name.substr(0, name.find(' ')), names[size_t(recno - 1)]) << "record " << recno;
        if (step % 3 == 0) {
            names[size_t(recno - 1)] = "C" + std::to_string(step);
            ASSERT_EQ(sx_Replace("NAME", names[size_t(recno - 1)].c_str()), 1);
        }
        if (step % 50 == 0) {
            ASSERT_EQ(sx_AppendBlank(), 1);
            names.push_back("A" + std::to_string(step));
            ASSERT_EQ(sx_Replace("NAME", names.back().c_str()), 1);
        }
    }
    auto check_all = [&] {
        ASSERT_EQ(sx_RecCount(), long(names.size()));
        for (size_t i = 0; i < names.size(); ++i) {
            ASSERT_EQ(sx_Go(long(i + 1)), 1);
            std::string name = GetString("NAME");
            ASSERT_EQ(name.substr(0, name.find(' ')), names[i]) << "record " << i + 1;
        }
    };
    check_all();
    ASSERT_EQ(sx_Close(), 1);
    Open(path, SX_SHARED);
    check_all();
    ASSERT_EQ(sx_Close(), 1);
}

// A change that is not committed can be dropped: an edit reads as the file
// holds it, an exclusive append goes again, and later moves write nothing.
TEST(TableTest, DiscardDropsTheUncommittedChange) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    AppendRow("Erster", "1.00", "1", "20260101", "T", "Notiz");
    ASSERT_EQ(sx_Replace("NAME", "Anders"), 1);
    ASSERT_EQ(sx_PutMemo("NOTIZ", "Neu", 3), 1);
    ASSERT_EQ(sx_Discard(), 1);
    EXPECT_EQ(GetString("NAME"), "Erster      ");
    ASSERT_EQ(sx_AppendBlank(), 1);
    ASSERT_EQ(sx_Replace("NAME", "Zweiter"), 1);
    ASSERT_EQ(sx_Discard(), 1);
    EXPECT_EQ(sx_Eof(), 1);
    EXPECT_EQ(sx_RecCount(), 1);
    ASSERT_EQ(sx_GoTop(), 1);
    ASSERT_EQ(sx_Close(), 1);
    Open(path, SX_READONLY);
    EXPECT_EQ(sx_RecCount(), 1);
    EXPECT_EQ(GetString("NAME"), "Erster      ");
    EXPECT_EQ(GetString("NOTIZ"), "Notiz");
    ASSERT_EQ(sx_Close(), 1);
}

TEST(TableTest, DeletedRecordsAreCountedReadAndKept) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    AppendRow("A", "1", "1", "", "T", nullptr);
    AppendRow("B", "2", "2", "", "T", nullptr);
    ASSERT_EQ(sx_Go(1), 1);
    ASSERT_EQ(sx_Delete(), 1);
    ASSERT_EQ(sx_Commit(), 1);
    ASSERT_EQ(sx_Close(), 1);
    Open(path, SX_READONLY);
    EXPECT_EQ(sx_RecCount(), 2);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(sx_Deleted(), 1);
    EXPECT_EQ(GetRecord()[0], '*');
    EXPECT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_Deleted(), 0);
    EXPECT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_Eof(), 1);
    EXPECT_EQ(sx_RecNo(), 3);
    // Read-only tables refuse every change.
    EXPECT_EQ(sx_AppendBlank(), 0);
    EXPECT_STREQ(sx_ErrorText(), "Cannot modify a read-only data set");
    ASSERT_EQ(sx_Close(), 1);
}

TEST(TableTest, ZapNeedsExclusiveUseAndEmptiesTheMemoFile) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path, SX_SHARED);
    AppendRow("A", "1", "1", "", "T", "memo");
    EXPECT_EQ(sx_Zap(), 0);
    EXPECT_STREQ(sx_ErrorText(),
                 "Table must be opened in Exclusive mode to perform this operation");
    EXPECT_EQ(sx_RecCount(), 1);
    ASSERT_EQ(sx_Close(), 1);
    Open(path);
    ASSERT_EQ(sx_Zap(), 1);
    EXPECT_EQ(sx_RecCount(), 0);
    EXPECT_EQ(sx_Eof(), 1);
    AppendRow("B", "2", "2", "", "F", "danach");
    ASSERT_EQ(sx_Close(), 1);
    std::string dbt = ReadWholeFile(dir.File("SAMPLE.DBT"));
    EXPECT_EQ(dbt.substr(0, 4), std::string("\x02\0\0\0", 4));
    EXPECT_EQ(dbt.substr(512, 8), "danach\x1A\x1A");
    EXPECT_EQ(ReadWholeFile(path).size(), 32u + 6 * 32 + 2 + 44 + 1);
}

TEST(TableTest, CopyFileReplacesTheTargetWithExactlyTheSourceRecords) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    std::string target = dir.File("copy.dbf");
    CreateSample(path);
    // An older, bigger target with a memo file must be replaced whole.
    CreateSample(target);
    Open(target, SX_EXCLUSIVE, "OLD");
    for (int i = 0; i < 5; ++i) AppendRow("alt", "9", "9", "", "F", "alte notiz");
    ASSERT_EQ(sx_Close(), 1);

    Open(path);
    AppendRow("A", "1", "1", "20260101", "T", "eins");
    AppendRow("B", "2", "2", "", "F", nullptr);
    AppendRow("C", "3", "3", "", "T", "drei");
    ASSERT_EQ(sx_Go(2), 1);
    ASSERT_EQ(sx_Delete(), 1);
    ASSERT_EQ(sx_CopyFile(dir.File("COPY").c_str()), 1)
        << sx_ErrorText();  // the pending delete goes along
    ASSERT_EQ(sx_Close(), 1);

    Open(target, SX_EXCLUSIVE, "NEW");
    EXPECT_EQ(sx_RecCount(), 3);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(GetString("NOTIZ"), "eins");
    EXPECT_EQ(GetString("DATUM"), "20260101");
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_Deleted(), 1);
    EXPECT_EQ(GetString("NOTIZ"), "");
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(GetString("NOTIZ"), "drei");
    ASSERT_EQ(sx_Close(), 1);
    // The copy's memo file holds only the copied memos.
    EXPECT_EQ(ReadWholeFile(dir.File("copy.dbt")).size(), 3u * 512);
    // No temporary files are left behind.
    std::string listing;
    sde_test::RunCommand("ls " + dir.path() + " | wc -l", &listing);
    EXPECT_EQ(listing, "4\n");
}

TEST(TableTest, CopyStructureWritesAnEmptyTableWithTheSameFields) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    Open(path);
    AppendRow("A", "1", "1", "", "T", "eins");
    ASSERT_EQ(sx_CopyStructure(dir.File("LEER.DBF").c_str(), "LEER"), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Close(), 1);
    Open(dir.File("leer.dbf"), SX_SHARED, "LEER");
    EXPECT_EQ(sx_RecCount(), 0);
    ASSERT_EQ(sx_FieldCount(), 6);
    char name[16];
    ASSERT_EQ(sx_FieldName(2, name, sizeof name), 5);
    EXPECT_STREQ(name, "PREIS");
    EXPECT_EQ(sx_FieldType(2), 'N');
    EXPECT_EQ(sx_FieldWidth(2), 8);
    EXPECT_EQ(sx_FieldDecimals(2), 2);
    EXPECT_EQ(sx_FieldType(6), 'M');
    // The whole structure in one call, written only as far as the room given.
    EXPECT_EQ(sx_FieldInfo(nullptr, 0), 6);
    sx_FieldDesc info[3] = {};
    info[2].width = -7;
    ASSERT_EQ(sx_FieldInfo(info, 2), 6);
    EXPECT_STREQ(info[1].name, "PREIS");
    EXPECT_EQ(info[1].type, 'N');
    EXPECT_EQ(info[1].width, 8);
    EXPECT_EQ(info[1].decimals, 2);
    EXPECT_EQ(info[2].width, -7);
    sx_FieldDesc all[6] = {};
    ASSERT_EQ(sx_FieldInfo(all, 6), 6);
    EXPECT_EQ(all[5].type, 'M');
    EXPECT_EQ(all[5].width, 10);
    ASSERT_EQ(sx_Close(), 1);
    EXPECT_EQ(sx_FieldInfo(all, 6), -1);
}

class SdfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("SDF.DBF");
        ASSERT_EQ(sx_CreateNew(path_.c_str(), "SDF", SX_SDENTX, 3), 1);
        ASSERT_EQ(sx_CreateField("A", "C", 3, 0), 1);
        ASSERT_EQ(sx_CreateField("B", "N", 5, 1), 1);
        ASSERT_EQ(sx_CreateField("C", "C", 4, 0), 1);
        ASSERT_EQ(sx_CreateExec(), 1);  // stays open, exclusive
    }
    void TearDown() override { sx_Close(); }

    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) rows.push_back(GetRecord().substr(1));
        return rows;
    }

    TempDir dir_;
    std::string path_;
};

TEST_F(SdfTest, LinesFillFieldsByPositionShortFilledLongCut) {
    std::string src = dir_.File("in.sdf");
    WriteWholeFile(src, "abc 12.5wxyz\r\nde\nfgh   -3vwxyzTOO LONG\r\nlst  1.0  z");
    ASSERT_EQ(sx_AppendFrom(src.c_str(), SX_SDF_FILE, ""), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Commit(), 1);
    EXPECT_EQ(sx_RecCount(), 4);
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "abc 12.5wxyz");
    EXPECT_EQ(rows[1], "de          ");
    EXPECT_EQ(rows[2], "fgh -3.0vwxy");
    EXPECT_EQ(rows[3], "lst  1.0  z ");
}

TEST_F(SdfTest, EmptyFileAppendsNothingAndBadNumbersAreRefused) {
    std::string empty = dir_.File("empty.sdf");
    WriteWholeFile(empty, "");
    ASSERT_EQ(sx_AppendFrom(empty.c_str(), SX_SDF_FILE, nullptr), 1) << sx_ErrorText();
    EXPECT_EQ(sx_RecCount(), 0);
    std::string bad = dir_.File("bad.sdf");
    WriteWholeFile(bad, "ok   1.0\nxx 12x45\n");
    EXPECT_EQ(sx_AppendFrom(bad.c_str(), SX_SDF_FILE, ""), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("line 2"), std::string::npos) << sx_ErrorText();
    EXPECT_EQ(sx_RecCount(), 0);  // not even the good line in front of it
    EXPECT_EQ(sx_AppendFrom(dir_.File("missing.sdf").c_str(), SX_SDF_FILE, ""), 0);
    EXPECT_EQ(sx_AppendFrom(empty.c_str(), 1, ""), 0);
}

TEST_F(SdfTest, EmptyAndVeryLongLinesGiveOneRecordEach) {
    std::string src = dir_.File("lang.sdf");
    WriteWholeFile(src, "\r\nabc  1.5wxyz" + std::string(4988, 'q') + "\r\n\n");
    ASSERT_EQ(sx_AppendFrom(src.c_str(), SX_SDF_FILE, ""), 1) << sx_ErrorText();
    EXPECT_EQ(Rows(), (std::vector<std::string>{std::string(12, ' '), "abc  1.5wxyz",
                                                std::string(12, ' ')}));
}

TEST(TranslateTest, OemTranslationStoresCodePage850AndSwitchesAtOnce) {
    TempDir dir;
    std::string path = dir.File("OEM.DBF");
    ASSERT_EQ(sx_CreateNew(path.c_str(), "OEM", SX_SDENTX, 2), 1);
    ASSERT_EQ(sx_CreateField("TEXT", "C", 6, 0), 1);
    ASSERT_EQ(sx_CreateField("NOTIZ", "M", 10, 0), 1);
    ASSERT_EQ(sx_CreateExec(), 1);
    EXPECT_EQ(sx_SetTranslate(1), 0);
    ASSERT_EQ(sx_AppendBlank(), 1);
    // Windows-1252: a-umlaut, sharp s, euro sign (absent from 850), e-acute.
    ASSERT_EQ(sx_Replace("TEXT", "\xE4\xDF\x80\xE9"), 1);
    ASSERT_EQ(sx_PutMemo("NOTIZ", "\xFC\xC4", 2), 1);
    ASSERT_EQ(sx_Commit(), 1);
    EXPECT_EQ(GetString("TEXT"), "\xE4\xDF?\xE9  ");
    EXPECT_EQ(GetString("NOTIZ"), "\xFC\xC4");
    // The whole record, and a buffer that ends inside the text: both translated.
    EXPECT_EQ(GetRecord().substr(1, 6), "\xE4\xDF?\xE9  ");
    char cut[4] = {};
    EXPECT_EQ(sx_GetRecord(cut, 4), sx_RecSize());
    EXPECT_EQ(std::string(cut, 4), " \xE4\xDF?");
    // Off: the stored code page 850 bytes show.
    EXPECT_EQ(sx_SetTranslate(0), 1);
    EXPECT_EQ(GetString("TEXT"), "\x84\xE1?\x82  ");
    EXPECT_EQ(GetString("NOTIZ"), "\x81\x8E");
    EXPECT_EQ(GetRecord().substr(1, 6), "\x84\xE1?\x82  ");
    ASSERT_EQ(sx_Close(), 1);
    std::string dbf = ReadWholeFile(path);
    EXPECT_EQ(dbf.substr(32 + 2 * 32 + 2 + 1, 4), "\x84\xE1?\x82");
}

TEST(WorkAreaTest, AliasesSelectionAndOpenFailures) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path);
    EXPECT_EQ(sx_UseEx(dir.File("none.dbf").c_str(), "X", SX_SHARED, SX_SDENTX, 1), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("none.dbf"), std::string::npos);
    int a = Open(dir.File("sample"), SX_SHARED, "ERSTE");  // ".DBF" is added, case ignored
    int b = Open(path, SX_SHARED, "ZWEITE");
    ASSERT_NE(a, b);
    EXPECT_EQ(sx_UseEx(path.c_str(), "erste", SX_SHARED, SX_SDENTX, 1), 0);  // alias taken
    EXPECT_EQ(sx_WorkArea("zweite"), b);
    EXPECT_EQ(sx_Select(a), b);
    EXPECT_STREQ(sx_Alias(), "ERSTE");
    ASSERT_EQ(sx_AppendBlank(), 1);
    ASSERT_EQ(sx_Replace("NAME", "x"), 1);
    ASSERT_EQ(sx_Commit(), 1);
    // The other work area on the same file sees the record, but not its lock.
    sx_Select(b);
    EXPECT_EQ(sx_RecCount(), 1);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(sx_Replace("NAME", "y"), 1);
    EXPECT_EQ(sx_Commit(), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("locked"), std::string::npos);
    sx_Select(a);
    ASSERT_EQ(sx_Unlock(0), 1);
    sx_Select(b);
    ASSERT_EQ(sx_Replace("NAME", "y"), 1);
    EXPECT_EQ(sx_Commit(), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Close(), 1);
    EXPECT_EQ(sx_RecCount(), 0);  // nothing selected
    sx_Select(a);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(GetString("NAME").substr(0, 1), "y");
    // Exclusive open fails while the file is open in another work area.
    EXPECT_EQ(sx_UseEx(path.c_str(), "DRITTE", SX_EXCLUSIVE, SX_SDENTX, 1), 0);
    ASSERT_EQ(sx_Close(), 1);
    EXPECT_EQ(sx_Close(), 0);
}

}  // namespace
