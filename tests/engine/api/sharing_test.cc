// Sharing a table with other processes: open modes exclude each other as
// flock dictates, appends of another process are seen, concurrent appends
// lose nothing, record locks sit on the agreed bytes, and a writer killed
// mid-run leaves every record it committed.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "sde61.h"
#include "test_util.h"

using sde_test::RunInChild;
using sde_test::TempDir;

namespace {

constexpr long kLockBase = 1000000000L;

void CreateTable(const std::string& path) {
    ASSERT_EQ(sx_CreateNew(path.c_str(), "SHARE", SX_SDENTX, 3), 1);
    ASSERT_EQ(sx_CreateField("WHO", "C", 2, 0), 1);
    ASSERT_EQ(sx_CreateField("NR", "N", 8, 0), 1);
    ASSERT_EQ(sx_CreateField("NOTIZ", "M", 10, 0), 1);
    ASSERT_EQ(sx_CreateExec(), 1) << sx_ErrorText();
    ASSERT_EQ(sx_Close(), 1);
}

int Open(const std::string& path, int mode, const char* alias) {
    return sx_UseEx(path.c_str(), alias, mode, SX_SDENTX, SX_COMMIT_NORMAL);
}

// The caller's form of a record: flag, WHO (2), NR (8), memo pointer (10).
std::string RecordBytes(const char* who, const std::string& nr) {
    char buf[32];
    snprintf(buf, sizeof buf, " %-2s%8s%10s", who, nr.c_str(), "");
    return std::string(buf, 21);
}

// Appends count records WHO=who, NR=1..count, blank first and then filled,
// or whole in one call; 0 when all went well.
int AppendRecords(const std::string& path, const char* who, int count, int write_fd = -1,
                  bool whole = false) {
    if (Open(path, SX_SHARED, "WRITER") < 1) return 10;
    for (int i = 1; i <= count; ++i) {
        if (whole) {
            std::string rec = RecordBytes(who, std::to_string(i));
            if (sx_AppendRecord(rec.data(), int(rec.size())) != 1) return 18;
        } else {
            if (sx_AppendBlank() != 1) return 11;
            if (sx_Replace("WHO", who) != 1) return 12;
            if (sx_Replace("NR", std::to_string(i).c_str()) != 1) return 13;
        }
        if (sx_Commit() != 1) return 14;
        if (sx_Unlock(0) != 1) return 15;
        if (write_fd >= 0 && write(write_fd, &i, sizeof i) != sizeof i) return 16;
    }
    return sx_Close() == 1 ? 0 : 17;
}

// Who holds a POSIX write lock on one byte, as another process sees it: its pid or 0.
pid_t LockHolder(const std::string& path, off_t offset) {
    int fd = open(path.c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = 1;
    fcntl(fd, F_GETLK, &fl);
    close(fd);
    return fl.l_type == F_UNLCK ? 0 : fl.l_pid;
}

TEST(SharingTest, ExclusiveAndSharedOpensExcludeEachOtherAcrossProcesses) {
    TempDir dir;
    std::string path = dir.File("SHARE.DBF");
    CreateTable(path);
    ASSERT_GE(Open(path, SX_EXCLUSIVE, "MINE"), 1);
    EXPECT_NE(RunInChild([&] { return Open(path, SX_SHARED, "OTHER") >= 1 ? 0 : 1; }), 0);
    EXPECT_NE(RunInChild([&] { return Open(path, SX_READONLY, "OTHER") >= 1 ? 0 : 1; }), 0);
    // The memo file is held exclusively as well.
    EXPECT_NE(RunInChild([&] {
                  int fd = open((dir.File("SHARE.DBT")).c_str(), O_RDONLY);
                  return flock(fd, LOCK_SH | LOCK_NB) == 0 ? 0 : 1;
              }),
              0);
    ASSERT_EQ(sx_Close(), 1);

    ASSERT_GE(Open(path, SX_SHARED, "MINE"), 1);
    EXPECT_NE(RunInChild([&] { return Open(path, SX_EXCLUSIVE, "OTHER") >= 1 ? 0 : 1; }), 0);
    EXPECT_EQ(RunInChild([&] { return Open(path, SX_SHARED, "OTHER") >= 1 ? 0 : 1; }), 0);
    ASSERT_EQ(sx_Close(), 1);
    EXPECT_EQ(RunInChild([&] { return Open(path, SX_EXCLUSIVE, "OTHER") >= 1 ? 0 : 1; }), 0);
}

TEST(SharingTest, RecordsAppendedByAnotherProcessAreSeen) {
    TempDir dir;
    std::string path = dir.File("SHARE.DBF");
    CreateTable(path);
    ASSERT_GE(Open(path, SX_SHARED, "READER"), 1);
    EXPECT_EQ(sx_RecCount(), 0);
    ASSERT_EQ(sx_GoTop(), 1);
    EXPECT_EQ(sx_Eof(), 1);
    ASSERT_EQ(RunInChild([&] { return AppendRecords(path, "C", 3); }), 0);
    EXPECT_EQ(sx_RecCount(), 3);
    ASSERT_EQ(sx_GoTop(), 1);
    int seen = 0;
    for (; !sx_Eof(); sx_Skip(1)) ++seen;
    EXPECT_EQ(seen, 3);
    // Skipping from the last record finds records appended meanwhile.
    ASSERT_EQ(sx_GoBottom(), 1);
    ASSERT_EQ(RunInChild([&] { return AppendRecords(path, "D", 1); }), 0);
    ASSERT_EQ(sx_Skip(1), 1);
    EXPECT_EQ(sx_Eof(), 0);
    EXPECT_EQ(sx_RecNo(), 4);
    ASSERT_EQ(sx_Close(), 1);
}

TEST(SharingTest, TwoProcessesAppendingAtOnceLoseNoRecord) {
    TempDir dir;
    std::string path = dir.File("SHARE.DBF");
    CreateTable(path);
    const int kEach = 1500;
    fflush(nullptr);
    pid_t a = fork();
    if (a == 0) _exit(AppendRecords(path, "A", kEach));
    pid_t b = fork();
    if (b == 0) _exit(AppendRecords(path, "B", kEach, -1, /*whole=*/true));
    int status_a = 0, status_b = 0;
    waitpid(a, &status_a, 0);
    waitpid(b, &status_b, 0);
    ASSERT_TRUE(WIFEXITED(status_a) && WEXITSTATUS(status_a) == 0) << status_a;
    ASSERT_TRUE(WIFEXITED(status_b) && WEXITSTATUS(status_b) == 0) << status_b;

    ASSERT_GE(Open(path, SX_READONLY, "CHECK"), 1);
    EXPECT_EQ(sx_RecCount(), 2 * kEach);
    std::set<std::string> seen;
    char who[8], nr[16];
    for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) {
        sx_GetString("WHO", who, sizeof who);
        sx_GetString("NR", nr, sizeof nr);
        EXPECT_TRUE(seen.insert(std::string(who) + nr).second) << who << nr;
    }
    EXPECT_EQ(seen.size(), size_t(2 * kEach));
    ASSERT_EQ(sx_Close(), 1);
    std::string bytes = sde_test::ReadWholeFile(path);
    EXPECT_GE(bytes.size(), size_t(32 + 3 * 32 + 2 + 2 * kEach * 21));
}

// A record appended whole is in the file complete and locked before its
// commit; one with a refused value appends nothing.
TEST(SharingTest, RecordAppendedWholeIsNeverSeenBlank) {
    TempDir dir;
    std::string path = dir.File("SHARE.DBF");
    CreateTable(path);
    ASSERT_GE(Open(path, SX_SHARED, "W"), 1);
    std::string rec = RecordBytes("AB", "42");
    ASSERT_EQ(sx_AppendRecord(rec.data(), int(rec.size())), 1) << sx_ErrorText();
    EXPECT_EQ(sx_RecNo(), 1);
    EXPECT_EQ(sde_test::Field("NR"), "      42");
    int seen = RunInChild([&] {
        if (Open(path, SX_SHARED, "R") < 1 || sx_RecCount() != 1 || sx_Go(1) != 1) return 1;
        if (sde_test::Field("WHO") != "AB" || sde_test::Field("NR") != "      42") return 2;
        return LockHolder(path, kLockBase + 1) == getppid() ? 0 : 3;
    });
    EXPECT_EQ(seen, 0);
    ASSERT_EQ(sx_Commit(), 1);
    ASSERT_EQ(sx_Unlock(0), 1);
    std::string bad = RecordBytes("CD", "12x4");
    EXPECT_EQ(sx_AppendRecord(bad.data(), int(bad.size())), 0);
    EXPECT_EQ(sx_AppendRecord(rec.data(), 5), 0);  // shorter than a record
    EXPECT_EQ(sx_RecCount(), 1);
    EXPECT_EQ(LockHolder(path, kLockBase), 0);
    ASSERT_EQ(sx_Close(), 1);
}

TEST(SharingTest, WrittenRecordStaysLockedOnItsByteUntilUnlock) {
    TempDir dir;
    std::string path = dir.File("SHARE.DBF");
    CreateTable(path);
    int to_child[2], to_parent[2];
    ASSERT_EQ(pipe(to_child), 0);
    ASSERT_EQ(pipe(to_parent), 0);
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        char c;
        if (Open(path, SX_SHARED, "CHILD") < 1) _exit(1);
        if (sx_AppendBlank() != 1 || sx_Replace("NR", "7") != 1 || sx_Commit() != 1) _exit(2);
        if (write(to_parent[1], "a", 1) != 1) _exit(3);  // record 1 written, still locked
        if (read(to_child[0], &c, 1) != 1) _exit(4);
        if (sx_Unlock(0) != 1) _exit(5);
        if (write(to_parent[1], "b", 1) != 1) _exit(6);
        if (read(to_child[0], &c, 1) != 1) _exit(7);
        _exit(sx_Close() == 1 ? 0 : 8);
    }
    char c;
    ASSERT_EQ(read(to_parent[0], &c, 1), 1);
    EXPECT_EQ(LockHolder(path, kLockBase + 1), child);
    EXPECT_EQ(LockHolder(path, kLockBase), 0);  // the header lock is released after the append
    ASSERT_GE(Open(path, SX_SHARED, "PARENT"), 1);
    ASSERT_EQ(sx_GoTop(), 1);
    ASSERT_EQ(sx_Replace("NR", "8"), 1);
    EXPECT_EQ(sx_Commit(), 0);  // the child holds the record
    EXPECT_NE(std::string(sx_ErrorText()).find("locked"), std::string::npos);
    ASSERT_EQ(write(to_child[1], "x", 1), 1);
    ASSERT_EQ(read(to_parent[0], &c, 1), 1);
    EXPECT_EQ(LockHolder(path, kLockBase + 1), 0);
    ASSERT_EQ(sx_Replace("NR", "8"), 1);
    EXPECT_EQ(sx_Commit(), 1) << sx_ErrorText();
    // Now this process holds the lock; the child sees it as another user's.
    EXPECT_EQ(RunInChild([&] { return LockHolder(path, kLockBase + 1) == getppid() ? 0 : 1; }), 0);
    ASSERT_EQ(sx_Unlock(0), 1);
    ASSERT_EQ(write(to_child[1], "y", 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(sx_Close(), 1);
    for (int fd : {to_child[0], to_child[1], to_parent[0], to_parent[1]}) close(fd);
}

TEST(SharingTest, MemoWritesOfTwoProcessesDoNotOverlap) {
    TempDir dir;
    std::string path = dir.File("SHARE.DBF");
    CreateTable(path);
    auto writer = [&](const char* who) {
        if (Open(path, SX_SHARED, "W") < 1) return 1;
        std::string text(600, who[0]);
        for (int i = 0; i < 200; ++i) {
            if (sx_AppendBlank() != 1 || sx_Replace("WHO", who) != 1) return 2;
            if (sx_PutMemo("NOTIZ", text.c_str(), int(text.size())) != 1) return 3;
            if (sx_Commit() != 1 || sx_Unlock(0) != 1) return 4;
        }
        return sx_Close() == 1 ? 0 : 5;
    };
    fflush(nullptr);
    pid_t a = fork();
    if (a == 0) _exit(writer("A"));
    pid_t b = fork();
    if (b == 0) _exit(writer("B"));
    int sa = 0, sb = 0;
    waitpid(a, &sa, 0);
    waitpid(b, &sb, 0);
    ASSERT_EQ(sa, 0);
    ASSERT_EQ(sb, 0);
    ASSERT_GE(Open(path, SX_READONLY, "CHECK"), 1);
    EXPECT_EQ(sx_RecCount(), 400);
    char who[4];
    std::string memo(700, '\0');
    for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) {
        sx_GetString("WHO", who, sizeof who);
        ASSERT_EQ(sx_GetMemo("NOTIZ", memo.data(), int(memo.size())), 600);
        EXPECT_EQ(std::string(memo.c_str()), std::string(600, who[0]));
    }
    ASSERT_EQ(sx_Close(), 1);
}

TEST(SharingTest, KilledWriterLeavesEveryCommittedRecord) {
    TempDir dir;
    std::string path = dir.File("SHARE.DBF");
    CreateTable(path);
    for (int mode : {SX_SHARED, SX_EXCLUSIVE}) {
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        fflush(nullptr);
        pid_t child = fork();
        if (child == 0) {
            close(progress[0]);
            if (Open(path, mode, "KILLME") < 1) _exit(1);
            for (int i = 1;; ++i) {
                if (sx_AppendBlank() != 1 || sx_Replace("NR", std::to_string(i).c_str()) != 1 ||
                    sx_Commit() != 1 || sx_Unlock(0) != 1)
                    _exit(2);
                if (write(progress[1], &i, sizeof i) != sizeof i) _exit(3);
                // An uncommitted change follows every committed record.
                if (sx_AppendBlank() != 1 || sx_Replace("NR", "-1") != 1) _exit(4);
                if (sx_Delete() != 1) _exit(5);
                sx_Go(1);
                sx_Go(sx_RecCount());  // written on leaving, then changed again below
                sx_Recall();
            }
        }
        close(progress[1]);
        int committed = 0, n = 0;
        while (committed < 2000 && read(progress[0], &n, sizeof n) == sizeof n) committed = n;
        kill(child, SIGKILL);
        while (read(progress[0], &n, sizeof n) == sizeof n) committed = n;
        close(progress[0]);
        waitpid(child, nullptr, 0);
        ASSERT_GE(committed, 2000);

        ASSERT_GE(Open(path, SX_EXCLUSIVE, "AFTER"), 1) << sx_ErrorText();
        long count = sx_RecCount();
        EXPECT_GE(count, 2 * committed - 1);
        int next = 1;
        char nr[16];
        for (sx_GoTop(); !sx_Eof(); sx_Skip(1)) {
            sx_GetString("NR", nr, sizeof nr);
            if (atoi(nr) > 0) {
                EXPECT_EQ(atoi(nr), next) << "record " << sx_RecNo();
                ++next;
            }
        }
        EXPECT_GE(next - 1, committed);
        ASSERT_EQ(sx_Zap(), 1);
        ASSERT_EQ(sx_Close(), 1);
    }
}

}  // namespace
