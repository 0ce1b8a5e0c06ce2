// The Fowis run started from the dialog as the user does it: the run reads
// the page's fields through the dialog, its messages, focus moves and button
// states reach the dialog, and its progress window is gone afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>

#include "common/ui_services.h"
#include "controls/number_edit_qt.h"
#include "dialog/form_progress.h"
#include "dialog/form_ss.h"
#include "dialog/settings_file.h"
#include "fowis/fowis_run.h"
#include "storage/engine_loader.h"
#include "tests/common/temp_dir.h"

namespace zer1 {
namespace {

class DialogFowisRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        FormSsSetup setup;
        setup.data_path = data.path();
        setup.program_directory = program.path();
        setup.runs.fowis = &RunFowisConversion;
        form = std::make_unique<TformSs>(std::move(setup));
        form->show();
        QApplication::setActiveWindow(form.get());
        form->pgSS->setCurrentIndex(1);
    }

    testing::TempDir program;
    testing::TempDir data;
    testing::TempDir lists;
    RecordingUiServices ui;
    ScopedUiServices scoped_ui{&ui};
    std::unique_ptr<TformSs> form;
};

TEST_F(DialogFowisRunTest, MissingSourceIsReportedAndTheFocusGoesToTheSourceAfterTheRun) {
    form->sleQuelleFowis->setText(QString::fromStdString(lists / "TRFOWIS.SDF"));
    form->pbStart->click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(ui.messages[0].text, "Die Datei \"" + (lists / "TRFOWIS.SDF") + "\" existiert nicht!");
    EXPECT_EQ(form->focusWidget(), form->sleQuelleFowis);
    EXPECT_TRUE(form->pbStart->isEnabled());
    EXPECT_TRUE(form->pbClose->isEnabled());
    EXPECT_FALSE(testing::PathExists(program / "zer1.ini"));
}

TEST_F(DialogFowisRunTest, SuccessfulRunLeavesThePriceTableAndAReadyDialog) {
    testing::WriteFile(lists / "TRFOWIS.SDF", "");
    form->sleQuelleFowis->setText(QString::fromStdString(lists / "TRFOWIS.SDF"));
    form->sleFaktorFowis->SetValue(1.25L);
    form->pbStart->click();

    EXPECT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    EXPECT_TRUE(testing::PathExists(data / "fowispr.dbf") || testing::PathExists(data / "FOWISPR.DBF"));
    SettingsFile ini(program / "zer1.ini");
    EXPECT_EQ(ini.ReadInteger("Settings", "FaktorFowis", 0), 12500);
    EXPECT_EQ(ini.ReadString("Settings", "QuellPfadFowis", ""), lists / "TRFOWIS.SDF");
    EXPECT_TRUE(form->pbStart->isEnabled());
    EXPECT_TRUE(form->pbClose->isEnabled());
    EXPECT_TRUE(form->pgSS->isEnabled());
    EXPECT_TRUE(form->findChildren<TformProgress*>().isEmpty());

    // The next start works on the same dialog.
    form->pbStart->click();
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace zer1
