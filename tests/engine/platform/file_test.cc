// The file layer: shared descriptors, open-mode and range locks between
// processes and between handles of one process, case-insensitive names and the
// fault-injecting Env.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "faulty_env.h"
#include "platform/file.h"
#include "sde61.h"
#include "test_util.h"

using sde::CurrentEnv;
using sde::FileAccess;
using sde::LockWait;
using sde::OpenLock;
using sde::RangeLock;
using sde_test::RunInChild;
using sde_test::TempDir;

namespace {

// In a child: 0 when a non-blocking flock of that kind succeeds on a fresh descriptor.
int ChildFlock(const std::string& path, int kind) {
    return RunInChild([&] {
        int fd = open(path.c_str(), O_RDWR);
        return flock(fd, kind | LOCK_NB) == 0 ? 0 : 1;
    });
}

// In a child: 0 when a write lock on the byte at offset can be taken.
int ChildByteLock(const std::string& path, off_t offset) {
    return RunInChild([&] {
        int fd = open(path.c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = offset;
        fl.l_len = 1;
        return fcntl(fd, F_SETLK, &fl) == 0 ? 0 : 1;
    });
}

TEST(FileTest, ReadWriteSizeTruncate) {
    TempDir dir;
    auto f = CurrentEnv()->Create(dir.File("a.bin"));
    ASSERT_TRUE(f.ok());
    ASSERT_TRUE((*f)->WriteAt(10, "hello", 5).ok());
    EXPECT_EQ((*f)->Size().value(), 15u);
    char buf[8] = {};
    size_t got = 0;
    ASSERT_TRUE((*f)->ReadAt(12, buf, 8, &got).ok());
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::string(buf, 3), "llo");
    sde::Status s = (*f)->ReadExact(12, buf, 8);
    EXPECT_EQ(s.code(), sde::Status::Code::kCorruption);
    EXPECT_NE(s.message().find("a.bin"), std::string::npos);
    ASSERT_TRUE((*f)->Truncate(4).ok());
    EXPECT_EQ((*f)->Size().value(), 4u);
}

TEST(FileTest, NamesResolveWithoutRegardToCaseExactFirst) {
    TempDir dir;
    sde_test::WriteWholeFile(dir.File("Table.DBF"), "x");
    EXPECT_TRUE(CurrentEnv()->Exists(dir.File("TABLE.dbf")));
    EXPECT_EQ(CurrentEnv()->Resolve(dir.File("table.dbf")), dir.File("Table.DBF"));
    sde_test::WriteWholeFile(dir.File("table.dbf"), "y");
    EXPECT_EQ(CurrentEnv()->Resolve(dir.File("table.dbf")), dir.File("table.dbf"));
    // Of several case variants the first in byte order, whatever the directory's order.
    sde_test::WriteWholeFile(dir.File("tABLE.DBF"), "z");
    EXPECT_EQ(CurrentEnv()->Resolve(dir.File("TABLE.DBF")), dir.File("Table.DBF"));
    ASSERT_TRUE(CurrentEnv()->Delete(dir.File("tABLE.DBF")).ok());
    EXPECT_EQ(CurrentEnv()->Resolve(dir.File("NONE.DBF")), dir.File("NONE.DBF"));
    ASSERT_TRUE(CurrentEnv()->Rename(dir.File("TABLE.DBF"), dir.File("other.dbf")).ok());
    EXPECT_TRUE(CurrentEnv()->Exists(dir.File("OTHER.DBF")));
    ASSERT_TRUE(CurrentEnv()->Delete(dir.File("Other.Dbf")).ok());
    EXPECT_FALSE(CurrentEnv()->Exists(dir.File("other.dbf")));
}

TEST(FileTest, OpenLocksConflictAcrossProcessesAndHandles) {
    TempDir dir;
    std::string path = dir.File("t.dbf");
    sde_test::WriteWholeFile(path, "data");
    auto a = CurrentEnv()->Open(path, FileAccess::kReadWrite);
    auto b = CurrentEnv()->Open(path, FileAccess::kReadWrite);
    ASSERT_TRUE(a.ok() && b.ok());
    ASSERT_TRUE((*a)->SetOpenLock(OpenLock::kShared).ok());
    ASSERT_TRUE((*b)->SetOpenLock(OpenLock::kShared).ok());
    EXPECT_EQ(ChildFlock(path, LOCK_SH), 0);
    EXPECT_NE(ChildFlock(path, LOCK_EX), 0);
    // Another handle of this process is open: exclusive use is refused.
    EXPECT_EQ((*a)->SetOpenLock(OpenLock::kExclusive).code(), sde::Status::Code::kLocked);
    b->reset();
    ASSERT_TRUE((*a)->SetOpenLock(OpenLock::kExclusive).ok());
    EXPECT_NE(ChildFlock(path, LOCK_SH), 0);
    auto c = CurrentEnv()->Open(path, FileAccess::kReadOnly);
    ASSERT_TRUE(c.ok());
    EXPECT_EQ((*c)->SetOpenLock(OpenLock::kShared).code(), sde::Status::Code::kLocked);
    c->reset();
    ASSERT_TRUE((*a)->SetOpenLock(OpenLock::kNone).ok());
    EXPECT_EQ(ChildFlock(path, LOCK_EX), 0);
}

TEST(FileTest, ExclusiveOpenLockFailsWhileAnotherProcessHoldsTheFile) {
    TempDir dir;
    std::string path = dir.File("t.dbf");
    sde_test::WriteWholeFile(path, "data");
    int fd = open(path.c_str(), O_RDWR);
    ASSERT_EQ(flock(fd, LOCK_SH), 0);
    auto a = CurrentEnv()->Open(path, FileAccess::kReadWrite);
    ASSERT_TRUE(a.ok());
    EXPECT_EQ((*a)->SetOpenLock(OpenLock::kExclusive).code(), sde::Status::Code::kLocked);
    EXPECT_TRUE((*a)->SetOpenLock(OpenLock::kShared).ok());
    close(fd);
}

TEST(FileTest, RangeLocksSurviveClosingAnotherHandleOfTheFile) {
    TempDir dir;
    std::string path = dir.File("t.dbf");
    sde_test::WriteWholeFile(path, "data");
    auto a = CurrentEnv()->Open(path, FileAccess::kReadWrite);
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE((*a)->LockRange(1000000005, 1, RangeLock::kWrite, LockWait::kNoWait).ok());
    {
        auto b = CurrentEnv()->Open(path, FileAccess::kReadOnly);
        ASSERT_TRUE(b.ok());
        // The second handle sees the first one's lock like another user's.
        EXPECT_EQ((*b)->LockRange(1000000005, 1, RangeLock::kWrite, LockWait::kNoWait).code(),
                  sde::Status::Code::kLocked);
    }
    EXPECT_NE(ChildByteLock(path, 1000000005), 0);
    EXPECT_EQ(ChildByteLock(path, 1000000006), 0);
    ASSERT_TRUE((*a)->UnlockRange(1000000005, 1).ok());
    EXPECT_EQ(ChildByteLock(path, 1000000005), 0);
}

TEST(FileTest, UnlockKeepsWhatAnotherHandleStillHolds) {
    TempDir dir;
    std::string path = dir.File("t.dbf");
    sde_test::WriteWholeFile(path, "data");
    auto a = CurrentEnv()->Open(path, FileAccess::kReadWrite);
    auto b = CurrentEnv()->Open(path, FileAccess::kReadWrite);
    ASSERT_TRUE((*a)->LockRange(2000, 10, RangeLock::kRead, LockWait::kNoWait).ok());
    ASSERT_TRUE((*b)->LockRange(2005, 1, RangeLock::kRead, LockWait::kNoWait).ok());
    ASSERT_TRUE((*a)->UnlockRange(2000, 10).ok());
    EXPECT_EQ(ChildByteLock(path, 2004), 0);
    EXPECT_NE(ChildByteLock(path, 2005), 0);
    a->reset();
    EXPECT_NE(ChildByteLock(path, 2005), 0);
}

// Whether a file is in use comes from the engine's open handles and the
// system's lock table; asking opens no descriptor, so a record lock this
// process holds through a descriptor of its own (the host's) survives.
TEST(FileTest, InUseIsAnsweredWithoutOpeningTheFile) {
    TempDir dir;
    std::string path = dir.File("FOWISPR.NTX");
    EXPECT_EQ(sx_FileInUse(path.c_str()), 0);  // missing
    sde_test::WriteWholeFile(path, "index");
    EXPECT_EQ(sx_FileInUse(path.c_str()), 0);
    {
        auto handle = CurrentEnv()->Open(path, FileAccess::kReadOnly);  // no lock taken
        ASSERT_TRUE(handle.ok());
        EXPECT_EQ(sx_FileInUse(dir.File("fowispr.ntx").c_str()), 1);
    }
    int host = open(path.c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 1000000000;
    fl.l_len = 1;
    ASSERT_EQ(fcntl(host, F_SETLK, &fl), 0);
    EXPECT_EQ(sx_FileInUse(path.c_str()), 1);
    EXPECT_NE(ChildByteLock(path, 1000000000), 0);  // still held
    fl.l_type = F_UNLCK;
    ASSERT_EQ(fcntl(host, F_SETLK, &fl), 0);
    EXPECT_EQ(sx_FileInUse(path.c_str()), 0);
    ASSERT_EQ(flock(host, LOCK_SH), 0);
    EXPECT_EQ(sx_FileInUse(path.c_str()), 1);
    close(host);
    EXPECT_EQ(sx_FileInUse(path.c_str()), 0);
    EXPECT_EQ(sx_FileInUse(""), -1);
}

TEST(FileTest, FaultyEnvFailsAfterTheGivenNumberOfWrites) {
    TempDir dir;
    sde::FaultyEnv faulty(sde::DefaultEnv(), 3);
    auto f = faulty.Create(dir.File("f.bin"));  // the creation is one write
    ASSERT_TRUE(f.ok());
    EXPECT_TRUE((*f)->WriteAt(0, "a", 1).ok());
    EXPECT_TRUE((*f)->WriteAt(1, "b", 1).ok());
    EXPECT_EQ((*f)->WriteAt(2, "c", 1).code(), sde::Status::Code::kIOError);
    EXPECT_FALSE((*f)->Sync().ok());
    EXPECT_EQ(sde_test::ReadWholeFile(dir.File("f.bin")), "ab");
}

}  // namespace
