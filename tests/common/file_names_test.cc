#include "common/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/program_directory.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ResolveFileName, FindsAFileWhateverTheCaseOfItsLetters) {
    TempDir dir;
    WriteFile(dir / "MLAGER.DBF", "x");
    EXPECT_EQ(ResolveFileName(dir / "mlager.dbf"), dir / "MLAGER.DBF");
    EXPECT_EQ(ResolveFileName(dir / "MLager.Dbf"), dir / "MLAGER.DBF");
    EXPECT_EQ(ResolveFileName(dir / "MLAGER.DBF"), dir / "MLAGER.DBF");
}

TEST(ResolveFileName, ExactMatchWinsOverCaseVariants) {
    TempDir dir;
    WriteFile(dir / "A.TXT", "upper");
    WriteFile(dir / "a.txt", "lower");
    EXPECT_EQ(ResolveFileName(dir / "a.txt"), dir / "a.txt");
    EXPECT_EQ(ResolveFileName(dir / "A.TXT"), dir / "A.TXT");
    // No exact match: the first variant in byte order, every time.
    EXPECT_EQ(ResolveFileName(dir / "a.TXT"), dir / "A.TXT");
}

TEST(ResolveFileName, ResolvesFolderComponentsAndKeepsMissingPartsAsSpelled) {
    TempDir dir;
    std::filesystem::create_directory(dir / "Daten");
    WriteFile(dir / "Daten/Jevdbf.dbf", "x");
    EXPECT_EQ(ResolveFileName(dir / "DATEN/JEVDBF.DBF"), dir / "Daten/Jevdbf.dbf");
    EXPECT_EQ(ResolveFileName(dir / "daten/NEU.DBF"), dir / "Daten/NEU.DBF");
    EXPECT_EQ(ResolveFileName(dir / "fehlt/NEU.DBF"), dir / "fehlt/NEU.DBF");
    EXPECT_EQ(ResolveFileName(dir / "daten/"), dir / "Daten/");
}

TEST(ResolveFileName, IgnoresCaseOfGermanLetters) {
    TempDir dir;
    WriteFile(dir / "\xC3\x84RGER.TXT", "x");  // ÄRGER.TXT
    EXPECT_EQ(ResolveFileName(dir / "\xC3\xA4rger.txt"), dir / "\xC3\x84RGER.TXT");
    EXPECT_TRUE(NamesEqualIgnoringCase("STRASSE\xC3\x9C", "strasse\xC3\xBC"));
    EXPECT_FALSE(NamesEqualIgnoringCase("abc", "abcd"));
    EXPECT_FALSE(NamesEqualIgnoringCase("a\xC3\xA4", "a\xC3\xB6"));
}

TEST(FileOperations, ExistenceDeletionAndRenameGoThroughResolution) {
    TempDir dir;
    WriteFile(dir / "TRFOWIS.SDF", "data");
    std::filesystem::create_directory(dir / "Sub");
    EXPECT_TRUE(FileExists(dir / "trfowis.sdf"));
    EXPECT_FALSE(FileExists(dir / "sub"));
    EXPECT_TRUE(DirectoryExists(dir / "SUB"));
    EXPECT_FALSE(DirectoryExists(dir / "trfowis.sdf"));

    EXPECT_TRUE(RenameFile(dir / "trfowis.sdf", dir / "TRFOWIS.1"));
    EXPECT_EQ(ReadFile(dir / "TRFOWIS.1"), "data");
    EXPECT_FALSE(PathExists(dir / "TRFOWIS.SDF"));

    // A target that exists in another case is not replaced.
    WriteFile(dir / "other", "other");
    EXPECT_FALSE(RenameFile(dir / "OTHER", dir / "trfowis.1"));
    EXPECT_EQ(ReadFile(dir / "TRFOWIS.1"), "data");

    EXPECT_TRUE(DeleteFile(dir / "trfowis.1"));
    EXPECT_FALSE(PathExists(dir / "TRFOWIS.1"));
    EXPECT_FALSE(DeleteFile(dir / "trfowis.1"));
    EXPECT_FALSE(DeleteFile(dir / "sub"));
}

TEST(PathParts, SplitAtTheLastSeparator) {
    EXPECT_EQ(DirectoryPart("/a/b/c.zip"), "/a/b/");
    EXPECT_EQ(FileNamePart("/a/b/c.zip"), "c.zip");
    EXPECT_EQ(DirectoryPart("c.zip"), "");
    EXPECT_EQ(FileNamePart("/a/b/"), "");
    EXPECT_EQ(WithTrailingSeparator("/a"), "/a/");
    EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");
    EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(ProgramDirectory, IsTheDirectoryOfTheRunningProgram) {
    EXPECT_EQ(std::filesystem::canonical(ProgramDirectory()),
              std::filesystem::canonical(TEST_PROGRAM_DIR));
    EXPECT_EQ(ProgramDirectory().back(), '/');
}

}  // namespace
}  // namespace zer1
