// The stock update end to end on the host's realistic stock tables: both
// modes, the take-over switches, the stock log, the movement journal, the
// index rebuild that follows, and the failures that must change nothing.
#include "stock/stock_update.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>

#include "common/number_format.h"
#include "stock_world.h"

namespace zer1 {
namespace {

namespace fs = std::filesystem;
using testing::FieldValues;
using testing::Pad;
using testing::RawDbf;
using testing::ReadFile;
using testing::StockWorld;

constexpr TakeOverSwitches kAllSwitches{true, true, true, true, true};
constexpr TakeOverSwitches kNoSwitches{};

// What a movement record carries of a stock item of the stock master's structure.
const std::set<std::string> kCopiedToMovement{
    "ARTNUM",   "ARTBEZ", "TEX1",       "PREIS",      "EKPR",    "VKPR",   "WGRUPP",
    "LIFERANT", "LIBNR1", "SUCHCOD",    "STINK",      "STINK_2", "STSATZ", "STSATZ_2",
    "KOST",     "KOST_2", "STRASPREIS", "WEBARTIKEL", "EINZEL",  "KOND",   "KOND_2",
    "LASTEK",   "MBEST",  "HBEST",      "EINHEIT",    "MIDLEK",  "RABA",   "RABB",
    "RABC",     "RESV",   "SERNUMVERW", "BSTWARNUNG"};

const std::set<std::string> kTextsAndRates{"ARTBEZ", "TEX1", "STSATZ", "STSATZ_2"};

WorkingRecord Article(const std::string& number, const std::string& text,
                      const std::string& group = "4711", const std::string& rate = "1") {
    WorkingRecord rec;
    rec.set(1, number);
    rec.set(2, text);
    rec.set(3, "     12.50");
    rec.set(4, "      7.25");
    rec.set(5, "GROSSHANDEL");
    rec.set(6, "Zusatz " + number);
    rec.set(7, "nie benutzt");
    rec.set(8, "SUCH" + number);
    rec.set(9, group);
    rec.set(12, rate);
    rec.set(13, "B-" + number);
    return rec;
}

std::string Today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[9];
    std::strftime(text, sizeof text, "%Y%m%d", &local);
    return text;
}

std::set<std::string> Union(std::set<std::string> a, const std::set<std::string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// Movement record m repeats stock item s in the copied fields; every other
// field, ZUGA and ABGA among them, is blank.
void ExpectMovementOf(const RawDbf& movements, long m, const RawDbf& stock, long s) {
    for (const auto& f : movements.fields) {
        const std::string want = kCopiedToMovement.count(f.name)
                                     ? stock.Value(s, f.name)
                                     : std::string(static_cast<std::size_t>(f.width), ' ');
        EXPECT_EQ(movements.Value(m, f.name), want) << "movement " << m << ", field " << f.name;
    }
}

void ExpectLogRecord(const RawDbf& log, long recno, const std::string& number,
                     const std::string& text, const std::string& change) {
    EXPECT_EQ(log.Value(recno, "ARTNUM"), Pad(number, 13));
    EXPECT_EQ(log.Value(recno, "ARTBEZ"), Pad(text, 50));
    EXPECT_EQ(log.Value(recno, "TEXT"), Pad(change, 10));
    EXPECT_EQ(log.Value(recno, "DATUM"), Today());
    EXPECT_EQ(log.Value(recno, "PREIS"), "       12.50");
    EXPECT_EQ(log.Value(recno, "ABGA"), "      0.00");
    EXPECT_EQ(log.Value(recno, "RUECK"), "      0.00");
    EXPECT_EQ(log.Value(recno, "ZUGA"), Pad("", 10));
    EXPECT_EQ(log.Value(recno, "BENUTZER"), Pad("", 10));
}

TEST(StockUpdateTest, UpdateModeTakesOverByTheSwitchesAndLeavesTheHostsFieldsAlone) {
    ScopedNumberFormat comma(',', '.');
    StockWorld world;
    world.AddStockItems({
        {{"ARTNUM", "12345"}, {"PREIS", "12.5"}},  // keeps its price
        {{"ARTNUM", "123456"}},                    // no prefix match for 12345
        {{"ARTNUM", "4711"}, {"PREIS", "0"}},      // first of two in index order
        {{"ARTNUM", "4711"}, {"PREIS", "0"}},
        {{"ARTNUM", "900"}, {"PREIS", ""}},  // a blank price counts as 0
        {{"ARTNUM", "555"}},                 // not imported
        {{"ARTNUM", "800"}, {"STSATZ", "2"}, {"STSATZ_2", "3"}},
    });
    world.AddArticle(Article("12345", "Kamera", "#4711"));
    world.AddArticle(Article("4711", "Objektiv", "4711"));
    world.AddArticle(Article("777", "ohne Lagerartikel"));
    world.AddArticle(Article("900", "Stativ", ""));
    world.AddArticle(Article("800", "Tasche", "ABCDEFGHIJKLM", "X"));
    const RawDbf before = world.StockMaster();
    ASSERT_FALSE(fs::exists(world.dataPath + "BEWEGZ.DBF"));

    world.RunStockUpdate(StockMode::kUpdate, kAllSwitches);

    EXPECT_EQ(world.report, (std::vector<std::string>{"Lagerupdate: 4 \xC3\x84nderungen\r"}));
    EXPECT_TRUE(world.ui.messages.empty());
    const RawDbf after = world.StockMaster();
    ASSERT_EQ(after.records.size(), 7u);
    const std::set<std::string> taken{"ARTBEZ", "TEX1",     "STSATZ", "STSATZ_2", "EKPR",
                                      "WGRUPP", "LIFERANT", "LIBNR1", "SUCHCOD"};
    for (long r : {2L, 4L, 6L}) StockWorld::ExpectUnchangedExcept(before, after, r, {});
    StockWorld::ExpectUnchangedExcept(before, after, 1, taken);
    StockWorld::ExpectUnchangedExcept(before, after, 3, Union(taken, {"PREIS"}));
    StockWorld::ExpectUnchangedExcept(before, after, 5, Union(taken, {"PREIS"}));
    StockWorld::ExpectUnchangedExcept(before, after, 7, taken);

    EXPECT_EQ(after.Value(1, "ARTBEZ"), Pad("Kamera", 50));
    EXPECT_EQ(after.Value(1, "TEX1"), Pad("Zusatz 12345", 50));
    EXPECT_EQ(after.Value(1, "STSATZ"), "1");
    EXPECT_EQ(after.Value(1, "STSATZ_2"), "1");
    EXPECT_EQ(after.Value(1, "PREIS"), "       12.50");
    EXPECT_EQ(after.Value(1, "EKPR"), "        7.25");
    EXPECT_EQ(after.Value(1, "WGRUPP"), Pad("#4711", 13));
    EXPECT_EQ(after.Value(1, "LIFERANT"), Pad("GROSSHANDEL", 22));
    EXPECT_EQ(after.Value(1, "LIBNR1"), Pad("B-12345", 13));
    EXPECT_EQ(after.Value(1, "SUCHCOD"), Pad("SUCH12345", 13));
    EXPECT_EQ(after.Value(3, "PREIS"), "       12.50");
    EXPECT_EQ(after.Value(3, "WGRUPP"), Pad("#4711", 13));
    EXPECT_EQ(after.Value(5, "PREIS"), "       12.50");
    EXPECT_EQ(after.Value(5, "WGRUPP"), Pad("#", 13));
    EXPECT_EQ(after.Value(7, "WGRUPP"), "#ABCDEFGHIJKL");
    EXPECT_EQ(after.Value(7, "STSATZ"), "2");  // FELD12 "X" is no whole number
    EXPECT_EQ(after.Value(7, "STSATZ_2"), "3");

    const RawDbf log = world.StockLog();
    ASSERT_EQ(log.records.size(), 4u);
    ExpectLogRecord(log, 1, "12345", "Kamera", "\xC4nderung");
    ExpectLogRecord(log, 2, "4711", "Objektiv", "\xC4nderung");
    ExpectLogRecord(log, 3, "900", "Stativ", "\xC4nderung");
    ExpectLogRecord(log, 4, "800", "Tasche", "\xC4nderung");

    // The journal was created beside the stock master with its structure.
    const RawDbf movements = world.Movements();
    ASSERT_EQ(movements.fields.size(), after.fields.size());
    for (std::size_t i = 0; i < after.fields.size(); ++i) {
        EXPECT_EQ(movements.fields[i].name, after.fields[i].name);
        EXPECT_EQ(movements.fields[i].width, after.fields[i].width);
    }
    ASSERT_EQ(movements.records.size(), 4u);
    ExpectMovementOf(movements, 1, after, 1);
    ExpectMovementOf(movements, 2, after, 3);
    ExpectMovementOf(movements, 3, after, 5);
    ExpectMovementOf(movements, 4, after, 7);

    // The catalogue's MLAGER rows were built in catalogue order, each with its
    // own run of the bar; the rows of other data files were passed.
    world.ExpectCatalogueIndexesMatchStockMaster();
    EXPECT_FALSE(fs::exists(world.dataPath + "JE1.NTX"));
    EXPECT_FALSE(fs::exists(world.dataPath + "KUNR.NTX"));
    const auto infos = world.progress.Only("info:");
    EXPECT_EQ(infos, (std::vector<std::string>{
                         "info:Lagerupdate wird durchgef\xC3\xBChrt...", "info:Indizierung...",
                         "info:Indizierung...", "info:Erstelle MLAGER.NTX ...",
                         "info:Indizierung...", "info:Erstelle MLBEZ.NTX ...",
                         "info:Indizierung...", "info:Indizierung...", "info:Erstelle MLWG.NTX ...",
                         "info:Indizierung...", "info:Erstelle MLLIEF.NTX ...",
                         "info:Indizierung...", "info:Erstelle MLPREIS.NTX ...",
                         "info:Indizierung...", "info:Erstelle MLEKDAT.NTX ..."}));
    EXPECT_EQ(world.progress.Only("tag:").size(), 12u);
    EXPECT_EQ(world.progress.Only("pos:100").size(), 6u);
}

TEST(StockUpdateTest, NewItemsGetTheirDefaultsAndEachArticleOnlyOnce) {
    ScopedNumberFormat point('.', ',');
    StockWorld world;
    world.AddStockItems({{{"ARTNUM", "4711"}}});
    for (int i = 1; i <= 250; ++i) world.AddArticle(Article("N" + std::to_string(i), "Neu"));
    world.AddArticle(Article("DOPPELT", "Erster"));
    world.AddArticle(Article("DOPPELT", "Zweiter"));
    world.AddArticle(Article("4711", "vorhanden"));
    const RawDbf before = world.StockMaster();

    world.RunStockUpdate(StockMode::kNewItems, kNoSwitches);

    EXPECT_EQ(world.report, (std::vector<std::string>{"Lagerupdate: 251 Neuanlagen\r"}));
    EXPECT_EQ(world.progress.events[0], "info:Lagerneuanlage wird durchgef\xC3\xBChrt...");
    EXPECT_EQ(std::vector<std::string>(world.progress.events.begin() + 1,
                                       world.progress.events.begin() + 6),
              (std::vector<std::string>{"max:253", "pos:0", "pos:100", "pos:200", "pos:253"}));
    RawDbf after = world.StockMaster();
    ASSERT_EQ(after.records.size(), 252u);
    StockWorld::ExpectUnchangedExcept(before, after, 1, {});
    const FieldValues newItem{{"ARTNUM", Pad("DOPPELT", 13)},
                              {"ARTBEZ", Pad("Erster", 50)},
                              {"TEX1", Pad("Zusatz DOPPELT", 50)},
                              {"STSATZ", "1"},
                              {"STSATZ_2", "1"},
                              {"PREIS", "        0.00"},
                              {"EKPR", "        0.00"},
                              {"KOST", "        0.00"},
                              {"STRASPREIS", "        0.00"},
                              {"KOND", "        0.00"},
                              {"LASTEK", "        0.00"},
                              {"ZUGA", "      0.00"},
                              {"ABGA", "      0.00"},
                              {"MBEST", "      0.00"},
                              {"HBEST", "      0.00"},
                              {"MIDLEK", "        0.00"},
                              {"EINHEIT", "    0.00"},
                              {"RESV", "      0.00"},
                              {"RABA", "  0.00"},
                              {"RABB", "  0.00"},
                              {"RABC", "  0.00"},
                              {"WEBARTIKEL", "F"},
                              {"EINZEL", "N"},
                              {"STINK", "T"},
                              {"STINK_2", "T"},
                              {"SERNUMVERW", "F"},
                              {"BSTWARNUNG", "F"}};
    for (const auto& f : after.fields) {
        auto set = newItem.find(f.name);
        EXPECT_EQ(after.Value(252, f.name),
                  set != newItem.end() ? set->second : std::string(f.width, ' '))
            << f.name;
    }
    EXPECT_EQ(after.Value(2, "ARTNUM"), Pad("N1", 13));
    const RawDbf log = world.StockLog();
    ASSERT_EQ(log.records.size(), 251u);
    ExpectLogRecord(log, 251, "DOPPELT", "Erster", "Neuanlage");
    const RawDbf movements = world.Movements();
    ASSERT_EQ(movements.records.size(), 251u);
    ExpectMovementOf(movements, 251, after, 252);

    // A second call with every switch on, into a journal the host made with
    // three fields: the new item takes the imported price over its 0.
    fs::remove(world.dataPath + "BEWEGZ.DBF");
    {
        TApolloTable maker;
        ASSERT_TRUE(maker.CreateNew(world.dataPath + "BEWEGZ.DBF", kTableTypeNtx, 3));
        maker.CreateField("ARTNUM", "C", 13, 0);
        maker.CreateField("ZUGA", "N", 10, 2);
        maker.CreateField("DATUM", "D", 8, 0);
        ASSERT_TRUE(maker.CreateExec());
    }
    world.working.Zap();
    world.AddArticle(Article("N1", "schon da"));
    world.AddArticle(Article("LETZTER", "Letzter", "", "X"));
    world.RunStockUpdate(StockMode::kNewItems, kAllSwitches);
    EXPECT_EQ(world.report.back(), "Lagerupdate: 1 Neuanlagen\r");
    after = world.StockMaster();
    ASSERT_EQ(after.records.size(), 253u);
    EXPECT_EQ(after.Value(253, "PREIS"), "       12.50");
    EXPECT_EQ(after.Value(253, "EKPR"), "        7.25");
    EXPECT_EQ(after.Value(253, "WGRUPP"), Pad("#", 13));
    EXPECT_EQ(after.Value(253, "SUCHCOD"), Pad("SUCHLETZTER", 13));
    EXPECT_EQ(after.Value(253, "STSATZ"), " ");  // FELD12 "X": left as appended
    const RawDbf journal = world.Movements();
    ASSERT_EQ(journal.records.size(), 1u);
    EXPECT_EQ(journal.records[0], " " + Pad("LETZTER", 13) + Pad("", 18));
    world.ExpectCatalogueIndexesMatchStockMaster();
    EXPECT_TRUE(world.ui.messages.empty());
}

TEST(StockUpdateTest, SwitchesOffChangeOnlyTextsAndRatesAndAnEmptyCatalogueBuildsNothing) {
    StockWorld world;
    world.AddStockItems({{{"ARTNUM", "100"}, {"PREIS", "0"}}});
    world.AddArticle(Article("100", "Nur Texte"));
    world.WriteCatalogue({});
    const RawDbf before = world.StockMaster();
    world.RunStockUpdate(StockMode::kUpdate, kNoSwitches);

    EXPECT_EQ(world.report, (std::vector<std::string>{"Lagerupdate: 1 \xC3\x84nderungen\r"}));
    const RawDbf after = world.StockMaster();
    StockWorld::ExpectUnchangedExcept(before, after, 1, kTextsAndRates);
    EXPECT_EQ(after.Value(1, "ARTBEZ"), Pad("Nur Texte", 50));
    EXPECT_EQ(after.Value(1, "PREIS"), before.Value(1, "PREIS"));
    ExpectLogRecord(world.StockLog(), 1, "100", "Nur Texte", "\xC4nderung");
    EXPECT_EQ(world.progress.Only("info:").size(), 1u);
    EXPECT_TRUE(world.progress.Only("tag:").empty());
    EXPECT_EQ(world.progress.events.back(), "max:100");
    EXPECT_TRUE(world.ui.messages.empty());
    EXPECT_FALSE(fs::exists(world.dataPath + "MLBEZ.NTX"));
}

TEST(StockUpdateTest, EmptyWorkingTableStillRebuildsTheIndexes) {
    StockWorld world;
    world.AddStockItems({{{"ARTNUM", "2"}}, {{"ARTNUM", "1"}}});
    world.RunStockUpdate(StockMode::kNewItems, kAllSwitches);
    EXPECT_EQ(world.report, (std::vector<std::string>{"Lagerupdate: 0 Neuanlagen\r"}));
    EXPECT_EQ(std::vector<std::string>(world.progress.events.begin() + 1,
                                       world.progress.events.begin() + 4),
              (std::vector<std::string>{"max:0", "pos:0", "pos:0"}));
    world.ExpectCatalogueIndexesMatchStockMaster();
    EXPECT_EQ(world.StockLog().records.size(), 0u);
    EXPECT_FALSE(fs::exists(world.dataPath + "BEWEGZ.DBF"));
}

TEST(StockUpdateTest, StockTablesThatCannotBeUsedChangeNothing) {
    StockWorld world;
    world.AddStockItems({{{"ARTNUM", "100"}}});
    world.AddArticle(Article("100", "Neu"));
    world.AddArticle(Article("200", "Neu"));
    const std::string stockBefore = ReadFile(world.dataPath + "MLAGER.DBF");
    const std::string logBefore = ReadFile(world.dataPath + "MLPROTO.DBF");
    auto expectNothingChanged = [&](const std::string& line) {
        EXPECT_EQ(world.report.back(), line);
        EXPECT_EQ(ReadFile(world.dataPath + "MLAGER.DBF"), stockBefore);
        EXPECT_EQ(ReadFile(world.dataPath + "MLPROTO.DBF"), logBefore);
        EXPECT_FALSE(fs::exists(world.dataPath + "BEWEGZ.DBF"));
        EXPECT_FALSE(fs::exists(world.dataPath + "MLBEZ.NTX"));  // no rebuild
        EXPECT_FALSE(world.artikel.Active());
        EXPECT_TRUE(world.ui.messages.empty());
    };

    {
        // The host holds the stock master open.
        FILE* host = popen(
            ("flock -s -n " + world.dataPath + "MLAGER.DBF -c 'echo offen; sleep 0.5'").c_str(),
            "r");
        ASSERT_NE(host, nullptr);
        char line[16] = {};
        ASSERT_NE(fgets(line, sizeof line, host), nullptr);
        world.RunStockUpdate(StockMode::kUpdate, kAllSwitches);
        pclose(host);
        expectNothingChanged("Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!\r");
    }

    fs::rename(world.dataPath + "MLAGER.NTX", world.root / "MLAGER.NTX");
    world.RunStockUpdate(StockMode::kNewItems, kAllSwitches);
    expectNothingChanged("Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!\r");
    fs::rename(world.root / "MLAGER.NTX", world.dataPath + "MLAGER.NTX");

    fs::rename(world.dataPath + "MLPROTO.DBF", world.root / "MLPROTO.DBF");
    world.RunStockUpdate(StockMode::kUpdate, kAllSwitches);
    fs::rename(world.root / "MLPROTO.DBF", world.dataPath + "MLPROTO.DBF");
    expectNothingChanged("Lagerupdate: Fehler beim Zugriff auf " + world.dataPath +
                         "MLPROTO.DBF!\r");

    // A stock master without one of the defaults cannot take new items.
    world.RecreateStockMasterWithout("RABC");
    world.AddStockItems({{{"ARTNUM", "100"}}});
    const std::string withoutRabc = ReadFile(world.dataPath + "MLAGER.DBF");
    world.RunStockUpdate(StockMode::kNewItems, kAllSwitches);
    EXPECT_EQ(world.report.back(), "Lagerupdate: Das Feld RABC fehlt in MLAGER.DBF!\r");
    EXPECT_EQ(ReadFile(world.dataPath + "MLAGER.DBF"), withoutRabc);
    EXPECT_EQ(ReadFile(world.dataPath + "MLPROTO.DBF"), logBefore);
    // Update mode does not write it and goes ahead.
    world.RunStockUpdate(StockMode::kUpdate, kAllSwitches);
    EXPECT_EQ(world.report.back(), "Lagerupdate: 1 \xC3\x84nderungen\r");
    EXPECT_EQ(world.report.size(), 5u);
}

TEST(StockUpdateTest, UnopenableJournalShowsOneMessagePerItemAndTheWalkGoesOn) {
    StockWorld world;
    world.AddStockItems({{{"ARTNUM", "100"}}, {{"ARTNUM", "200"}}});
    world.AddArticle(Article("100", "Eins"));
    world.AddArticle(Article("200", "Zwei"));
    testing::WriteFile(world.dataPath + "BEWEGZ.DBF", "kein dBASE");
    world.RunStockUpdate(StockMode::kUpdate, kAllSwitches);
    ASSERT_EQ(world.ui.messages.size(), 2u);
    for (const auto& message : world.ui.messages) {
        EXPECT_EQ(message.kind, MessageKind::kError);
        EXPECT_EQ(message.text, "Fehler");
    }
    EXPECT_EQ(world.report.back(), "Lagerupdate: 2 \xC3\x84nderungen\r");
    EXPECT_EQ(world.StockMaster().Value(2, "ARTBEZ"), Pad("Zwei", 50));
    EXPECT_EQ(world.StockLog().records.size(), 2u);
    EXPECT_EQ(ReadFile(world.dataPath + "BEWEGZ.DBF"), "kein dBASE");
}

TEST(StockUpdateTest, ErrorInsideTheWalkReleasesTheStockMasterAndKeepsWhatWasPosted) {
    StockWorld world;
    world.AddStockItems({{{"ARTNUM", "100"}}, {{"ARTNUM", "200"}}});
    world.AddArticle(Article("100", "Eins"));
    WorkingRecord tooExpensive = Article("200", "Zwei");
    tooExpensive.set(4, "1e20");  // EKPR (N 12,2) cannot hold it
    world.AddArticle(tooExpensive);
    const RawDbf before = world.StockMaster();
    EXPECT_THROW(world.RunStockUpdate(StockMode::kUpdate, kAllSwitches), std::exception);
    EXPECT_TRUE(world.report.empty());
    EXPECT_FALSE(world.artikel.Active());

    // The host can take the stock master for itself again.
    TApolloTable host;
    host.SetDatabaseName(world.dataPath);
    host.SetTableName("MLAGER.DBF");
    host.SetExclusive(true);
    EXPECT_NO_THROW(host.Open());
    host.Close();
    const RawDbf after = world.StockMaster();
    EXPECT_EQ(after.Value(1, "ARTBEZ"), Pad("Eins", 50));
    StockWorld::ExpectUnchangedExcept(before, after, 2, {});
    EXPECT_EQ(world.StockLog().records.size(), 1u);
    EXPECT_EQ(world.Movements().records.size(), 1u);

    // The next call starts afresh with the stock log the dialog kept open.
    world.working.Zap();
    world.AddArticle(Article("200", "Zwei"));
    world.RunStockUpdate(StockMode::kUpdate, kAllSwitches);
    EXPECT_EQ(world.report.back(), "Lagerupdate: 1 \xC3\x84nderungen\r");
    EXPECT_EQ(world.StockLog().records.size(), 2u);
}

}  // namespace
}  // namespace zer1
