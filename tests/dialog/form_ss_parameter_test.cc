// The dialog's start-up with the host's parameter table: the take-over check
// boxes follow SCHALTER, a table that cannot be read ends the dialog at once
// without reading or writing settings, and a table without SCHALTER only
// leaves the switches off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <memory>

#include "common/ui_services.h"
#include "dialog/form_ss.h"
#include "run/parameter_table.h"
#include "run/settings_file.h"
#include "storage/engine_loader.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;

class FormSsParameterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        engine();
    }

    std::unique_ptr<TformSs> MakeForm() {
        FormSsSetup setup;
        setup.data_path = data.path();
        setup.program_directory = program.path();
        setup.runs.dgh = [this](RunHost&) { ++runs; };
        setup.runs.fowis = [this](RunHost&) { ++runs; };
        setup.runs.fotoco = [this](RunHost&) { ++runs; };
        return std::make_unique<TformSs>(std::move(setup));
    }

    // Counts the times a widget is shown.
    struct ShowCounter : QObject {
        int shows = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show) ++shows;
            return false;
        }
    };

    // Runs the dialog modally as the entry point does; a dialog still open
    // after a few seconds is closed and reported.
    bool ExecEndsByItself(TformSs& form) {
        bool timed_out = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            timed_out = true;
            form.reject();
        });
        guard.start(5000);
        form.exec();
        return !timed_out;
    }

    void RememberSettings() {
        SettingsFile ini(program / "zer1.ini");
        ini.WriteString("Settings", "Zielpfad", "/tmp/aus");
        ini.WriteBool("Settings", "Pool", true);
        ini.WriteBool("Settings", "Lagerupdate", true);
    }

    static std::vector<bool> TakeOverBoxes(const TformSs& form) {
        return {form.cbGhWg->isChecked(), form.cbGhLief->isChecked(),
                form.cbGhSuchcode->isChecked(), form.cbEkPr->isChecked(), form.cbVkPr->isChecked()};
    }

    TempDir program;
    TempDir data;
    RecordingUiServices ui;
    ScopedUiServices scoped_ui{&ui};
    int runs = 0;
};

TEST_F(FormSsParameterTest, TakeOverBoxesFollowSchalter) {
    RememberSettings();
    ASSERT_TRUE(CreateParameterTable(program.path(), "1111001"));
    {
        auto form = MakeForm();
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(TakeOverBoxes(*form), std::vector<bool>(5, true));
        // The rest of the start-up ran: settings read, gbPara shown by Lagerupdate.
        EXPECT_EQ(form->sleAusgabe->text().toStdString(), "/tmp/aus");
        EXPECT_TRUE(form->gbPara->isVisibleTo(form.get()));
    }
    ASSERT_TRUE(CreateParameterTable(program.path(), "1111000"));
    auto form = MakeForm();
    EXPECT_EQ(TakeOverBoxes(*form), (std::vector<bool>{true, true, true, true, false}));
    ASSERT_TRUE(CreateParameterTable(program.path(), ""));
    auto third = MakeForm();
    EXPECT_EQ(TakeOverBoxes(*third), std::vector<bool>(5, false));
    EXPECT_EQ(ui.quit_requests, 0);
}

TEST_F(FormSsParameterTest, MissingTableEndsTheDialogAtOnceAndLeavesSettingsAlone) {
    RememberSettings();
    const std::string ini_before = ReadFile(program / "zer1.ini");

    auto form = MakeForm();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(ui.messages[0].text, "Schwerer Fehler! Programm wird beendet!");
    EXPECT_EQ(ui.quit_requests, 1);
    // The rest of the start-up was skipped.
    EXPECT_TRUE(form->sleAusgabe->text().isEmpty());
    EXPECT_FALSE(form->cbPool->isChecked());

    ShowCounter counter;
    form->installEventFilter(&counter);
    EXPECT_TRUE(ExecEndsByItself(*form));
    EXPECT_EQ(counter.shows, 0);  // no dialog flashes up before it ends
    EXPECT_EQ(form->result(), QDialog::Rejected);
    form->removeEventFilter(&counter);
    form->pbStartClick();
    EXPECT_EQ(runs, 0);
    form->close();
    form.reset();
    EXPECT_EQ(ReadFile(program / "zer1.ini"), ini_before);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(FormSsParameterTest, WrongPasswordEndsTheDialogWithoutCreatingSettings) {
    ASSERT_TRUE(CreateParameterTable(program.path(), "1111001", "nicht-das-passwort"));
    auto form = MakeForm();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Schwerer Fehler! Programm wird beendet!");
    EXPECT_EQ(ui.quit_requests, 1);
    EXPECT_EQ(TakeOverBoxes(*form), std::vector<bool>(5, false));
    // Closed by the user before it could end by itself: still nothing is written.
    form->cbPool->setChecked(true);
    form->show();
    form->pbClose->click();
    EXPECT_FALSE(form->isVisible());
    QApplication::processEvents();
    form.reset();
    EXPECT_FALSE(PathExists(program / "zer1.ini"));
}

TEST_F(FormSsParameterTest, TableWithoutSchalterStartsWithSwitchesOffAndGoesOn) {
    RememberSettings();
    TApolloTable maker;
    ASSERT_TRUE(maker.CreateNew(program / "VUROZE.LIC", kTableTypeNtx, 1));
    maker.CreateField("FIRMA", "C", 40, 0);
    engine().CreatePassword(HostTablePassword().c_str());
    ASSERT_TRUE(maker.CreateExec());

    auto form = MakeForm();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("SCHALTER"), std::string::npos);
    EXPECT_EQ(ui.quit_requests, 0);
    EXPECT_EQ(TakeOverBoxes(*form), std::vector<bool>(5, false));
    EXPECT_EQ(form->sleAusgabe->text().toStdString(), "/tmp/aus");

    // The dialog works as usual: a start runs, and closing saves the options.
    form->show();
    form->pbStartClick();
    EXPECT_EQ(runs, 1);
    form->cbPool->setChecked(false);
    form->pbClose->click();
    EXPECT_NE(ReadFile(program / "zer1.ini").find("Pool=0"), std::string::npos);
}

}  // namespace
}  // namespace zer1
