// The interfaces dialog as the user meets it: start-up from the settings
// file, the remembered archives, closing, the browse buttons, the start
// dispatch and the lock while a run works.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QToolButton>
#include <functional>
#include <memory>

#include "common/error.h"
#include "common/ui_services.h"
#include "controls/number_edit_qt.h"
#include "dialog/form_ss.h"
#include "host/zip_writer.h"
#include "run/parameter_table.h"
#include "run/settings_file.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using testing::TempDir;
using testing::WriteFile;

class FormSsTest : public ::testing::Test {
  protected:
    std::unique_ptr<TformSs> MakeForm() {
        // The host's parameter table (all switches off) unless a test put its own.
        if (!testing::PathExists(program / "VUROZE.LIC")) {
            EXPECT_TRUE(CreateParameterTable(program.path(), ""));
        }
        FormSsSetup setup;
        setup.data_path = data.path();
        setup.program_directory = program.path();
        setup.runs.dgh = [this](RunHost& host) { Ran("dgh", host); };
        setup.runs.fowis = [this](RunHost& host) { Ran("fowis", host); };
        setup.runs.fotoco = [this](RunHost& host) { Ran("fotoco", host); };
        return std::make_unique<TformSs>(std::move(setup));
    }

    void Ran(const std::string& which, RunHost& host) {
        runs.push_back(which);
        if (on_run) on_run(host);
    }

    SettingsFile Ini() { return SettingsFile(program / "zer1.ini"); }

    // Gives `widget` the keyboard focus as the Tab key would, in a shown and
    // active dialog; its page must be the current one.
    static void Focus(QWidget* widget) {
        QWidget* window = widget->window();
        window->show();
        QApplication::setActiveWindow(window);
        widget->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(widget->hasFocus()) << widget->objectName().toStdString();
    }

    static void Press(QWidget* widget, int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    static QStringList Items(QListWidget* list) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        return items;
    }

    TempDir program;
    TempDir data;
    RecordingUiServices ui;
    ScopedUiServices scoped_ui{&ui};
    std::vector<std::string> runs;
    std::function<void(RunHost&)> on_run;
};

TEST_F(FormSsTest, StartsWithDefaultsWithoutSettingsFileAndCreatesItOnClose) {
    auto form = MakeForm();
    EXPECT_TRUE(form->windowTitle().startsWith("JEV-Schnittstellen "));
    EXPECT_EQ(form->pgSS->currentIndex(), 0);
    EXPECT_TRUE(form->sleQuelle->text().isEmpty());
    EXPECT_EQ(form->lbFiles->count(), 0);
    EXPECT_TRUE(form->sleAusgabe->text().isEmpty());
    EXPECT_TRUE(form->sleQuelleFowis->text().isEmpty());
    EXPECT_EQ(form->sleZielFowis->text().toStdString(), data.path());
    EXPECT_EQ(form->FactorValue(), 0.0L);
    EXPECT_EQ(form->sleFaktorFowis->text(), "0.0000");
    for (QCheckBox* box :
         {form->cbPool, form->cbUpdate, form->cbStandard, form->cbLagerUpdate, form->cbLagerNeu}) {
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    }
    EXPECT_FALSE(form->gbPara->isVisibleTo(form.get()));
    EXPECT_FALSE(testing::PathExists(program / "zer1.ini"));
    EXPECT_TRUE(ui.messages.empty());

    form->show();
    form->pbClose->click();
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(testing::PathExists(program / "zer1.ini"));
    const std::string ini = testing::ReadFile(program / "zer1.ini");
    for (const char* key : {"Pool", "Update", "Standard", "Lagerupdate", "LagerNeu"}) {
        EXPECT_NE(ini.find(std::string(key) + "=0"), std::string::npos) << key;
    }
}

TEST_F(FormSsTest, StartsFromRememberedInputsAndListsRememberedArchives) {
    const std::string dgh_dir = data / "dgh/";
    std::filesystem::create_directories(dgh_dir);
    jevhost::WriteZipArchive(dgh_dir + "artikel.zip",
                            {{"ART1.TXT", "a"}, {"sub/ART2.TXT", "b"}, {"liesmich.txt", "c"}});
    jevhost::WriteZipArchive(data / "foto.zip", {{"fotoco.csv", "x"}});
    SettingsFile ini = Ini();
    ini.WriteString("Settings", "Quellpfad", dgh_dir);
    ini.WriteString("Settings", "Quelldatei", "artikel.zip");
    ini.WriteString("Settings", "QuellpfadFotoco", data.path());
    ini.WriteString("Settings", "QuelldateiFotoco", "foto.zip");
    ini.WriteString("Settings", "QuellPfadFowis", "/tmp/fowis/TRFOWIS.SDF");
    ini.WriteInteger("Settings", "FaktorFowis", 12500);
    ini.WriteString("Settings", "Zielpfad", "/tmp/aus dgh");
    ini.WriteString("Settings", "ZielpfadFotoco", "/tmp/aus fotoco/");
    ini.WriteBool("Settings", "Pool", true);
    ini.WriteBool("Settings", "Standard", true);
    ini.WriteBool("Settings", "LagerNeu", true);

    auto form = MakeForm();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(form->sleQuelle->text().toStdString(), dgh_dir + "artikel.zip");
    EXPECT_EQ(Items(form->lbFiles), (QStringList{"ART1.TXT", "sub/ART2.TXT", "liesmich.txt"}));
    EXPECT_EQ(form->SelectedIndex(DialogControl::kLbFiles), 0);
    EXPECT_EQ(form->SelectedText(DialogControl::kLbFiles), "ART1.TXT");
    EXPECT_EQ(form->Text(DialogControl::kSleQuelleFotoco), data / "foto.zip");
    EXPECT_EQ(Items(form->lbFilesFotoco), QStringList{"fotoco.csv"});
    EXPECT_EQ(form->SelectedText(DialogControl::kLbFilesFotoco), "fotoco.csv");
    EXPECT_EQ(form->Text(DialogControl::kSleQuelleFowis), "/tmp/fowis/TRFOWIS.SDF");
    EXPECT_EQ(form->Text(DialogControl::kSleZielFowis), data.path());
    EXPECT_EQ(form->FactorValue(), 1.25L);
    EXPECT_EQ(form->sleFaktorFowis->text(), "1.2500");
    EXPECT_EQ(form->Text(DialogControl::kSleAusgabe), "/tmp/aus dgh");
    EXPECT_EQ(form->Text(DialogControl::kSleAusgabeFotoco), "/tmp/aus fotoco/");
    EXPECT_TRUE(form->IsChecked(DialogControl::kCbPool));
    EXPECT_FALSE(form->IsChecked(DialogControl::kCbUpdate));
    EXPECT_TRUE(form->IsChecked(DialogControl::kCbStandard));
    EXPECT_FALSE(form->IsChecked(DialogControl::kCbLagerUpdate));
    EXPECT_TRUE(form->IsChecked(DialogControl::kCbLagerNeu));
    EXPECT_TRUE(form->gbPara->isVisibleTo(form.get()));
}

TEST_F(FormSsTest, RememberedArchiveThatIsGoneLeavesSourceEmptyAndLoadsTheRest) {
    SettingsFile ini = Ini();
    ini.WriteString("Settings", "Quellpfad", data.path());
    ini.WriteString("Settings", "Quelldatei", "weg.zip");
    ini.WriteString("Settings", "Zielpfad", "/tmp/aus");
    ini.WriteBool("Settings", "Update", true);

    auto form = MakeForm();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(form->sleQuelle->text().isEmpty());
    EXPECT_EQ(form->lbFiles->count(), 0);
    EXPECT_EQ(form->Text(DialogControl::kSleAusgabe), "/tmp/aus");
    EXPECT_TRUE(form->cbUpdate->isChecked());
}

// A remembered archive that can no longer be listed is reported, and the
// remaining inputs still load, so closing keeps the remembered options.
TEST_F(FormSsTest, RememberedArchiveThatCannotBeListedIsReportedAndLoadingGoesOn) {
    WriteFile(data / "kaputt.zip", "this is no archive at all, just text");
    jevhost::WriteZipArchive(data / "foto.zip", {{"f.csv", "x"}});
    SettingsFile ini = Ini();
    ini.WriteString("Settings", "Quellpfad", data.path());
    ini.WriteString("Settings", "Quelldatei", "kaputt.zip");
    ini.WriteString("Settings", "QuellpfadFotoco", data.path());
    ini.WriteString("Settings", "QuelldateiFotoco", "foto.zip");
    ini.WriteString("Settings", "ZielpfadFotoco", "/tmp/f");
    ini.WriteBool("Settings", "Pool", true);
    ini.WriteBool("Settings", "Lagerupdate", true);

    auto form = MakeForm();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(ui.messages[0].caption, "Fehler");
    EXPECT_FALSE(ui.messages[0].text.empty());
    EXPECT_EQ(form->Text(DialogControl::kSleQuelle), data / "kaputt.zip");
    EXPECT_EQ(form->lbFiles->count(), 0);
    EXPECT_EQ(Items(form->lbFilesFotoco), QStringList{"f.csv"});
    EXPECT_EQ(form->Text(DialogControl::kSleAusgabeFotoco), "/tmp/f");

    form->show();
    form->close();
    EXPECT_TRUE(Ini().ReadBool("Settings", "Pool", false));
    EXPECT_TRUE(Ini().ReadBool("Settings", "Lagerupdate", false));
}

TEST_F(FormSsTest, EscapeAnywhereClosesAndSavesTheFiveOptionsOnly) {
    auto form = MakeForm();
    form->show();
    form->cbPool->setChecked(true);
    form->cbLagerUpdate->setChecked(true);
    form->cbGhWg->setChecked(true);

    Press(form->sleAusgabe, Qt::Key_A);
    EXPECT_TRUE(form->isVisible());
    Press(form->lbFiles, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());

    SettingsFile ini = Ini();
    EXPECT_TRUE(ini.ReadBool("Settings", "Pool", false));
    EXPECT_FALSE(ini.ReadBool("Settings", "Update", true));
    EXPECT_FALSE(ini.ReadBool("Settings", "Standard", true));
    EXPECT_TRUE(ini.ReadBool("Settings", "Lagerupdate", false));
    EXPECT_FALSE(ini.ReadBool("Settings", "LagerNeu", true));
    EXPECT_EQ(testing::ReadFile(program / "zer1.ini").find("GhWg"), std::string::npos);
}

TEST_F(FormSsTest, ClosingTheWindowItselfSavesTheOptions) {
    auto form = MakeForm();
    form->show();
    form->cbUpdate->setChecked(true);
    form->close();
    EXPECT_TRUE(Ini().ReadBool("Settings", "Update", false));
}

TEST_F(FormSsTest, OptionsThatCannotBeSavedAreReportedOnceInGerman) {
    std::filesystem::create_directory(program / "zer1.ini");  // nothing can be written there
    auto form = MakeForm();
    form->show();
    form->close();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Die Einstellungen konnten nicht in \"" + program / "zer1.ini" +
                  "\" gespeichert werden.");
}

TEST_F(FormSsTest, TakeOverGroupShowsExactlyWhileAStockOptionIsChecked) {
    auto form = MakeForm();
    auto shown = [&] { return form->gbPara->isVisibleTo(form.get()); };
    EXPECT_FALSE(shown());
    form->cbLagerUpdate->setChecked(true);
    EXPECT_TRUE(shown());
    form->cbLagerNeu->setChecked(true);
    EXPECT_TRUE(shown());
    form->cbLagerUpdate->setChecked(false);
    EXPECT_TRUE(shown());
    form->cbLagerNeu->setChecked(false);
    EXPECT_FALSE(shown());
    form->cbPool->setChecked(true);
    form->cbUpdate->setChecked(true);
    form->cbStandard->setChecked(true);
    EXPECT_FALSE(shown());
    form->cbLagerNeu->click();
    EXPECT_TRUE(shown());
}

TEST_F(FormSsTest, ArchiveBrowseButtonActsOnlyBesideTheSourceEdit) {
    jevhost::WriteZipArchive(data / "neu.zip", {{"A.TXT", "1"}, {"B.TXT", "2"}});
    auto form = MakeForm();
    ASSERT_EQ(form->pbOpen->y(), form->sleQuelle->y());

    Focus(form->sleAusgabe);
    EXPECT_EQ(form->pbOpen->y(), form->sleAusgabe->y());
    ui.QueueFileChoice(data / "neu.zip");
    form->pbOpen->click();
    EXPECT_TRUE(ui.file_requests.empty());
    EXPECT_TRUE(form->sleQuelle->text().isEmpty());

    Focus(form->sleQuelle);
    EXPECT_EQ(form->pbOpen->y(), form->sleQuelle->y());
    form->pbOpen->click();
    ASSERT_EQ(ui.file_requests.size(), 1u);
    EXPECT_EQ(ui.file_requests[0].title, "DGH-Quelldatei öffnen");
    EXPECT_EQ(ui.file_requests[0].filter, "ZIP-Archive|*.zip|Alle Dateien|*.*");
    EXPECT_EQ(ui.file_requests[0].initial_directory, program.path());
    EXPECT_TRUE(ui.file_requests[0].path_must_exist);
    EXPECT_TRUE(ui.file_requests[0].file_must_exist);
    EXPECT_EQ(form->Text(DialogControl::kSleQuelle), data / "neu.zip");
    EXPECT_EQ(Items(form->lbFiles), (QStringList{"A.TXT", "B.TXT"}));
    EXPECT_EQ(form->SelectedIndex(DialogControl::kLbFiles), 0);

    // Cancelled: the list is emptied, the source keeps the earlier archive.
    form->pbOpen->click();
    EXPECT_EQ(ui.file_requests.size(), 2u);
    EXPECT_EQ(form->Text(DialogControl::kSleQuelle), data / "neu.zip");
    EXPECT_EQ(form->lbFiles->count(), 0);
    EXPECT_EQ(form->SelectedIndex(DialogControl::kLbFiles), -1);
}

TEST_F(FormSsTest, FotocoBrowseStartsInRememberedDirectoryAndFollowsFocusToo) {
    Ini().WriteString("Settings", "QuellpfadFotoco", data.path());
    jevhost::WriteZipArchive(data / "leer.zip", {});
    auto form = MakeForm();
    form->pgSS->setCurrentIndex(2);

    Focus(form->sleAusgabeFotoco);
    form->pbFotocoOpen->click();
    EXPECT_TRUE(ui.file_requests.empty());

    Focus(form->sleQuelleFotoco);
    ui.QueueFileChoice(data / "leer.zip");
    form->pbFotocoOpen->click();
    ASSERT_EQ(ui.file_requests.size(), 1u);
    EXPECT_EQ(ui.file_requests[0].initial_directory, data.path());
    EXPECT_EQ(form->Text(DialogControl::kSleQuelleFotoco), data / "leer.zip");
    EXPECT_EQ(form->lbFilesFotoco->count(), 0);  // an archive without members
    EXPECT_EQ(form->SelectedIndex(DialogControl::kLbFilesFotoco), -1);
}

TEST_F(FormSsTest, ChosenFileThatIsNoArchiveIsReportedAndKeptInTheSourceEdit) {
    WriteFile(data / "text.zip", "plain text");
    auto form = MakeForm();
    ui.QueueFileChoice(data / "text.zip");
    form->pbOpen->click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(form->Text(DialogControl::kSleQuelle), data / "text.zip");
    EXPECT_EQ(form->lbFiles->count(), 0);
}

TEST_F(FormSsTest, FowisBrowseUsesRememberedSourceAndSdfFilter) {
    Ini().WriteString("Settings", "QuellPfadFowis", "/srv/fowis/TRFOWIS.SDF");
    auto form = MakeForm();
    form->pgSS->setCurrentIndex(1);
    Focus(form->sleZielFowis);
    EXPECT_EQ(form->pbFowisOpen->y(), form->sleQuelleFowis->y());  // only the source moves it
    Focus(form->sleQuelleFowis);
    ui.QueueFileChoice("/srv/neu/trfowis.sdf");
    form->pbFowisOpen->click();
    ASSERT_EQ(ui.file_requests.size(), 1u);
    EXPECT_EQ(ui.file_requests[0].title, "DGH-Quelldatei öffnen");
    EXPECT_EQ(ui.file_requests[0].filter, "Fowis Quelldateien (*.sdf)|*.SDF");
    EXPECT_EQ(ui.file_requests[0].initial_directory, "/srv/fowis/TRFOWIS.SDF");
    EXPECT_EQ(form->Text(DialogControl::kSleQuelleFowis), "/srv/neu/trfowis.sdf");
}

TEST_F(FormSsTest, StartDispatchesByPageAndClearsTheReportFirst) {
    auto form = MakeForm();
    std::vector<size_t> report_sizes;
    on_run = [&](RunHost& host) {
        report_sizes.push_back(host.Report().size());
        host.Report().push_back("Zeile\r");
    };
    form->pgSS->setCurrentIndex(0);
    form->pbStart->click();
    form->pgSS->setCurrentIndex(1);
    form->pbStart->click();
    form->pgSS->setCurrentIndex(2);
    form->pbStart->click();
    // Any other page index runs the Fotoco run as well.
    form->pgSS->addTab(new QWidget, "weitere");
    form->pgSS->setCurrentIndex(3);
    form->pbStart->click();

    EXPECT_EQ(runs, (std::vector<std::string>{"dgh", "fowis", "fotoco", "fotoco"}));
    EXPECT_EQ(report_sizes, (std::vector<size_t>{0, 0, 0, 0}));
    EXPECT_EQ(form->Report().size(), 1u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FormSsTest, RunLocksTheDialogAndAThrowingRunUnlocksItAndIsShown) {
    auto form = MakeForm();
    form->show();
    auto locked_widgets = [&] {
        return std::vector<QWidget*>{form->pbStart,       form->pbClose,     form->pgSS,
                                     form->pbOpen,        form->pbFowisOpen, form->pbFotocoOpen,
                                     form->cbPool,        form->cbUpdate,    form->cbStandard,
                                     form->cbLagerUpdate, form->cbLagerNeu,  form->cbGhWg};
    };
    std::vector<bool> enabled_during;
    on_run = [&](RunHost&) {
        for (QWidget* w : locked_widgets()) enabled_during.push_back(w->isEnabled());
        form->pbStartClick();  // a second start while working
        form->pbStart->click();
        Press(form->sleAusgabe, Qt::Key_Escape);
        form->close();
        form->pbOpenClick();
        throw Error("Archive does not exist - FileName is blank");
    };
    form->pbStart->click();

    EXPECT_EQ(runs.size(), 1u);
    EXPECT_EQ(enabled_during, std::vector<bool>(locked_widgets().size(), false));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(ui.file_requests.empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(ui.messages[0].caption, "Fehler");
    EXPECT_EQ(ui.messages[0].text, "Archive does not exist - FileName is blank");
    for (QWidget* w : locked_widgets()) {
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_FALSE(form->RunWorking());

    // The dialog is ready for the next run.
    on_run = nullptr;
    form->pbStart->click();
    EXPECT_EQ(runs.size(), 2u);
}

TEST_F(FormSsTest, FocusAndEnableRequestsOfARunTakeEffectWhenItEnds) {
    auto form = MakeForm();
    form->show();
    QApplication::setActiveWindow(form.get());
    on_run = [&](RunHost& host) {
        host.SetEnabled(DialogControl::kPbStart, false);
        host.SetEnabled(DialogControl::kPbStart, true);
        host.SetEnabled(DialogControl::kPbClose, false);
        host.SetFocus(DialogControl::kSleAusgabe);
    };
    form->pbStart->click();
    EXPECT_TRUE(form->pbStart->isEnabled());
    EXPECT_FALSE(form->pbClose->isEnabled());
    EXPECT_EQ(form->focusWidget(), form->sleAusgabe);

    // Outside a run the requests act at once.
    form->SetEnabled(DialogControl::kPbClose, true);
    EXPECT_TRUE(form->pbClose->isEnabled());
    form->SetFocus(DialogControl::kLbFiles);
    EXPECT_EQ(form->focusWidget(), form->lbFiles);
}

class FormShowTest : public FormSsTest {};

TEST_F(FormShowTest, TransferDirectoryWithTrfowisOpensTheFowisPageOnIt) {
    Ini().WriteString("Settings", "QuellPfadFowis", "/alt/TRFOWIS.SDF");
    TempDir transfer;
    WriteFile(transfer / "TRFOWIS.SDF", "x");
    std::string without_slash = transfer.path();
    without_slash.pop_back();

    auto form = MakeForm();
    form->SetFowisTransferDirectory(without_slash);
    form->show();
    EXPECT_EQ(form->pgSS->currentIndex(), 1);
    EXPECT_EQ(form->Text(DialogControl::kSleQuelleFowis), transfer / "TRFOWIS.SDF");
    EXPECT_EQ(form->FowisTransferDirectory(), transfer.path());
}

TEST_F(FormShowTest, TrfowisIsFoundWhateverTheCaseOfItsName) {
    TempDir transfer;
    WriteFile(transfer / "trfowis.sdf", "x");
    auto form = MakeForm();
    form->SetFowisTransferDirectory(transfer.path());
    form->show();
    EXPECT_EQ(form->pgSS->currentIndex(), 1);
    EXPECT_EQ(form->Text(DialogControl::kSleQuelleFowis), transfer / "trfowis.sdf");
}

TEST_F(FormShowTest, TransferDirectoryWithoutTrfowisKeepsTheRememberedSource) {
    Ini().WriteString("Settings", "QuellPfadFowis", "/alt/TRFOWIS.SDF");
    TempDir transfer;
    WriteFile(transfer / "ANDERE.SDF", "x");
    auto form = MakeForm();
    form->SetFowisTransferDirectory(transfer.path());
    form->show();
    EXPECT_EQ(form->pgSS->currentIndex(), 0);
    EXPECT_EQ(form->Text(DialogControl::kSleQuelleFowis), "/alt/TRFOWIS.SDF");
}

TEST_F(FormShowTest, EmptyTransferDirectoryLooksInTheCurrentDirectory) {
    TempDir cwd;
    WriteFile(cwd / "TRFOWIS.SDF", "x");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(cwd.path());
    auto form = MakeForm();
    form->SetFowisTransferDirectory("");
    form->show();
    std::filesystem::current_path(previous);
    EXPECT_EQ(form->pgSS->currentIndex(), 1);
    EXPECT_EQ(form->Text(DialogControl::kSleQuelleFowis), "TRFOWIS.SDF");
    EXPECT_EQ(form->FowisTransferDirectory(), "");
}

TEST_F(FormSsTest, ControlsCarryTheirNamesCaptionsAndProperties) {
    auto form = MakeForm();
    for (const char* name :
         {"CoolBar",  "Panel1",          "pbStart",      "pbClose",       "pgSS",
          "tbDGH",    "sleQuelle",       "pbOpen",       "lbFiles",       "sleAusgabe",
          "tbFowis",  "sleQuelleFowis",  "pbFowisOpen",  "sleZielFowis",  "sleFaktorFowis",
          "tbFotoco", "sleQuelleFotoco", "pbFotocoOpen", "lbFilesFotoco", "sleAusgabeFotoco",
          "cbPool",   "cbUpdate",        "cbStandard",   "cbLagerUpdate", "cbLagerNeu",
          "gbPara",   "cbGhWg",          "cbGhLief",     "cbGhSuchcode",  "cbEkPr",
          "cbVkPr",   "StatusBar1"}) {
        EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
    }
    EXPECT_EQ(form->pgSS->tabText(0), "&DGH");
    EXPECT_EQ(form->pgSS->tabText(1), "&Fowis");
    EXPECT_EQ(form->pgSS->tabText(2), "Fotoco");
    EXPECT_EQ(form->pbStart->toolTip(), "Verarbeitung starten");
    EXPECT_EQ(form->pbClose->toolTip(), "Beenden");
    EXPECT_EQ(form->cbLagerUpdate->text(), "&Lagerupdate durchführen");
    EXPECT_EQ(form->cbVkPr->text(), "GH-&VK-Preis übernehmen");
    EXPECT_EQ(form->gbPara->title(), "JEV-Artikelstamm");
    EXPECT_TRUE(form->sleZielFowis->isReadOnly());
    EXPECT_FALSE(form->sleZielFowis->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->pbStart->icon().isNull());
    EXPECT_FALSE(form->pbOpen->icon().isNull());

    form->SetDataPathBand("/daten/jev/");
    EXPECT_EQ(form->lblDatenpfad->text(), "Datenpfad: /daten/jev/");

    // Tab order on the DGH page: source, member list, output path; the
    // read-only target on the Fowis page is no tab stop.
    auto next_tab_stop = [](QWidget* from) {
        QWidget* w = from->nextInFocusChain();
        while (w != from && !(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
        return w;
    };
    EXPECT_EQ(next_tab_stop(form->sleQuelle), form->lbFiles);
    EXPECT_EQ(next_tab_stop(form->lbFiles), form->sleAusgabe);
    EXPECT_EQ(next_tab_stop(form->sleQuelleFowis), form->sleFaktorFowis);
    EXPECT_EQ(next_tab_stop(form->sleQuelleFotoco), form->lbFilesFotoco);
    EXPECT_EQ(next_tab_stop(form->cbPool), form->cbUpdate);
    EXPECT_EQ(next_tab_stop(form->cbLagerUpdate), form->cbLagerNeu);
    // Accelerators reach their edits.
    QList<QLabel*> labels = form->tbDGH->findChildren<QLabel*>();
    bool quellarchiv = false;
    for (QLabel* label : labels) {
        if (label->text() == "&Quellarchiv:") quellarchiv = label->buddy() == form->sleQuelle;
    }
    EXPECT_TRUE(quellarchiv);
}

}  // namespace
}  // namespace zer1

namespace zer1 {
namespace {

// Every control a run can name is the dialog's widget of that object name.
TEST_F(FormSsTest, RunsReachEachControlByItsName) {
    auto form = MakeForm();
    for (int c = 0; c <= static_cast<int>(DialogControl::kCbVkPr); ++c) {
        const auto control = static_cast<DialogControl>(c);
        QWidget* named = form->findChild<QWidget*>(ControlName(control));
        ASSERT_NE(named, nullptr) << ControlName(control);
        form->SetEnabled(control, false);
        EXPECT_FALSE(named->isEnabled()) << ControlName(control);
        form->SetEnabled(control, true);
        EXPECT_TRUE(named->isEnabled()) << ControlName(control);
    }
}

}  // namespace
}  // namespace zer1
