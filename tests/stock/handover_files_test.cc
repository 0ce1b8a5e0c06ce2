// The update file and the standard file: complete copies of the working
// table, with memos, that replace older copies and say so when they fail.
#include "stock/handover_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "stock_world.h"

namespace zer1 {
namespace {

namespace fs = std::filesystem;
using testing::ReadRawDbf;
using testing::StockWorld;

void ExpectCopyOfWorkingTable(const std::string& copy, const std::string& working) {
    SCOPED_TRACE(copy);
    const auto want = ReadRawDbf(working);
    const auto got = ReadRawDbf(copy);
    ASSERT_EQ(got.fields.size(), want.fields.size());
    for (std::size_t i = 0; i < want.fields.size(); ++i) {
        EXPECT_EQ(got.fields[i].name, want.fields[i].name);
        EXPECT_EQ(got.fields[i].type, want.fields[i].type);
    }
    EXPECT_EQ(got.records, want.records);
}

TEST(HandoverFilesTest, CopiesHoldExactlyTheWorkingTableAndReplaceOlderFiles) {
    StockWorld world;
    for (const char* number : {"1", "2", "3"}) {
        WorkingRecord rec;
        rec.set(1, number);
        rec.set(2, std::string("Artikel ") + number);
        world.AddArticle(rec);
    }
    world.working.First();
    world.working.Edit();
    world.working.FieldByName("FELD14").SetAsString("Notiz zum ersten");
    world.working.Post();
    // Older copies: a bigger table in the output directory, leftovers in
    // the program directory.
    fs::copy_file(world.dataPath + "MLAGER.DBF", world.outputDirectory + "JEVUPD.DBF");
    world.AddStockItems({{{"ARTNUM", "1"}}, {{"ARTNUM", "2"}}});
    fs::copy_file(world.dataPath + "MLAGER.DBF", world.outputDirectory + "DGH.JEV");
    for (const char* old : {"JEVUPD.DBF", "JEVUPD.DBT", "DGH.JEV", "DGH.DBT"}) {
        testing::WriteFile(world.programDirectory + old, "alt");
    }

    const HandoverPaths paths{world.programDirectory, world.outputDirectory};
    WriteUpdateFile(world.working, paths, world.progress, world.report);
    WriteStandardFile(world.working, paths, "DGH.JEV", "DGH", world.progress, world.report);

    EXPECT_EQ(world.report,
              (std::vector<std::string>{"Update wurde vorbereitet. (JEVUPD.DBF)\r",
                                        "Standarddatei wurde erstellt. (DGH.JEV)\r"}));
    EXPECT_EQ(world.progress.events, (std::vector<std::string>{"info:Update wird vorbereitet...",
                                                               "info:Standarddatei erstellen..."}));
    for (const char* old : {"JEVUPD.DBF", "JEVUPD.DBT", "DGH.JEV", "DGH.DBT"}) {
        EXPECT_FALSE(fs::exists(world.programDirectory + old)) << old;
    }
    const std::string working = world.outputDirectory + "TMPDGH.DBF";
    ExpectCopyOfWorkingTable(world.outputDirectory + "JEVUPD.DBF", working);
    ExpectCopyOfWorkingTable(world.outputDirectory + "DGH.JEV", working);
    for (const char* copy : {"JEVUPD.DBF", "DGH.JEV"}) {
        TApolloTable reader;
        reader.SetDatabaseName(world.outputDirectory);
        reader.SetTableName(copy);
        reader.Open();
        EXPECT_EQ(reader.FieldByName("FELD14").AsString(), "Notiz zum ersten") << copy;
    }
    EXPECT_TRUE(fs::exists(world.outputDirectory + "JEVUPD.DBT"));
    EXPECT_TRUE(fs::exists(world.outputDirectory + "DGH.DBT"));
}

TEST(HandoverFilesTest, EmptyWorkingTableGivesAnEmptyCopyAndAFailedCopySaysSo) {
    StockWorld world;
    const HandoverPaths paths{world.programDirectory, world.outputDirectory};
    WriteStandardFile(world.working, paths, "FOTOCO.JEV", "FOTOCO", world.progress, world.report);
    ExpectCopyOfWorkingTable(world.outputDirectory + "FOTOCO.JEV",
                             world.outputDirectory + "TMPDGH.DBF");

    const HandoverPaths nowhere{world.programDirectory, world.root / "fehlt/"};
    WriteUpdateFile(world.working, nowhere, world.progress, world.report);
    WriteStandardFile(world.working, nowhere, "DGH.JEV", "DGH", world.progress, world.report);
    EXPECT_EQ(world.report,
              (std::vector<std::string>{
                  "Standarddatei wurde erstellt. (FOTOCO.JEV)\r",
                  "Fehler: Update konnte nicht vorbereitet werden. (JEVUPD.DBF)\r",
                  "Fehler: Standarddatei konnte nicht erstellt werden. (DGH.JEV)\r"}));
    EXPECT_TRUE(world.ui.messages.empty());
}

}  // namespace
}  // namespace zer1
