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
#include "fowis/fowis_run.h"
#include "run/parameter_table.h"
#include "run/settings_file.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using namespace std::string_literals;

// A 402-character price list line with firm A123 and the article number.
std::string PriceLine(const std::string& article_number) {
    std::string line(402, ' ');
    line.replace(0, 4, "A123");
    line.replace(8, article_number.size(), article_number);
    return line;
}

class DialogFowisRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        ASSERT_TRUE(CreateParameterTable(program.path(), ""));  // the host's parameter table
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
    testing::WriteFile(lists / "TRFOWIS.SDF", PriceLine("4711") + "\r\n");
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

// What a user may choose by mistake.  Blank lines in a list are passed over;
// an empty list, one of blank lines only, a ZIP archive and a PDF are refused
// with their message, and neither the price table nor the settings change.
TEST_F(DialogFowisRunTest, WrongOrEmptySourceLeavesThePriceTableAlone) {
    const std::string source = lists / "TRFOWIS.SDF";
    form->sleQuelleFowis->setText(QString::fromStdString(source));
    testing::WriteFile(source, PriceLine("1") + "\r\n\r\n" + std::string(30, ' ') + "\r\n\n" +
                                   PriceLine("2") + "\r\n");
    form->pbStart->click();
    ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    {
        TApolloTable prices;
        prices.SetDatabaseName(data.path());
        prices.SetTableName("fowispr.dbf");
        prices.Open();
        EXPECT_EQ(prices.RecordCount(), 2);
    }
    const std::string before = testing::ReadFile(data / "fowispr.dbf");

    const std::string no_records = "Die Datei \"" + source + "\" enthält keine Datensätze!";
    auto invalid_line = [&](int line) {
        return "Zeile " + std::to_string(line) + " der Datei \"" + source +
               "\" ist keine gültige Fowis-Zeile!";
    };
    const std::pair<std::string, std::string> cases[] = {
        {"", no_records},
        {"\r\n   \r\n\n", no_records},
        {"PK\x03\x04\x14\x00\x00\x00\x08\x00"s, invalid_line(1)},
        {"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Length 9 >>\nstream\nx\x9c\x03\x00\x01\n"s,
         invalid_line(6)},
    };
    form->sleFaktorFowis->SetValue(2);
    for (const auto& [content, message] : cases) {
        testing::WriteFile(source, content);
        ui.messages.clear();
        form->sleFaktorFowis->setFocus();
        form->pbStart->click();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].kind, MessageKind::kError);
        EXPECT_EQ(ui.messages[0].text, message);
        EXPECT_EQ(form->focusWidget(), form->sleQuelleFowis);
        EXPECT_EQ(testing::ReadFile(data / "fowispr.dbf"), before) << message;
        EXPECT_TRUE(form->pbStart->isEnabled());
    }
    EXPECT_EQ(SettingsFile(program / "zer1.ini").ReadInteger("Settings", "FaktorFowis", -1), 0);
}

}  // namespace
}  // namespace zer1
