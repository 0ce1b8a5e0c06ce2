// Damaged files: every value read from disk that does not fit gives a clear
// error naming the file, never a crash or an endless loop; a file system that
// fails after some writes leaves a table that still opens and reads.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "faulty_env.h"
#include "platform/file.h"
#include "sde61.h"
#include "test_util.h"

using sde_test::ReadWholeFile;
using sde_test::TempDir;
using sde_test::WriteWholeFile;

namespace {

// Header length of the sample: 3 fields.
constexpr size_t kHeader = 32 + 3 * 32 + 2;
constexpr size_t kRecord = 1 + 6 + 5 + 10;

void CreateSample(const std::string& path, int records) {
    ASSERT_EQ(sx_CreateNew(path.c_str(), "SAMPLE", SX_SDENTX, 3), 1);
    ASSERT_EQ(sx_CreateField("NAME", "C", 6, 0), 1);
    ASSERT_EQ(sx_CreateField("NR", "N", 5, 0), 1);
    ASSERT_EQ(sx_CreateField("NOTIZ", "M", 10, 0), 1);
    ASSERT_EQ(sx_CreateExec(), 1) << sx_ErrorText();
    for (int i = 1; i <= records; ++i) {
        ASSERT_EQ(sx_AppendBlank(), 1);
        ASSERT_EQ(sx_Replace("NAME", ("n" + std::to_string(i)).c_str()), 1);
        ASSERT_EQ(sx_Replace("NR", std::to_string(i).c_str()), 1);
        std::string memo = "memo " + std::to_string(i);
        ASSERT_EQ(sx_PutMemo("NOTIZ", memo.c_str(), int(memo.size())), 1);
        ASSERT_EQ(sx_Commit(), 1);
    }
    ASSERT_EQ(sx_Close(), 1);
}

// Opens the file and expects a failure whose text names it and contains `what`.
void ExpectOpenFails(const std::string& path, const std::string& what) {
    int area = sx_UseEx(path.c_str(), "BROKEN", SX_SHARED, SX_SDENTX, 1);
    if (area >= 1) {
        sx_Close();
        FAIL() << "opened a damaged table";
    }
    std::string text = sx_ErrorText();
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_NE(text.find(what), std::string::npos) << text;
}

void Patch(const std::string& path, size_t offset, const std::string& bytes) {
    std::string data = ReadWholeFile(path);
    data.replace(offset, bytes.size(), bytes);
    WriteWholeFile(path, data);
}

TEST(DamageTest, HeaderValuesThatDoNotFitTheFileAreRefused) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path, 3);
    std::string good = ReadWholeFile(path);

    WriteWholeFile(path, good.substr(0, kHeader + 2 * kRecord + 5));  // data cut off
    ExpectOpenFails(path, "records");

    WriteWholeFile(path, good);
    Patch(path, 4, std::string("\x04\0\0\0", 4));  // one record more than the file holds
    ExpectOpenFails(path, "counts 4 records");

    WriteWholeFile(path, good);
    Patch(path, 4, std::string("\xFF\xFF\xFF\x7F", 4));
    ExpectOpenFails(path, "records");

    WriteWholeFile(path, good);
    Patch(path, 8, std::string("\xFF\x7F", 2));  // header length past the end
    ExpectOpenFails(path, "header length");

    WriteWholeFile(path, good);
    Patch(path, 8, std::string("\x10\0", 2));  // header length too small for a field
    ExpectOpenFails(path, "header length");

    WriteWholeFile(path, good);
    Patch(path, 10, std::string("\x30\0", 2));  // record length not the sum of the widths
    ExpectOpenFails(path, "record length");

    WriteWholeFile(path, good);
    Patch(path, 32 + 32 + 16, std::string("\x09", 1));  // field width changed
    ExpectOpenFails(path, "record length");

    WriteWholeFile(path, good);
    Patch(path, 32 + 64 + 16, std::string("\x04", 1));  // memo 4 wide, record length to match
    Patch(path, 10, std::string(1, char(kRecord - 6)));
    ExpectOpenFails(path, "memo");

    WriteWholeFile(path, good.substr(0, 20));
    ExpectOpenFails(path, "shorter");

    WriteWholeFile(path, good);
    std::remove(dir.File("SAMPLE.DBT").c_str());
    ExpectOpenFails(dir.File("SAMPLE.DBT"), "does not exist");
}

TEST(DamageTest, BrokenMemosGiveErrorsNamingTheMemoFile) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    std::string memo = dir.File("SAMPLE.DBT");
    CreateSample(path, 3);
    // Record 1 points past the end, record 2 at garbage, record 3's memo loses its end mark.
    Patch(path, kHeader + 1 + 6 + 5, "      9999");
    Patch(path, kHeader + kRecord + 1 + 6 + 5, "   12ab   ");
    std::string dbt = ReadWholeFile(memo);
    WriteWholeFile(memo, dbt.substr(0, 3 * 512 + 6));  // "memo 3" without 0x1A

    ASSERT_GE(sx_UseEx(path.c_str(), "BROKEN", SX_SHARED, SX_SDENTX, 1), 1) << sx_ErrorText();
    char buf[64];
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(sx_GetString("NOTIZ", buf, sizeof buf), -1);
    EXPECT_NE(std::string(sx_ErrorText()).find(memo), std::string::npos) << sx_ErrorText();
    EXPECT_NE(std::string(sx_ErrorText()).find("past the end"), std::string::npos);
    EXPECT_EQ(sx_GetString("NAME", buf, sizeof buf), 6);  // the rest of the record reads
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_GetMemo("NOTIZ", buf, sizeof buf), -1);
    EXPECT_NE(std::string(sx_ErrorText()).find(path), std::string::npos) << sx_ErrorText();
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_GetMemo("NOTIZ", buf, sizeof buf), -1);
    EXPECT_NE(std::string(sx_ErrorText()).find("no end mark"), std::string::npos) << sx_ErrorText();
    // A memo header whose next free block lies far past the end is not written through.
    std::string header = ReadWholeFile(memo);
    header.replace(0, 4, std::string("\xF0\xFF\xFF\x0F", 4));
    WriteWholeFile(memo, header);
    EXPECT_EQ(sx_PutMemo("NOTIZ", "neu", 3), 0);
    EXPECT_NE(std::string(sx_ErrorText()).find("next free block"), std::string::npos)
        << sx_ErrorText();
    EXPECT_EQ(ReadWholeFile(memo).size(), header.size());
    // Copying the table stops at the first broken memo and leaves no target.
    EXPECT_EQ(sx_CopyFile(dir.File("COPY.DBF").c_str()), 0);
    EXPECT_EQ(ReadWholeFile(dir.File("COPY.DBF")), "");
    ASSERT_EQ(sx_Close(), 1);
}

TEST(DamageTest, RandomlyDamagedHeadersNeverCrash) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path, 4);
    std::string good = ReadWholeFile(path);
    std::string good_memo = ReadWholeFile(dir.File("SAMPLE.DBT"));
    std::mt19937 rng(4711);
    int opened = 0;
    for (int round = 0; round < 200; ++round) {
        std::string bad = good;
        std::string bad_memo = good_memo;
        for (int flips = 0; flips < 3; ++flips) {
            bad[rng() % kHeader] = char(rng());
            bad_memo[rng() % bad_memo.size()] = char(rng() % 4 == 0 ? 0x1A : rng());
        }
        if (rng() % 3 == 0) bad.resize(rng() % bad.size());
        WriteWholeFile(path, bad);
        WriteWholeFile(dir.File("SAMPLE.DBT"), bad_memo);
        int area = sx_UseEx(path.c_str(), "FUZZ", SX_READONLY, SX_SDENTX, 1);
        if (area < 1) {
            EXPECT_NE(std::string(sx_ErrorText()).find("SAMPLE.DB"), std::string::npos)
                << sx_ErrorText();
            continue;
        }
        ++opened;
        char buf[600];
        int steps = 0;
        for (sx_GoTop(); !sx_Eof() && steps < 100; sx_Skip(1), ++steps) {
            for (int i = 1; i <= sx_FieldCount(); ++i) {
                sx_FieldName(i, buf, sizeof buf);
                sx_GetString(buf, buf, sizeof buf);
            }
        }
        EXPECT_LT(steps, 100);
        sx_Close();
    }
    EXPECT_GT(opened, 0);
}

// Appends under a file system that fails after `budget` writes; returns how
// many records were committed successfully.
int AppendUntilFailure(const std::string& path, long budget) {
    sde::FaultyEnv faulty(sde::DefaultEnv(), budget);
    sde::SetCurrentEnv(&faulty);
    int committed = 0;
    if (sx_UseEx(path.c_str(), "FAULTY", SX_SHARED, SX_SDENTX, SX_COMMIT_FULL) >= 1) {
        for (int i = 0; i < 10; ++i) {
            if (sx_AppendBlank() != 1) break;
            std::string memo = "text " + std::to_string(i);
            if (sx_Replace("NAME", "neu") != 1 || sx_Replace("NR", "77") != 1 ||
                sx_PutMemo("NOTIZ", memo.c_str(), int(memo.size())) != 1 || sx_Commit() != 1)
                break;
            sx_Unlock(0);
            ++committed;
        }
        if (sx_Go(1) == 1 && sx_Replace("NAME", "anders") == 1) sx_Commit();
        sx_Close();
    }
    sde::SetCurrentEnv(nullptr);
    return committed;
}

TEST(DamageTest, FailingWritesLeaveTheTableReadable) {
    TempDir dir;
    std::string path = dir.File("SAMPLE.DBF");
    CreateSample(path, 2);
    std::string good = ReadWholeFile(path);
    std::string good_memo = ReadWholeFile(dir.File("SAMPLE.DBT"));
    for (long budget = 0; budget < 60; ++budget) {
        WriteWholeFile(path, good);
        WriteWholeFile(dir.File("SAMPLE.DBT"), good_memo);
        int committed = AppendUntilFailure(path, budget);
        ASSERT_GE(sx_UseEx(path.c_str(), "AFTER", SX_EXCLUSIVE, SX_SDENTX, 1), 1)
            << "budget " << budget << ": " << sx_ErrorText();
        long count = sx_RecCount();
        EXPECT_GE(count, 2 + committed) << "budget " << budget;
        EXPECT_LE(count, 2 + committed + 1) << "budget " << budget;
        char nr[16], memo[64];
        for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) {
            ASSERT_GE(sx_GetString("NR", nr, sizeof nr), 0);
            long recno = sx_RecNo();
            if (recno <= 2 + committed) {
                EXPECT_EQ(atoi(nr), recno <= 2 ? int(recno) : 77) << "budget " << budget;
                EXPECT_GE(sx_GetMemo("NOTIZ", memo, sizeof memo), 4)
                    << "budget " << budget << " record " << recno << ": " << sx_ErrorText();
            }
        }
        ASSERT_EQ(sx_Close(), 1);
        if (budget == 59) {
            EXPECT_EQ(committed, 10);
        }
    }
}

}  // namespace
