#include "common/version_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

extern "C" int zer1_versioned_fixture_answer();

namespace zer1 {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(VersionText, FormatsMinorAndReleaseSideBySide) {
    EXPECT_EQ(FormatVersionText({1, 0, 0, 18}), "V1.00R18");
    EXPECT_EQ(FormatVersionText({2, 3, 4, 5}), "V2.34R5");
    EXPECT_EQ(FormatVersionText({10, 11, 12, 65535}), "V10.1112R65535");
}

TEST(VersionText, ReadsTheEmbeddedVersionOfALibraryFile) {
    EXPECT_EQ(VersionText(VERSIONED_FIXTURE_PATH), "V2.34R5");
    const auto version = ReadFileVersion(VERSIONED_FIXTURE_PATH);
    ASSERT_TRUE(version);
    EXPECT_EQ(*version, (FileVersion{2, 3, 4, 5}));
}

TEST(VersionText, FindsABareNameLikeTheLoader) {
    ASSERT_EQ(zer1_versioned_fixture_answer(), 42);  // the library is loaded
    EXPECT_EQ(VersionText(VERSIONED_FIXTURE_NAME), "V2.34R5");
}

TEST(VersionText, EmptyWithoutAVersion) {
    EXPECT_EQ(VersionText(PLAIN_FIXTURE_PATH), "");
    EXPECT_EQ(VersionText("/nonexistent/libnothing.so"), "");
    EXPECT_EQ(VersionText("libzer1-does-not-exist.so"), "");
    EXPECT_EQ(VersionText(""), "");
    TempDir dir;
    WriteFile(dir / "text.so", "not an ELF file at all");
    EXPECT_EQ(VersionText(dir / "text.so"), "");
    WriteFile(dir / "empty.so", "");
    EXPECT_EQ(VersionText(dir / "empty.so"), "");
}

TEST(VersionText, DamagedFilesGiveEmptyTextNotACrash) {
    const std::string original = ReadFile(VERSIONED_FIXTURE_PATH);
    TempDir dir;
    // Cut at a number of places: the section table lies at the end of the
    // file, so every cut loses it.
    for (std::size_t length :
         {std::size_t(16), std::size_t(64), original.size() / 2, original.size() - 1}) {
        WriteFile(dir / "cut.so", original.substr(0, length));
        EXPECT_EQ(VersionText(dir / "cut.so"), "") << length;
    }
    // A section-table offset pointing beyond the end of the file.
    std::string bad_offset = original;
    for (int i = 0; i < 8; ++i) bad_offset[40 + i] = char(0xFF);
    WriteFile(dir / "offset.so", bad_offset);
    EXPECT_EQ(VersionText(dir / "offset.so"), "");
    // A name-table index beyond the number of sections.
    std::string bad_index = original;
    bad_index[62] = char(0xF0);
    bad_index[63] = char(0x7F);
    WriteFile(dir / "index.so", bad_index);
    EXPECT_EQ(VersionText(dir / "index.so"), "");
}

TEST(VersionText, VersionTextWithAMangledNumberIsEmpty) {
    std::string contents = ReadFile(VERSIONED_FIXTURE_PATH);
    const std::size_t at = contents.find("ZER1-FILE-VERSION 2.3.4.5");
    ASSERT_NE(at, std::string::npos);
    TempDir dir;
    std::string mangled = contents;
    mangled[at + 24] = 'x';  // "2.3.4.x"
    WriteFile(dir / "mangled.so", mangled);
    EXPECT_EQ(VersionText(dir / "mangled.so"), "");
}

}  // namespace
}  // namespace zer1
