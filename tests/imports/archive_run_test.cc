// The DGH and Fotoco runs driven through the dialog as a user does it: the
// archive chosen with the browse button, a member selected, options checked,
// pbStart clicked; then the final message line by line, the settings, the
// working table, the pool and its indexes, the stock master with its log,
// journal and rebuilt indexes, and the copies.  One world, built by code:
// the stock world of the stock steps' tests, the pool and two archives.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <optional>

#include "common/ui_services.h"
#include "dialog/form_progress.h"
#include "dialog/form_ss.h"
#include "host/zip_writer.h"
#include "fowis/fowis_run.h"
#include "imports/dgh_run.h"
#include "imports/fotoco_run.h"
#include "imports/zip_archive.h"
#include "recording_run_host.h"
#include "run/parameter_table.h"
#include "run/settings_file.h"
#include "stock_world.h"
#include "storage/engine_loader.h"
#include "tests/support/archive_world.h"
#include "tests/support/raw_dbf.h"
#include "tests/support/recording_ui_services.h"

namespace zer1 {
namespace {

using testing::StockWorld;
using testing::DghLine;
using testing::DghMemberText;
using testing::FotocoLine;
using testing::HeldOpenByAnotherProgram;
using testing::RawDbf;
using Lines = std::vector<std::string>;

std::string Trimmed(std::string value) {
    while (!value.empty() && value.back() == ' ') value.pop_back();
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    return value;
}

// One field of every record of a table file, read from the file itself.
Lines Column(const std::string& path, const std::string& field) {
    const RawDbf dbf = testing::ReadRawDbf(path);
    Lines values;
    for (long r = 1; r <= static_cast<long>(dbf.records.size()); ++r) {
        values.push_back(Trimmed(dbf.Value(r, field)));
    }
    return values;
}

std::string LfEnded(std::string line) {
    line.erase(line.size() - 2);
    return line + "\n";
}

class ArchiveRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        world = std::make_unique<StockWorld>();
        scoped_ui.emplace(&ui);  // after the world's own
        world->working.Close();  // the dialog's runs open it
        data = world->dataPath;
        out = world->outputDirectory;
        ASSERT_TRUE(CreateParameterTable(world->programDirectory, ""));
        testing::CreatePool(data);
        {
            TApolloTable pool;
            testing::OpenPoolAsHost(pool, data);
            testing::AddPoolRecord(pool, "4000000000001", "ALT IM POOL", "DG");
        }
        world->AddStockItems({{{"ARTNUM", "4000000000001"}, {"ARTBEZ", "ALT IM LAGER"},
                               {"PREIS", "12.5"}}});
        stock_before = world->StockMaster();
        jevhost::WriteZipArchive(
            archives / "dgh.zip",
            {{"2026/artikel.txt",
              DghMemberText(DghLine("4000000000001", "1001", "Artikel eins", "1.50", "2.99", "WG1") +
                            DghLine("4000000000002", "1002", "Artikel zwei", "2.50", "3.99", "WG2") +
                            DghLine("", "1003", "Artikel drei", "3.50", "4.99", "WG3"))},
             {"leer.txt", DghMemberText("")}});
        const std::string header = "Bestellnr;Bezeichnung;Text;EK;...\r\n";
        jevhost::WriteZipArchive(
            archives / "fotoco.zip",
            {{"fotoco.csv", header +
                                FotocoLine("4711", "XY-Film 200", "1.50", "12", "12345678901",
                                           "2.99") +
                                FotocoLine("4712", "Rahmen", "2.00", "", "", "5.00")},
             {"kopf.csv", header},
             // An empty line, a line ended by a line feed alone, a short line.
             {"kurz.csv", header + "\r\n" + LfEnded(FotocoLine("4713", "Album", "1", "7", "", "2")) +
                              "4714;zu;wenig;Felder" + std::string(13, ';') + "\r\n"}});
        FormSsSetup setup;
        setup.data_path = data;
        setup.program_directory = world->programDirectory;
        setup.runs = {&RunDghImport, &RunFowisConversion, &RunFotocoImport};
        form = std::make_unique<TformSs>(std::move(setup));
        form->show();
        QApplication::setActiveWindow(form.get());
    }

    // The browse button beside the source edit, answered with `archive`.
    void ChooseArchive(QLineEdit* source, QToolButton* open, const std::string& archive) {
        source->setFocus();
        ui.QueueFileChoice(archive);
        open->click();
    }

    void SetOptions(bool pool, bool update, bool standard, bool stock_update, bool stock_new) {
        form->cbPool->setChecked(pool);
        form->cbUpdate->setChecked(update);
        form->cbStandard->setChecked(standard);
        form->cbLagerUpdate->setChecked(stock_update);
        form->cbLagerNeu->setChecked(stock_new);
    }

    // Clicks pbStart; the run must have released its progress window, given
    // the start button back and shown exactly one message of `kind`, whose
    // text is returned.
    std::string RunAndMessage(MessageKind kind) {
        ui.messages.clear();
        form->pbStart->click();
        EXPECT_TRUE(form->findChildren<TformProgress*>().isEmpty());
        EXPECT_TRUE(form->pbStart->isEnabled());
        if (ui.messages.size() != 1 || ui.messages[0].kind != kind) {
            ADD_FAILURE() << "not one message of the expected kind: "
                          << (ui.messages.empty() ? "" : ui.messages[0].text);
            return {};
        }
        return ui.messages[0].text;
    }

    // The lines of the final information message.
    Lines RunAndReport() {
        std::string text = RunAndMessage(MessageKind::kInformation);
        EXPECT_TRUE(!text.empty() && text.back() == '\r');
        Lines lines;
        for (std::size_t at; (at = text.find('\r')) != std::string::npos; text.erase(0, at + 1)) {
            lines.push_back(text.substr(0, at));
        }
        return lines;
    }

    std::string RunAndError() { return RunAndMessage(MessageKind::kError); }

    std::string Setting(const char* key) {
        return SettingsFile(world->programDirectory + "zer1.ini")
            .ReadString("Settings", key, "<fehlt>");
    }

    std::string Extracted(const std::string& member) {
        return member + " nach " + out + " entpacken";
    }

    std::unique_ptr<StockWorld> world;
    testing::RawDbf stock_before;
    testing::TempDir archives;
    std::string data;
    std::string out;
    RecordingUiServices ui;
    std::optional<ScopedUiServices> scoped_ui;
    std::unique_ptr<TformSs> form;
};

TEST_F(ArchiveRunTest, DghRunWithEveryOptionThenWithNoneThenIntoAnotherDirectory) {
    form->sleAusgabe->setText(QString::fromStdString(out.substr(0, out.size() - 1)));
    ChooseArchive(form->sleQuelle, form->pbOpen, archives / "dgh.zip");
    ASSERT_EQ(form->lbFiles->count(), 2);
    EXPECT_EQ(form->lbFiles->currentRow(), 0);
    SetOptions(true, true, true, true, true);
    EXPECT_TRUE(form->gbPara->isVisible());
    for (QCheckBox* box : {form->cbGhWg, form->cbGhLief, form->cbEkPr, form->cbVkPr}) {
        box->setChecked(true);
    }
    std::vector<std::string> shared{data + "JEVDBF.DBF", data + "MLPROTO.DBF"};
    for (const std::string& index : testing::PoolIndexNames()) shared.push_back(data + index);
    auto host = std::make_unique<HeldOpenByAnotherProgram>(shared);

    EXPECT_EQ(RunAndReport(),
              (Lines{Extracted("2026/artikel.txt"), "Pool aktualisiert: 2 Neuanlagen,1 \xC3\x84nderungen",
                     "Lagerupdate: 1 \xC3\x84nderungen", "Lagerupdate: 2 Neuanlagen",
                     "Update wurde vorbereitet. (JEVUPD.DBF)",
                     "Standarddatei wurde erstellt. (DGH.JEV)"}));
    host.reset();
    EXPECT_EQ(Setting("Quellpfad"), archives.path());
    EXPECT_EQ(Setting("Quelldatei"), "dgh.zip");
    EXPECT_EQ(Setting("Zielpfad"), out.substr(0, out.size() - 1));
    EXPECT_TRUE(testing::PathExists(out + "artikel.txt"));  // without its folder

    const Lines eans{"4000000000001", "4000000000002", "!DGH1003"};
    EXPECT_EQ(Column(out + "TMPDGH.DBF", "FELD1"), eans);
    EXPECT_EQ(Column(out + "TMPDGH.DBF", "FELD11"), (Lines{"DG", "DG", "DG"}));
    EXPECT_EQ(Column(out + "JEVUPD.DBF", "FELD1"), eans);
    EXPECT_EQ(Column(out + "DGH.JEV", "FELD1"), eans);

    EXPECT_EQ(Column(data + "JEVDBF.DBF", "FELD1"), eans);
    EXPECT_EQ(Column(data + "JEVDBF.DBF", "FELD2"),
              (Lines{"ARTIKEL EINS", "ARTIKEL ZWEI", "ARTIKEL DREI"}));
    {
        TApolloTable pool;
        const std::vector<std::string> names = testing::PoolIndexNames();
        testing::OpenTable(pool, data, "JEVDBF.DBF", names);
        const std::string ean = testing::Pad("!DGH1003", 13);
        const Lines keys{ean, testing::Pad("ARTIKEL DREI", 40), testing::Pad("/1003", 13), testing::Pad("DGHWG3", 13) + ean,
                         "DG" + ean};
        for (int k = 0; k < 5; ++k) {
            pool.SetOrder(k + 1);
            EXPECT_TRUE(pool.Seek(keys[k])) << names[k];
            EXPECT_EQ(pool.FieldByName("FELD1").AsString(), "!DGH1003") << names[k];
        }
        pool.SetOrder(2);
        EXPECT_FALSE(pool.Seek(testing::Pad("ALT IM POOL", 40)));
    }

    const std::string stock = data + "MLAGER.DBF";
    EXPECT_EQ(Column(stock, "ARTNUM"), eans);
    EXPECT_EQ(Column(stock, "ARTBEZ"), (Lines{"ARTIKEL EINS", "ARTIKEL ZWEI", "ARTIKEL DREI"}));
    EXPECT_EQ(Column(stock, "PREIS"), (Lines{"12.50", "3.99", "4.99"}));  // a price stays
    EXPECT_EQ(Column(stock, "EKPR"), (Lines{"1.50", "2.50", "3.50"}));
    EXPECT_EQ(Column(stock, "WGRUPP"), (Lines{"#DGHWG1", "#DGHWG2", "#DGHWG3"}));
    EXPECT_EQ(Column(stock, "EINZEL")[2], "N");  // a new item's defaults
    StockWorld::ExpectUnchangedExcept(stock_before, world->StockMaster(), 1,
                                      {"ARTBEZ", "TEX1", "STSATZ", "STSATZ_2", "EKPR", "WGRUPP",
                                       "LIFERANT", "LIBNR1"});
    world->ExpectCatalogueIndexesMatchStockMaster();
    EXPECT_EQ(Column(data + "MLPROTO.DBF", "TEXT"), (Lines{"\xC4nderung", "Neuanlage", "Neuanlage"}));
    EXPECT_EQ(Column(data + "BEWEGZ.DBF", "ARTNUM"), eans);

    // A second run in the same dialog: an empty member, no options.
    form->lbFiles->setCurrentRow(1);
    SetOptions(false, false, false, false, false);
    EXPECT_EQ(RunAndReport(), (Lines{Extracted("leer.txt")}));
    EXPECT_TRUE(Column(out + "TMPDGH.DBF", "FELD1").empty());
    EXPECT_EQ(Column(out + "JEVUPD.DBF", "FELD1"), eans);

    // A third into a directory without a working table: the one still open
    // in the first directory is let go.
    testing::TempDir other;
    form->sleAusgabe->setText(QString::fromStdString(other.path()));
    form->lbFiles->setCurrentRow(0);
    out = other.path();
    EXPECT_EQ(RunAndReport(), (Lines{Extracted("2026/artikel.txt")}));
    EXPECT_EQ(Column(other / "TMPDGH.DBF", "FELD1"), eans);
    EXPECT_NO_THROW(HeldOpenByAnotherProgram({world->outputDirectory + "TMPDGH.DBF"}));
}

TEST_F(ArchiveRunTest, FotocoRunGoesOnPastAHeldStockMasterAndRefusesAShortLine) {
    form->pgSS->setCurrentIndex(2);
    form->sleAusgabeFotoco->setText(QString::fromStdString(out));
    ChooseArchive(form->sleQuelleFotoco, form->pbFotocoOpen, archives / "fotoco.zip");
    ASSERT_EQ(form->lbFilesFotoco->count(), 3);
    SetOptions(true, false, true, true, true);
    {
        HeldOpenByAnotherProgram host({data + "MLAGER.DBF"});
        EXPECT_EQ(RunAndReport(),
                  (Lines{Extracted("fotoco.csv"), "Pool aktualisiert: 2 Neuanlagen,0 \xC3\x84nderungen",
                         "Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!",
                         "Lagerupdate: Fehler beim Zugriff auf die Lagerstammdaten!",
                         "Standarddatei wurde erstellt. (FOTOCO.JEV)"}));
    }
    EXPECT_EQ(Setting("QuellpfadFotoco"), archives.path());
    EXPECT_EQ(Setting("QuelldateiFotoco"), "fotoco.zip");
    EXPECT_EQ(Setting("ZielpfadFotoco"), out);
    const std::string working = out + "TMPFOTOCO.DBF";
    EXPECT_EQ(Column(working, "FELD1"), (Lines{"0012345678901", ".F4712"}));
    EXPECT_EQ(Column(working, "FELD5"), (Lines{"XY-", ""}));
    EXPECT_EQ(Column(working, "FELD9"), (Lines{"#12", "#"}));
    EXPECT_EQ(Column(working, "FELD13"), (Lines{"+4711", "+4712"}));
    EXPECT_EQ(Column(working, "FELD3"), (Lines{"2.99", "5.00"}));
    EXPECT_EQ(Column(working, "FELD10"), (Lines{"", ""}));
    EXPECT_EQ(Column(out + "FOTOCO.JEV", "FELD1"), (Lines{"0012345678901", ".F4712"}));
    EXPECT_EQ(Column(data + "JEVDBF.DBF", "FELD11"), (Lines{"DG", "FO", "FO"}));
    EXPECT_EQ(Column(data + "MLAGER.DBF", "ARTNUM"), (Lines{"4000000000001"}));

    // A member of only its header gives an empty working table.
    form->lbFilesFotoco->setCurrentRow(1);
    SetOptions(false, false, false, false, false);
    EXPECT_EQ(RunAndReport(), (Lines{Extracted("kopf.csv")}));
    EXPECT_TRUE(Column(working, "FELD1").empty());

    // A line with too few fields ends the run before any step.
    form->lbFilesFotoco->setCurrentRow(2);
    SetOptions(true, true, true, true, true);
    EXPECT_EQ(RunAndError(),
              "Zeile 4 der Datei " + out + "kurz.csv hat nur 17 Felder (18 erwartet).");
    EXPECT_EQ(Column(working, "FELD13"), (Lines{"+4713"}));
    EXPECT_EQ(Column(data + "JEVDBF.DBF", "FELD1").size(), 3u);
    EXPECT_FALSE(testing::PathExists(out + "JEVUPD.DBF"));
}

TEST_F(ArchiveRunTest, FailuresEndTheRunAndTheDialogStaysReady) {
    auto refused = [&](const char* area, QWidget* focus) {
        EXPECT_EQ(RunAndError(),
                  std::string("Der Bereich \"") + area + "\" enth\xC3\xA4lt keine g\xC3\xBCltige Eingabe!");
        EXPECT_EQ(form->focusWidget(), focus) << area;
    };
    refused("Quellarchiv", form->sleQuelle);
    ChooseArchive(form->sleQuelle, form->pbOpen, archives / "dgh.zip");
    form->lbFiles->clearSelection();
    refused("Dateien", form->lbFiles);
    form->lbFiles->setCurrentRow(0);
    form->sleAusgabe->setText(QString::fromStdString(out + "fehlt"));
    refused("Ausgabepfad", form->sleAusgabe);
    EXPECT_EQ(Setting("Quellpfad"), "<fehlt>");  // nothing written
    form->pgSS->setCurrentIndex(2);
    form->sleQuelleFotoco->setText("fotoco.zip");
    refused("Dateien", form->sleQuelleFotoco);
    form->pgSS->setCurrentIndex(0);

    // A working table held by another program, or one that cannot be made.
    form->sleAusgabe->setText(QString::fromStdString(out));
    {
        HeldOpenByAnotherProgram host({out + "TMPDGH.DBF"});
        EXPECT_EQ(RunAndError(), "Fehler beim Zugriff auf " + out + "TMPDGH.DBF");
    }
    testing::TempDir blocked;
    std::filesystem::create_directory(blocked / "TMPDGH.DBF");
    form->sleAusgabe->setText(QString::fromStdString(blocked.path()));
    EXPECT_EQ(RunAndError(), "Fehler beim Zugriff auf " + blocked / "TMPDGH.DBF");

    form->sleAusgabe->setText(QString::fromStdString(out));
    EXPECT_EQ(RunAndReport(), (Lines{Extracted("2026/artikel.txt")}));

    // Archives that do not hold the member, are missing or are damaged: the
    // working table keeps the records of the run before.
    jevhost::WriteZipArchive(archives / "andere.zip", {{"sonst.txt", "x"}});
    form->sleQuelle->setText(QString::fromStdString(archives / "andere.zip"));
    EXPECT_EQ(RunAndError(), "Die Datei \"2026/artikel.txt\" ist im Archiv nicht enthalten!");
    form->sleQuelle->setText(QString::fromStdString(archives / "fehlt.zip"));
    EXPECT_EQ(RunAndError(), "Archive does not exist - FileName is blank");
    std::string damaged = testing::ReadFile(archives / "dgh.zip");
    damaged.resize(damaged.size() - 30);
    testing::WriteFile(archives / "kaputt.zip", damaged);
    form->sleQuelle->setText(QString::fromStdString(archives / "kaputt.zip"));
    EXPECT_EQ(RunAndError(), "Invalid file - not a PKZip file");
    EXPECT_EQ(Column(out + "TMPDGH.DBF", "FELD1").size(), 3u);

    // A pool record locked by another process ends the run, after the wait,
    // with the error naming table and record; once it is free the next run
    // updates the pool.
    form->sleQuelle->setText(QString::fromStdString(archives / "dgh.zip"));
    SetOptions(true, false, false, false, false);
    {
        testing::RecordLockedByAnotherProcess other(data + "JEVDBF.DBF", 1);
        EXPECT_EQ(RunAndError(),
                  "Der Datensatz 1 in JEVDBF.DBF ist von einem anderen Programm gesperrt.");
    }
    EXPECT_EQ(Column(data + "JEVDBF.DBF", "FELD2"), (Lines{"ALT IM POOL"}));
    EXPECT_EQ(RunAndReport(), (Lines{Extracted("2026/artikel.txt"),
                                     "Pool aktualisiert: 2 Neuanlagen,1 \xC3\x84nderungen"}));
}

// The run's own view of the dialog: the progress window names each stage
// as it begins and is released at the end.
TEST_F(ArchiveRunTest, ProgressWindowNamesEachStageAndIsReleased) {
    RecordingRunHost host(data, world->programDirectory);
    host.texts[DialogControl::kSleQuelle] = archives / "dgh.zip";
    host.list_items[DialogControl::kLbFiles] = {"2026/artikel.txt"};
    host.selected[DialogControl::kLbFiles] = 0;
    host.texts[DialogControl::kSleAusgabe] = out;
    host.checked[DialogControl::kCbPool] = true;
    host.checked[DialogControl::kCbStandard] = true;
    RunDghImport(host);
    ASSERT_EQ(host.progress_windows.size(), 1u);
    const ProgressLog& window = *host.progress_windows[0];
    EXPECT_TRUE(window.shown);
    EXPECT_TRUE(window.released);
    EXPECT_EQ(window.infos, (Lines{"Extrahiere Archivdaten...", "Verarbeite 2026/artikel.txt...",
                                   "Pool wird aktualisiert...", "Standarddatei erstellen..."}));
    EXPECT_EQ(host.OutputDirectory(), out);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kInformation);
}

}  // namespace
}  // namespace zer1
