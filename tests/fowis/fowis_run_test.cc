// The Fowis run as a user meets it: a program directory, a data directory and a
// price list on disk, the run started through a recording dialog host, then the
// price table, the settings file, the backups and the messages read back.
#include "fowis/fowis_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/number_format.h"
#include "common/ui_services.h"
#include "dialog/recording_run_host.h"
#include "fowis/table_structures.h"
#include "storage/engine_loader.h"
#include "temp_directory.h"

namespace zer1 {
namespace {

using Values = std::map<std::string, std::string>;

// One 402-character line of the price list with the given staging fields set.
std::string SourceLine(const Values& values) {
    std::string line(kSourceLineLength, ' ');
    for (const auto& [name, value] : values) {
        const SourceColumns columns = StagingFieldColumns(name);
        EXPECT_GT(columns.first, 0) << name;
        EXPECT_LE(static_cast<int>(value.size()), columns.last - columns.first + 1) << name;
        line.replace(static_cast<size_t>(columns.first - 1), value.size(), value);
    }
    return line;
}

struct PriceRecord {
    std::map<std::string, std::string> texts;
    std::map<std::string, double> numbers;
};

class FowisRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        for (const char* sub : {"program", "data", "transfer", "lists"}) {
            std::filesystem::create_directory(root_.path() + sub);
        }
        host_ = std::make_unique<RecordingRunHost>(Dir("data"), Dir("program"), Dir("transfer"));
        host_->texts[DialogControl::kSleQuelleFowis] = Dir("lists") + "TRFOWIS.SDF";
        host_->texts[DialogControl::kSleZielFowis] = Dir("data");
        host_->factor = 0;
    }

    std::string Dir(const std::string& sub) const { return root_.path() + sub + "/"; }

    void WriteList(const std::vector<std::string>& lines, const std::string& name = "TRFOWIS.SDF") {
        std::string content;
        for (const std::string& line : lines) content += line + "\r\n";
        root_.Write("lists/" + name, content);
    }

    std::vector<PriceRecord> ReadPrices() {
        std::vector<PriceRecord> records;
        TApolloTable table;
        table.SetDatabaseName(Dir("data"));
        table.SetTableName("FOWISPR.DBF");
        table.Open();
        for (table.First(); !table.Eof(); table.Next()) {
            PriceRecord record;
            for (int i = 0; i < table.FieldCount(); ++i) {
                TApolloField& field = table.Fields(i);
                if (field.TypeLetter() == 'N') {
                    record.numbers[field.FieldName()] = field.AsFloat();
                }
                record.texts[field.FieldName()] = field.AsString();
            }
            records.push_back(record);
        }
        table.Close();
        return records;
    }

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& message : ui_.messages) texts.push_back(message.text);
        return texts;
    }

    void ExpectButtonsEnabledAtTheEnd() {
        ASSERT_GE(host_->enable_requests.size(), 3u);
        EXPECT_EQ(host_->enable_requests.front(), std::make_pair(DialogControl::kPbStart, false));
        const auto& last = host_->enable_requests;
        EXPECT_EQ(last[last.size() - 2], std::make_pair(DialogControl::kPbStart, true));
        EXPECT_EQ(last[last.size() - 1], std::make_pair(DialogControl::kPbClose, true));
    }

    ScopedNumberFormat keep_process_format_;
    RecordingUiServices ui_;
    ScopedUiServices install_ui_{&ui_};
    TempDirectory root_;
    std::unique_ptr<RecordingRunHost> host_;
};

TEST_F(FowisRunTest, ConvertsTheListIntoThePriceTable) {
    host_->factor = 1.25L;
    WriteList({
        SourceLine({{"firma", "A123"}, {"artnr1", "4711"}, {"artikel", "  schraube m8"},
                    {"lek", "10,00"}, {"uevk", "12.50"}, {"rp1", "1,5-"}, {"rp2", "-"},
                    {"g1", "AB"}, {"t1", "2,00"}, {"g10", "XY"}, {"t10", "8"},
                    {"g11", "ZZZ"}, {"t11", "99,99"}, {"t21", "1234567"}, {"v1", "V1"},
                    {"p1", "4,00"}, {"v5", "V5"}, {"p5", "0,80"}, {"rf_nr", "R1"},
                    {"rf2", "Q2"}, {"kapitel", "K1"}}),
        SourceLine({{"firma", "B9"}, {"artnr1", "0123456789"}, {"ean", "4001234567890"},
                    {"artikel", "Mutter"}, {"lek", "7,5"}}),
    });
    RunFowisConversion(*host_);
    EXPECT_TRUE(ui_.messages.empty()) << (ui_.messages.empty() ? "" : ui_.messages[0].text);

    const std::vector<PriceRecord> records = ReadPrices();
    ASSERT_EQ(records.size(), 2u);
    const PriceRecord& first = records[0];
    EXPECT_EQ(first.texts.at("ARTNR1"), "4711");
    EXPECT_EQ(first.texts.at("EAN"), "F1234711");
    EXPECT_EQ(first.texts.at("ARTIKEL"), "SCHRAUBE M8");
    EXPECT_DOUBLE_EQ(first.numbers.at("LEK"), 12.5);
    EXPECT_DOUBLE_EQ(first.numbers.at("UEVP"), 15.63);  // 15.625 stored with 2 decimals
    EXPECT_DOUBLE_EQ(first.numbers.at("RP1"), 1.88);    // 1,50 * 1.25 = 1.875
    EXPECT_DOUBLE_EQ(first.numbers.at("RP2"), 0.0);
    EXPECT_EQ(first.texts.at("G1"), "AB");
    EXPECT_DOUBLE_EQ(first.numbers.at("T1"), 2.5);
    EXPECT_EQ(first.texts.at("G10"), "XY");
    EXPECT_DOUBLE_EQ(first.numbers.at("T10"), 10.0);
    EXPECT_EQ(first.texts.at("V1"), "V1");
    EXPECT_DOUBLE_EQ(first.numbers.at("P1"), 5.0);
    EXPECT_EQ(first.texts.at("V5"), "V5");
    EXPECT_DOUBLE_EQ(first.numbers.at("P5"), 1.0);
    EXPECT_EQ(first.texts.at("RF_NR"), "R1");
    EXPECT_EQ(first.texts.at("RF2"), "Q2");
    EXPECT_EQ(first.texts.at("FIRMA"), "A123");
    // Left empty, and the columns beyond g10/t10 are not carried over.
    for (const char* empty : {"V6", "V10", "P6", "P10", "RF1"}) {
        EXPECT_EQ(first.texts.at(empty), "") << empty;
    }

    const PriceRecord& second = records[1];
    EXPECT_EQ(second.texts.at("EAN"), "4001234567890");
    EXPECT_EQ(second.texts.at("ARTIKEL"), "MUTTER");
    EXPECT_DOUBLE_EQ(second.numbers.at("LEK"), 9.38);  // 9.375

    // Settings, tables in the program directory, progress window and buttons.
    SettingsFile settings(Dir("program") + "zer1.ini");
    EXPECT_EQ(settings.ReadInteger("Settings", "FaktorFowis", -1), 12500);
    EXPECT_EQ(settings.ReadString("Settings", "QuellPfadFowis", ""), Dir("lists") + "TRFOWIS.SDF");
    EXPECT_TRUE(root_.Has("program/fo_1.dbf"));
    EXPECT_TRUE(root_.Has("program/FNR.DBF"));
    ASSERT_EQ(host_->progress_windows.size(), 1u);
    const ProgressLog& progress = *host_->progress_windows[0];
    EXPECT_EQ(progress.caption, "Info");
    EXPECT_EQ(progress.infos, (std::vector<std::string>{"Daten aus TRFOWIS.SDF werden eingelesen...",
                                                        "Daten werden nach FOWISPR.DBF geschrieben..."}));
    EXPECT_EQ(progress.maximum, 2);
    EXPECT_EQ(progress.positions, (std::vector<int>{1, 2}));
    EXPECT_TRUE(progress.shown);
    EXPECT_TRUE(progress.released);
    ExpectButtonsEnabledAtTheEnd();
    EXPECT_TRUE(host_->focus_moves.empty());
    // The manufacturer table stays open for the dialog.
    EXPECT_TRUE(host_->Keep().Get<FowisTables>().manufacturers.Active());
    EXPECT_FALSE(host_->Keep().Get<FowisTables>().prices.Active());
}

TEST_F(FowisRunTest, BuiltEanTakesOnlyNineCharactersOfALongArticleNumber) {
    WriteList({SourceLine({{"firma", "XABC"}, {"artnr1", "1234567890"}})});
    RunFowisConversion(*host_);
    const auto records = ReadPrices();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].texts.at("EAN"), "FABC123456789");
}

TEST_F(FowisRunTest, FactorZeroLeavesPricesUnscaled) {
    WriteList({SourceLine({{"lek", "10,00"}, {"t3", "1.5"}})});
    RunFowisConversion(*host_);
    const auto records = ReadPrices();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_DOUBLE_EQ(records[0].numbers.at("LEK"), 10.0);
    EXPECT_DOUBLE_EQ(records[0].numbers.at("T3"), 1.5);
    SettingsFile settings(Dir("program") + "zer1.ini");
    EXPECT_EQ(settings.ReadInteger("Settings", "FaktorFowis", -1), 0);
}

TEST_F(FowisRunTest, SecondRunReplacesTheRecordsOfTheFirst) {
    WriteList({SourceLine({{"artnr1", "1"}}), SourceLine({{"artnr1", "2"}})});
    RunFowisConversion(*host_);
    root_.Write("data/fowispr.ntx", "stale index");
    WriteList({SourceLine({{"artnr1", "3"}})});
    RunFowisConversion(*host_);
    const auto records = ReadPrices();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].texts.at("ARTNR1"), "3");
    EXPECT_FALSE(root_.Has("data/fowispr.ntx"));
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(FowisRunTest, InputChecksStopBeforeAnythingChanges) {
    host_->texts[DialogControl::kSleQuelleFowis] = "   ";
    RunFowisConversion(*host_);
    host_->texts[DialogControl::kSleQuelleFowis] = Dir("lists") + "NONE.SDF";
    RunFowisConversion(*host_);
    WriteList({SourceLine({})});
    host_->texts[DialogControl::kSleQuelleFowis] = Dir("lists") + "TRFOWIS.SDF";
    host_->texts[DialogControl::kSleZielFowis] = Dir("missing");
    RunFowisConversion(*host_);

    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{
                  "Der Bereich \"Quelldatei\" enthält keine gültige Eingabe!",
                  "Die Datei \"" + Dir("lists") + "NONE.SDF\" existiert nicht!",
                  "Der Bereich \"Zielpfad\" enthält keine gültige Eingabe!"}));
    EXPECT_EQ(host_->focus_moves,
              (std::vector<DialogControl>{DialogControl::kSleQuelleFowis,
                                          DialogControl::kSleQuelleFowis}));
    EXPECT_FALSE(root_.Has("program/zer1.ini"));
    EXPECT_TRUE(host_->enable_requests.empty());
    EXPECT_FALSE(root_.Has("program/fo_1.dbf"));
}

TEST_F(FowisRunTest, PriceThatIsNoNumberEndsTheRunAtThatRecord) {
    WriteList({SourceLine({{"artnr1", "1"}, {"lek", "5,00"}}),
               SourceLine({{"artnr1", "2"}, {"lek", "1.234,56"}}),
               SourceLine({{"artnr1", "3"}, {"lek", "1,00"}})});
    try {
        RunFowisConversion(*host_);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "'1.234,56' ist kein gültiger Gleitkommawert");
    }
    const auto records = ReadPrices();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].texts.at("ARTNR1"), "1");
    ExpectButtonsEnabledAtTheEnd();
    ASSERT_EQ(host_->progress_windows.size(), 1u);
    EXPECT_TRUE(host_->progress_windows[0]->released);
    // No backup after a failed run.
    EXPECT_TRUE(root_.Has("lists/TRFOWIS.SDF"));
}

TEST_F(FowisRunTest, PriceTooLargeForItsFieldIsRefused) {
    host_->factor = 2;
    WriteList({SourceLine({{"artnr1", "1"}, {"p2", "60000,00"}})});
    try {
        RunFowisConversion(*host_);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Der Wert 120000.00 passt nicht in das Feld P2 (N 8,2)!");
    }
    EXPECT_TRUE(ReadPrices().empty());
}

TEST_F(FowisRunTest, SuccessfulRunRotatesTheListNamedTrfowis) {
    WriteList({SourceLine({{"artnr1", "7"}})}, "CHOSEN.SDF");
    WriteList({SourceLine({{"artnr1", "8"}})}, "TRFOWIS.SDF");
    root_.Write("lists/TRFOW001.SDF", "older");
    host_->texts[DialogControl::kSleQuelleFowis] = Dir("lists") + "CHOSEN.SDF";
    RunFowisConversion(*host_);
    ASSERT_EQ(ReadPrices().at(0).texts.at("ARTNR1"), "7");
    EXPECT_TRUE(root_.Has("lists/CHOSEN.SDF"));
    EXPECT_FALSE(root_.Has("lists/TRFOWIS.SDF"));
    EXPECT_EQ(root_.Read("lists/TRFOW002.SDF"), "older");
    EXPECT_TRUE(root_.Has("lists/TRFOW001.SDF"));
}

TEST_F(FowisRunTest, WithoutTransferDirectoryTheListStays) {
    host_ = std::make_unique<RecordingRunHost>(Dir("data"), Dir("program"), "");
    host_->texts[DialogControl::kSleQuelleFowis] = Dir("lists") + "TRFOWIS.SDF";
    host_->texts[DialogControl::kSleZielFowis] = Dir("data");
    WriteList({SourceLine({{"artnr1", "7"}})});
    RunFowisConversion(*host_);
    EXPECT_EQ(ReadPrices().size(), 1u);
    EXPECT_TRUE(root_.Has("lists/TRFOWIS.SDF"));
    EXPECT_FALSE(root_.Has("lists/TRFOW001.SDF"));
}

TEST_F(FowisRunTest, PriceTableHeldOpenElsewhereCannotBeOpened) {
    WriteList({SourceLine({{"artnr1", "1"}})});
    RunFowisConversion(*host_);
    TApolloTable other;
    other.SetDatabaseName(Dir("data"));
    other.SetTableName("fowispr.dbf");
    other.SetExclusive(true);
    other.Open();
    WriteList({SourceLine({{"artnr1", "2"}})});
    RunFowisConversion(*host_);
    other.Close();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Fehler beim Öffnen von FOWISPR.DBF !"}));
    ExpectButtonsEnabledAtTheEnd();
}

TEST_F(FowisRunTest, StagingTableHeldOpenElsewhereCannotBeOpened) {
    WriteList({SourceLine({{"artnr1", "1"}})});
    RunFowisConversion(*host_);
    TApolloTable other;
    other.SetDatabaseName(Dir("program"));
    other.SetTableName("FO_1.DBF");
    other.SetExclusive(true);
    other.Open();
    WriteList({SourceLine({{"artnr1", "2"}})});
    RunFowisConversion(*host_);
    other.Close();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Fehler beim Öffnen von FO_1.DBF !"}));
    // The price table was not touched.
    ASSERT_EQ(ReadPrices().size(), 1u);
    ExpectButtonsEnabledAtTheEnd();
}

TEST_F(FowisRunTest, ManufacturerTableThatCannotBeCreatedEndsTheRun) {
    WriteList({SourceLine({{"artnr1", "1"}})});
    RunFowisConversion(*host_);
    ASSERT_EQ(ReadPrices().size(), 1u);
    // A fresh dialog whose program directory cannot take FNR.DBF.
    host_ = std::make_unique<RecordingRunHost>(Dir("data"), Dir("program"), Dir("transfer"));
    host_->texts[DialogControl::kSleQuelleFowis] = Dir("lists") + "TRFOW001.SDF";
    host_->texts[DialogControl::kSleZielFowis] = Dir("data");
    std::filesystem::remove(Dir("program") + "FNR.DBF");
    std::filesystem::create_directory(Dir("program") + "FNR.DBF");
    RunFowisConversion(*host_);
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{Dir("program") + "FNR.DBF konnte nicht erstellt werden!"}));
    // The price table was already emptied.
    EXPECT_TRUE(ReadPrices().empty());
    EXPECT_TRUE(host_->progress_windows.empty());
    ExpectButtonsEnabledAtTheEnd();
}

TEST(FactorSettingValue, TimesTenThousandWithHalvesToEven) {
    EXPECT_EQ(FactorSettingValue(1.2345L), 12345);
    EXPECT_EQ(FactorSettingValue(1.25L), 12500);
    EXPECT_EQ(FactorSettingValue(0), 0);
    EXPECT_EQ(FactorSettingValue(0.00005L), 0);   // 0.5 -> 0
    EXPECT_EQ(FactorSettingValue(0.00015L), 2);   // 1.5 -> 2
    EXPECT_EQ(FactorSettingValue(1e9L), 2147483647);
}

}  // namespace
}  // namespace zer1
