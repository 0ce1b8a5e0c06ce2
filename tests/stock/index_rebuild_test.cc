// The index rebuild from the host's catalogue: which rows are built, what a
// failing row leaves behind, the engine's progress on the window, and the
// catalogue that cannot be read.
#include "stock/index_rebuild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "stock_world.h"

namespace zer1 {
namespace {

namespace fs = std::filesystem;
using testing::CatalogueRow;
using testing::ReadFile;
using testing::StockWorld;

// A window with its own tag and engine handling, as the dialog's progress
// window has them.
struct TaggedWindow {
    void SetInfo(const std::string& text) { infos.push_back(text); }
    void SetMaximum(int value) { maximum = value; }
    void SetPosition(int) {}
    void SetTag(int tag) { tags.push_back(tag); }
    void OnEngineProgress(int percent) { percents.push_back(percent); }

    std::vector<std::string> infos;
    int maximum = -1;
    std::vector<int> tags;
    std::vector<int> percents;
};

TEST(IndexRebuildTest, OnlyExactRowsAreBuiltAndAFailedRowKeepsItsOldFile) {
    StockWorld world;
    std::vector<testing::FieldValues> items;
    for (int i = 0; i < 40; ++i) items.push_back({{"ARTNUM", std::to_string(1000 - i)}});
    world.AddStockItems(items);
    {
        // An older MLWG.NTX on another key, which the rebuild replaces.
        TApolloTable host;
        host.SetDatabaseName(world.dataPath);
        host.SetTableName("MLAGER.DBF");
        host.Open();
        host.Index(world.dataPath + "MLWG.NTX", "ARTNUM");
    }
    world.WriteCatalogue({
        {"mlager", "MLKLEIN", "ARTNUM"},
        {"MLAGER", "MLAGER", "ARTNUM+"},
        {"MLAGER", "../AUSSEN", "ARTNUM"},
        {"MLAGER", "MLBEZ", "UPPER(ARTBEZ)"},
        {"MLAGER", "MLNEU", "NICHTDA"},
        {"MLAGER", "MLWG", "WGRUPP+ARTNUM"},
    });
    const std::string artnumIndex = ReadFile(world.dataPath + "MLAGER.NTX");

    TaggedWindow window;
    StepProgressOn<TaggedWindow> progress(window);
    EXPECT_TRUE(RebuildIndexes("MLAGER", world.programDirectory, world.dataPath, progress));

    EXPECT_TRUE(world.ui.messages.empty());
    EXPECT_EQ(ReadFile(world.dataPath + "MLAGER.NTX"), artnumIndex);
    EXPECT_FALSE(fs::exists(world.dataPath + "MLKLEIN.NTX"));
    EXPECT_FALSE(fs::exists(world.dataPath + "MLNEU.NTX"));
    EXPECT_FALSE(fs::exists(world.root / "AUSSEN.NTX"));
    world.ExpectIndexMatchesStockMaster("MLAGER", "ARTNUM");
    world.ExpectIndexMatchesStockMaster("MLBEZ", "UPPER(ARTBEZ)");
    world.ExpectIndexMatchesStockMaster("MLWG", "WGRUPP+ARTNUM");
    for (const auto& entry : fs::directory_iterator(world.dataPath)) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }

    EXPECT_EQ(window.maximum, 100);
    EXPECT_EQ(window.infos,
              (std::vector<std::string>{
                  "Indizierung...", "Indizierung...", "Erstelle MLAGER.NTX ...", "Indizierung...",
                  "Erstelle ../AUSSEN.NTX ...", "Indizierung...", "Erstelle MLBEZ.NTX ...",
                  "Indizierung...", "Erstelle MLNEU.NTX ...", "Indizierung...",
                  "Erstelle MLWG.NTX ..."}));
    // Four rows reached the engine, each with the tag up and down again;
    // the two that were built reported up to 100.
    EXPECT_EQ(window.tags, (std::vector<int>{99, 0, 99, 0, 99, 0, 99, 0}));
    ASSERT_FALSE(window.percents.empty());
    EXPECT_EQ(std::count(window.percents.begin(), window.percents.end(), 100), 2);
    EXPECT_EQ(window.percents.back(), 100);
}

TEST(IndexRebuildTest, CatalogueThatCannotBeWalkedIsNamedInFull) {
    StockWorld world;
    world.AddStockItems({{{"ARTNUM", "1"}}});
    const std::string catalogue = world.programDirectory + "INDEXES.DBF";
    testing::RecordingProgress progress;

    fs::remove(catalogue);
    EXPECT_FALSE(RebuildIndexes("MLAGER", world.programDirectory, world.dataPath, progress));
    ASSERT_EQ(world.ui.messages.size(), 1u);
    EXPECT_EQ(world.ui.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(world.ui.messages[0].text, "Fehler beim Zugriff auf " + catalogue);

    // Without INDEXNAME the walk ends at the first row; without INDEXEXP the
    // rows are passed over.
    for (const char* dropped : {"INDEXNAME", "INDEXEXP"}) {
        fs::remove(catalogue);
        TApolloTable maker;
        ASSERT_TRUE(maker.CreateNew(catalogue, kTableTypeNtx, 2));
        maker.CreateField("DATAFILE", "C", 8, 0);
        maker.CreateField(std::string(dropped) == "INDEXNAME" ? "INDEXEXP" : "INDEXNAME", "C", 12,
                          0);
        ASSERT_TRUE(maker.CreateExec());
        maker.SetDatabaseName(world.programDirectory);
        maker.SetTableName("INDEXES.DBF");
        maker.Open();
        maker.Append();
        maker.FieldByName("DATAFILE").SetAsString("MLAGER");
        maker.Fields(1).SetAsString("MLBEZ");
        maker.Post();
        maker.Close();
        EXPECT_EQ(RebuildIndexes("MLAGER", world.programDirectory, world.dataPath, progress),
                  std::string(dropped) == "INDEXEXP");
    }
    EXPECT_EQ(world.ui.messages.size(), 2u);
    EXPECT_FALSE(fs::exists(world.dataPath + "MLBEZ.NTX"));
}

}  // namespace
}  // namespace zer1
