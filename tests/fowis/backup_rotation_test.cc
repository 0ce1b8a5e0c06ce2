#include "fowis/backup_rotation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

TEST(BackupName, FiveCharactersOfTheBaseAndThreeDigits) {
    EXPECT_EQ(BackupName("/d/", "TRFOWIS.SDF", 1), "/d/TRFOW001.SDF");
    EXPECT_EQ(BackupName("/d/", "TRFOWIS.SDF", 12), "/d/TRFOW012.SDF");
    EXPECT_EQ(BackupName("", "AB.SDFX", 1234), "AB1234.SDF");
    EXPECT_EQ(BackupName("/d/", "PRICES", 2), "/d/PRICE002");
}

class BackupRotationTest : public ::testing::Test {
protected:
    std::string Rotate() { return RotateBackups(dir_.path(), "TRFOWIS.SDF", 5); }
    testing::TempDir dir_;
};

TEST_F(BackupRotationTest, SingleSourceBecomesTheFirstGeneration) {
    dir_.Write("TRFOWIS.SDF", "list");
    EXPECT_EQ(Rotate(), dir_.path() + "TRFOW001.SDF");
    EXPECT_FALSE(dir_.Has("TRFOWIS.SDF"));
    EXPECT_EQ(dir_.Read("TRFOW001.SDF"), "list");
    EXPECT_EQ(dir_.EntryCount(), 1u);
}

TEST_F(BackupRotationTest, FullSeriesShiftsAndTheOldestIsDeleted) {
    dir_.Write("TRFOWIS.SDF", "new");
    for (int k = 1; k <= 5; ++k) dir_.Write("TRFOW00" + std::to_string(k) + ".SDF", "gen" + std::to_string(k));
    EXPECT_EQ(Rotate(), dir_.path() + "TRFOW001.SDF");
    EXPECT_FALSE(dir_.Has("TRFOWIS.SDF"));
    EXPECT_EQ(dir_.Read("TRFOW001.SDF"), "new");
    EXPECT_EQ(dir_.Read("TRFOW002.SDF"), "gen1");
    EXPECT_EQ(dir_.Read("TRFOW003.SDF"), "gen2");
    EXPECT_EQ(dir_.Read("TRFOW004.SDF"), "gen3");
    EXPECT_EQ(dir_.Read("TRFOW005.SDF"), "gen4");
    EXPECT_EQ(dir_.EntryCount(), 5u);
}

TEST_F(BackupRotationTest, GapsInTheSeriesStay) {
    dir_.Write("TRFOWIS.SDF", "new");
    dir_.Write("TRFOW001.SDF", "gen1");
    dir_.Write("TRFOW003.SDF", "gen3");
    Rotate();
    EXPECT_EQ(dir_.Read("TRFOW001.SDF"), "new");
    EXPECT_EQ(dir_.Read("TRFOW002.SDF"), "gen1");
    EXPECT_FALSE(dir_.Has("TRFOW003.SDF"));
    EXPECT_EQ(dir_.Read("TRFOW004.SDF"), "gen3");
    EXPECT_EQ(dir_.EntryCount(), 3u);
}

TEST_F(BackupRotationTest, WithoutSourceNothingIsTouched) {
    dir_.Write("TRFOW001.SDF", "gen1");
    dir_.Write("TRFOW005.SDF", "gen5");
    EXPECT_EQ(Rotate(), "");
    EXPECT_EQ(dir_.Read("TRFOW001.SDF"), "gen1");
    EXPECT_EQ(dir_.Read("TRFOW005.SDF"), "gen5");
    EXPECT_EQ(dir_.EntryCount(), 2u);
}

TEST_F(BackupRotationTest, FilesAreFoundWhateverTheirCase) {
    dir_.Write("trfowis.sdf", "new");
    dir_.Write("trfow001.sdf", "gen1");
    dir_.Write("TrFow005.Sdf", "gen5");
    EXPECT_EQ(Rotate(), dir_.path() + "TRFOW001.SDF");
    EXPECT_EQ(dir_.Read("TRFOW001.SDF"), "new");
    EXPECT_EQ(dir_.Read("TRFOW002.SDF"), "gen1");
    EXPECT_FALSE(dir_.Has("TrFow005.Sdf"));
    EXPECT_EQ(dir_.EntryCount(), 2u);
}

TEST_F(BackupRotationTest, AGenerationThatCannotMoveKeepsTheOlderNames) {
    // The fifth name is taken by a directory: it cannot be deleted, so nothing
    // below it can move up and the source stays where it is.
    dir_.Write("TRFOWIS.SDF", "new");
    for (int k = 1; k <= 4; ++k) dir_.Write("TRFOW00" + std::to_string(k) + ".SDF", "gen" + std::to_string(k));
    std::filesystem::create_directory(dir_.path() + "TRFOW005.SDF");
    EXPECT_EQ(Rotate(), "");
    EXPECT_EQ(dir_.Read("TRFOWIS.SDF"), "new");
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(dir_.Read("TRFOW00" + std::to_string(k) + ".SDF"), "gen" + std::to_string(k));
    }
}

TEST_F(BackupRotationTest, OnlyTheNamedFileIsRotated) {
    dir_.Write("OTHER.SDF", "chosen");
    dir_.Write("TRFOWIS.SDF", "list");
    Rotate();
    EXPECT_EQ(dir_.Read("OTHER.SDF"), "chosen");
    EXPECT_EQ(dir_.Read("TRFOW001.SDF"), "list");
}

}  // namespace
}  // namespace zer1
