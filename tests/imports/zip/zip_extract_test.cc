// Extraction into a base directory: what is written where, and what is
// never written.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <set>

#include "common/file_names.h"
#include "imports/zip_components.h"
#include "tests/imports/zip/zip_builder.h"
#include "tests/imports/zip/zip_test_support.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

// While set, fchmod() and futimens() fail as on a file system that keeps no
// Unix permissions or times.
bool refuse_attributes = false;

}  // namespace
}  // namespace zer1

// The extraction calls these through the C library; this program's own
// definitions stand in for them.
extern "C" int fchmod(int fd, mode_t mode) noexcept {
    if (zer1::refuse_attributes) {
        errno = EPERM;
        return -1;
    }
    return int(::syscall(SYS_fchmod, fd, mode));
}

// The time pair has the type of a file status's modification time.
extern "C" int futimens(int fd, const decltype(stat::st_mtim) times[2]) noexcept {
    if (zer1::refuse_attributes) {
        errno = EPERM;
        return -1;
    }
    return int(::syscall(SYS_utimensat, fd, nullptr, times, 0));
}

namespace zer1 {
namespace {

using testing::BuildZip;
using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using testing::ZipEntry;

std::set<std::string> Entries(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The archive lies in its own folder beside the output folder, so that the
// tests can see that nothing lands outside the output folder.
class ZipExtractTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(root_ / "in");
        std::filesystem::create_directory(root_ / "out");
    }
    std::string Out() const { return root_ / "out/"; }
    void Open(const std::vector<ZipEntry>& entries) {
        WriteFile(root_ / "in/archive.zip", BuildZip(entries));
        unzipper_.SetFileName(root_ / "in/archive.zip");
        unzipper_.SetBaseDirectory(Out());
    }
    TempDir root_;
    TAbUnZipper unzipper_;
};

TEST_F(ZipExtractTest, WritesOnlyTheMatchingMembersUnderTheirFileNames) {
    ZipEntry stored{"Lieferung/ARTIKEL.TXT", "stored"};
    stored.method = 0;
    Open({stored, {"Lieferung/preise.csv", "deflated"}, {"liesmich.txt", "readme"}});
    unzipper_.ExtractFiles("artikel.txt");
    EXPECT_EQ(Entries(Out()), (std::set<std::string>{"ARTIKEL.TXT"}));
    EXPECT_EQ(ReadFile(Out() + "ARTIKEL.TXT"), "stored");

    unzipper_.ExtractFiles("*.CSV; liesmich.*");
    EXPECT_EQ(Entries(Out()), (std::set<std::string>{"ARTIKEL.TXT", "preise.csv", "liesmich.txt"}));
    EXPECT_EQ(ReadFile(Out() + "preise.csv"), "deflated");

    unzipper_.ExtractFiles("nothing.txt");  // no match: nothing, and no error
    EXPECT_EQ(Entries(Out()).size(), 3u);
    EXPECT_EQ(Entries(root_ / "in"), (std::set<std::string>{"archive.zip"}));
}

TEST_F(ZipExtractTest, SameFileNameInTwoFoldersLaterMemberWins) {
    Open({{"a/daten.txt", "first"}, {"b/DATEN.TXT", "second"}});
    unzipper_.ExtractFiles("daten.txt");
    // The second member replaces the first under the name already on disk.
    EXPECT_EQ(Entries(Out()), (std::set<std::string>{"daten.txt"}));
    EXPECT_EQ(ReadFile(Out() + "daten.txt"), "second");
}

TEST_F(ZipExtractTest, ExistingFileIsReplaced) {
    WriteFile(Out() + "artikel.txt", "old contents that are longer");
    Open({{"artikel.txt", "new"}});
    unzipper_.ExtractFiles("artikel.txt");
    EXPECT_EQ(ReadFile(Out() + "artikel.txt"), "new");
}

TEST_F(ZipExtractTest, FailedExtractionLeavesTheOldFileAndNoTemporaryFile) {
    WriteFile(Out() + "artikel.txt", "old");
    ZipEntry wrong_crc{"artikel.txt", "new data"};
    wrong_crc.crc = 1;
    ZipEntry oversized{"other.txt", std::string(100000, 'x')};
    oversized.declared_size = 10;
    Open({wrong_crc, oversized});
    EXPECT_ZIP_ERROR(unzipper_.ExtractFiles("artikel.txt"), "Failed CRC Check");
    EXPECT_ZIP_ERROR(unzipper_.ExtractFiles("other.txt"), "Invalid file - not a PKZip file");
    EXPECT_EQ(Entries(Out()), (std::set<std::string>{"artikel.txt"}));
    EXPECT_EQ(ReadFile(Out() + "artikel.txt"), "old");
}

TEST_F(ZipExtractTest, EncryptedAndUnsupportedMembersRaiseTheirTexts) {
    ZipEntry encrypted{"secret.txt", "xxxx"};
    encrypted.encrypted = true;
    ZipEntry deflate64{"d64.txt", "yyyy"};
    deflate64.method = 9;
    Open({encrypted, deflate64});
    EXPECT_ZIP_ERROR(unzipper_.ExtractFiles("secret.txt"),
                     "Cannot extract file - invalid password");
    EXPECT_ZIP_ERROR(unzipper_.ExtractFiles("d64.txt"),
                     "Cannot extract file - unsupported compression method");
    EXPECT_TRUE(Entries(Out()).empty());
}

TEST_F(ZipExtractTest, NamesCannotEscapeTheBaseDirectory) {
    ZipEntry folder{"sub/", ""};
    folder.method = 0;
    ZipEntry dot_dot{"..", "not a file name"};
    Open({{"../escape.txt", "1"},
          {"../../deeper.txt", "2"},
          {"..\\..\\back.txt", "3"},
          {root_ / "absolute.txt", "4"},
          {"C:\\Windows\\win.ini", "5"},
          folder,
          dot_dot});
    unzipper_.ExtractFiles("*");
    EXPECT_EQ(Entries(Out()), (std::set<std::string>{"escape.txt", "deeper.txt", "back.txt",
                                                     "absolute.txt", "win.ini"}));
    EXPECT_EQ(ReadFile(Out() + "absolute.txt"), "4");
    EXPECT_EQ(Entries(root_.path()), (std::set<std::string>{"in", "out"}));
    EXPECT_EQ(Entries(root_ / "in"), (std::set<std::string>{"archive.zip"}));
}

TEST_F(ZipExtractTest, SymbolicLinkAtTheTargetIsReplacedNotFollowed) {
    WriteFile(root_ / "in/victim.txt", "must stay");
    ASSERT_EQ(::symlink((root_ / "in/victim.txt").c_str(), (Out() + "artikel.txt").c_str()), 0);
    Open({{"artikel.txt", "extracted"}});
    unzipper_.ExtractFiles("artikel.txt");
    struct stat st;
    ASSERT_EQ(::lstat((Out() + "artikel.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadFile(Out() + "artikel.txt"), "extracted");
    EXPECT_EQ(ReadFile(root_ / "in/victim.txt"), "must stay");
}

TEST_F(ZipExtractTest, FolderAtTheTargetIsAnErrorAndStaysAsItIs) {
    std::filesystem::create_directory(Out() + "artikel.txt");
    Open({{"artikel.txt", "x"}});
    EXPECT_THROW(unzipper_.ExtractFiles("artikel.txt"), Error);
    EXPECT_TRUE(DirectoryExists(Out() + "artikel.txt"));
    EXPECT_EQ(Entries(Out()), (std::set<std::string>{"artikel.txt"}));
}

TEST_F(ZipExtractTest, ModificationTimeAndPermissionsComeFromTheArchive) {
    ZipEntry unix_executable{"tool.sh", "#!/bin/sh\n"};
    unix_executable.version_made_by = (3 << 8) | 30;
    unix_executable.external_attributes = uint32_t(0104755) << 16;  // setuid, rwxr-xr-x
    ZipEntry read_only{"readonly.txt", "r"};
    read_only.external_attributes = 0x01;
    ZipEntry plain{"plain.txt", "p"};
    Open({unix_executable, read_only, plain});
    unzipper_.ExtractFiles("*");

    const unsigned mask = CurrentUmask();
    struct stat st;
    ASSERT_EQ(::stat((Out() + "tool.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u & ~mask);  // no execute, no setuid
    ASSERT_EQ(::stat((Out() + "readonly.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u & ~mask);
    ASSERT_EQ(::stat((Out() + "plain.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);

    std::tm expected{};
    expected.tm_year = 2024 - 1900;
    expected.tm_mon = 2;
    expected.tm_mday = 15;
    expected.tm_hour = 13;
    expected.tm_min = 45;
    expected.tm_sec = 20;
    expected.tm_isdst = -1;
    EXPECT_EQ(st.st_mtime, std::mktime(&expected));
}

TEST_F(ZipExtractTest, MemberIsExtractedWhereTimeAndPermissionsCannotBeSet) {
    Open({{"artikel.txt", "daten"}});
    refuse_attributes = true;
    struct Restore {
        ~Restore() { refuse_attributes = false; }
    } restore;
    unzipper_.ExtractFiles("artikel.txt");
    refuse_attributes = false;
    EXPECT_EQ(Entries(Out()), (std::set<std::string>{"artikel.txt"}));
    EXPECT_EQ(ReadFile(Out() + "artikel.txt"), "daten");
}

// Archives at the limits of the format, made here: 100,000 stored members
// (a ZIP64 end record, as the 16-bit count cannot hold them), and a name of
// 65,535 bytes, the most a header holds, which no file system takes.
TEST_F(ZipExtractTest, HundredThousandMembersAndTheLongestNameAreListedAndHandled) {
    std::vector<ZipEntry> entries;
    for (int i = 0; i < 100000; ++i) {
        ZipEntry entry{"d/m" + std::to_string(i) + ".txt", std::to_string(i)};
        entry.method = 0;
        entries.push_back(std::move(entry));
    }
    const std::string long_name = std::string(65531, 'n') + ".txt";
    entries.push_back({long_name, "lang"});
    testing::ZipOptions zip64;
    zip64.zip64_end = true;
    WriteFile(root_ / "in/archive.zip", BuildZip(entries, zip64));

    TAbZipper lister;
    lister.SetFileName(root_ / "in/archive.zip");
    ASSERT_EQ(lister.Count(), 100001);
    EXPECT_EQ(lister.MemberName(0), "d/m0.txt");
    EXPECT_EQ(lister.MemberName(99999), "d/m99999.txt");
    EXPECT_EQ(lister.MemberName(100000), long_name);

    unzipper_.SetFileName(root_ / "in/archive.zip");
    unzipper_.SetBaseDirectory(Out());
    unzipper_.ExtractFiles("d/m99999.txt");
    EXPECT_EQ(ReadFile(Out() + "m99999.txt"), "99999");
    EXPECT_ZIP_ERROR(unzipper_.ExtractFiles(long_name), "Cannot create file " + Out() + long_name);
    EXPECT_EQ(Entries(Out()), (std::set<std::string>{"m99999.txt"}));
}

TEST_F(ZipExtractTest, BaseDirectoryMustExist) {
    TAbUnZipper unzipper;
    EXPECT_ZIP_ERROR(unzipper.SetBaseDirectory(root_ / "fehlt/"), "Directory does not exist");
    unzipper.SetBaseDirectory(Out());
    EXPECT_EQ(unzipper.BaseDirectory(), root_ / "out");  // trailing separator dropped
    unzipper.SetBaseDirectory("/");
    EXPECT_EQ(unzipper.BaseDirectory(), "/");

    std::filesystem::create_directory(root_ / "gone");
    WriteFile(root_ / "in/archive.zip", BuildZip({{"a.txt", "a"}}));
    unzipper.SetFileName(root_ / "in/archive.zip");
    unzipper.SetBaseDirectory(root_ / "gone");
    std::filesystem::remove(root_ / "gone");
    EXPECT_ZIP_ERROR(unzipper.ExtractFiles("a.txt"), "Directory does not exist");
}

TEST_F(ZipExtractTest, BaseDirectoryFoundWhateverItsCase) {
    WriteFile(root_ / "in/archive.zip", BuildZip({{"a.txt", "a"}}));
    unzipper_.SetFileName(root_ / "in/archive.zip");
    unzipper_.SetBaseDirectory(root_ / "OUT/");
    unzipper_.ExtractFiles("a.txt");
    EXPECT_EQ(ReadFile(Out() + "a.txt"), "a");
}

TEST_F(ZipExtractTest, MissingArchiveFileMeansNoArchive) {
    TAbUnZipper unzipper;
    EXPECT_ZIP_ERROR(unzipper.ExtractFiles("*"), "Archive does not exist - FileName is blank");
    unzipper.SetFileName(root_ / "in/missing.zip");
    unzipper.SetBaseDirectory(Out());
    EXPECT_ZIP_ERROR(unzipper.ExtractFiles("*"), "Archive does not exist - FileName is blank");
    WriteFile(root_ / "in/text.zip", "no archive");
    EXPECT_ZIP_ERROR(unzipper.SetFileName(root_ / "in/text.zip"), "Unhandled Archive Type");
    EXPECT_ZIP_ERROR(unzipper.ExtractFiles("*"), "Archive does not exist - FileName is blank");
}

TEST_F(ZipExtractTest, ZeroMembersExtractNothing) {
    Open({});
    unzipper_.ExtractFiles("*");
    EXPECT_TRUE(Entries(Out()).empty());
}

}  // namespace
}  // namespace zer1
