// Calls gwSsDGH the way a Qt host does: load libzer1.so at run time, call
// the entry point, and close the dialog once it is shown.  Checks the
// caption with the library's file version, the data path band, the Fowis
// transfer directory and that closing saved the options beside the program.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <cstdlib>
#include <filesystem>

#include "tests/support/ini_guard.h"
#include "tests/support/parameter_table_guard.h"
#include "tests/support/temp_dir.h"

namespace {

using EntryPoint = void (*)(const char*, const char*);

// What the dialog showed during one call of the entry point.
struct ShownDialog {
    bool found = false;
    QString caption, band, fowis_source;
    int page = -1;
};

EntryPoint LoadEntryPoint() {
    void* library = dlopen(ZER1_LIBRARY_DIR "/libzer1.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    return reinterpret_cast<EntryPoint>(dlsym(library, "gwSsDGH"));
}

// Calls the entry point; once the dialog is up, notes what it shows, checks
// cbStandard and closes it.
ShownDialog CallAndClose(EntryPoint entry, const char* data_path, const char* transfer) {
    ShownDialog shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || dialog->objectName() != "formSs") return;
        poll.stop();
        shown.found = true;
        shown.caption = dialog->windowTitle();
        shown.band = dialog->findChild<QLabel*>("lblDatenpfad")->text();
        shown.page = dialog->findChild<QTabWidget*>("pgSS")->currentIndex();
        shown.fowis_source = dialog->findChild<QLineEdit*>("sleQuelleFowis")->text();
        dialog->findChild<QCheckBox*>("cbStandard")->setChecked(true);
        dialog->close();
    });
    poll.start(10);
    entry(data_path, transfer);
    return shown;
}

class EntryCallTest : public ::testing::Test {
protected:
    zer1::testing::IniGuard ini{ZER1_LIBRARY_DIR};
    zer1::testing::ParameterTableGuard parameters{ZER1_LIBRARY_DIR};
};

TEST_F(EntryCallTest, HostCallShowsTheDialogAndReturnsWhenItCloses) {
    ASSERT_TRUE(zer1::testing::PathExists(ZER1_LIBRARY_DIR "/VUROZE.LIC"));
    zer1::testing::TempDir data;
    zer1::testing::TempDir transfer;
    zer1::testing::WriteFile(transfer / "TRFOWIS.SDF", "x");
    const EntryPoint entry = LoadEntryPoint();
    ASSERT_NE(entry, nullptr) << dlerror();

    std::string transfer_dir = transfer.path();
    transfer_dir.pop_back();
    const ShownDialog shown = CallAndClose(entry, data.path().c_str(), transfer_dir.c_str());

    ASSERT_TRUE(shown.found);
    EXPECT_EQ(shown.caption, "JEV-Schnittstellen V1.00R18");
    EXPECT_EQ(shown.band.toStdString(), "Datenpfad: " + data.path());
    EXPECT_EQ(shown.page, 1);
    EXPECT_EQ(shown.fowis_source.toStdString(), transfer / "TRFOWIS.SDF");
    const std::string saved = zer1::testing::ReadFile(ini.path());
    EXPECT_NE(saved.find("Standard=1"), std::string::npos);
    EXPECT_NE(saved.find("Pool=0"), std::string::npos);
}

// The host's texts are 8-bit: UTF-8 is taken as it is, other bytes are read
// as Windows-1252; a null pointer is the empty text.
TEST_F(EntryCallTest, HostTextsInEitherEncodingAndNullPointers) {
    ASSERT_TRUE(zer1::testing::PathExists(ZER1_LIBRARY_DIR "/VUROZE.LIC"));
    const EntryPoint entry = LoadEntryPoint();
    ASSERT_NE(entry, nullptr) << dlerror();

    ShownDialog shown = CallAndClose(entry, "/daten/m\xfcller/", nullptr);
    ASSERT_TRUE(shown.found);
    EXPECT_EQ(shown.band, QString::fromUtf8("Datenpfad: /daten/müller/"));

    shown = CallAndClose(entry, "/daten/m\xc3\xbcller/", "");
    ASSERT_TRUE(shown.found);
    EXPECT_EQ(shown.band, QString::fromUtf8("Datenpfad: /daten/müller/"));

    shown = CallAndClose(entry, nullptr, nullptr);
    ASSERT_TRUE(shown.found);
    EXPECT_EQ(shown.band, "Datenpfad: ");
}

// Texts of Qt's own widgets: the standard context menu of a line edit (the
// captions without their shortcuts) and the file dialog's "Look in" label and
// buttons.
struct QtOwnTexts {
    QStringList menu, file_dialog;
};

QStringList MenuCaptions(QLineEdit* edit) {
    std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
    QStringList captions;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) captions << action->text().section('\t', 0, 0);
    }
    return captions;
}

// Qt's own texts are German while the call lasts, and English again after it.
TEST_F(EntryCallTest, QtOwnTextsAreGermanForTheLengthOfTheCall) {
    ASSERT_TRUE(zer1::testing::PathExists(ZER1_LIBRARY_DIR "/VUROZE.LIC"));
    const EntryPoint entry = LoadEntryPoint();
    ASSERT_NE(entry, nullptr) << dlerror();
    zer1::testing::TempDir data;

    QtOwnTexts during;
    bool browsing = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            during.file_dialog << files->findChild<QLabel*>("lookInLabel")->text();
            for (QAbstractButton* button : files->findChild<QDialogButtonBox*>()->buttons()) {
                during.file_dialog << button->text();
            }
            files->reject();
        } else if (modal != nullptr && modal->objectName() == "formSs") {
            if (browsing) {
                poll.stop();
                modal->close();
                return;
            }
            browsing = true;
            during.menu = MenuCaptions(modal->findChild<QLineEdit*>("sleQuelle"));
            QMetaObject::invokeMethod(modal->findChild<QToolButton*>("pbOpen"),
                                      &QToolButton::click, Qt::QueuedConnection);
        }
    });
    poll.start(10);
    entry(data.path().c_str(), nullptr);

    EXPECT_EQ(during.file_dialog.join('|').toStdString(), "Suchen in:|&Öffnen|Abbrechen");
    EXPECT_TRUE(during.menu.contains("&Rückgängig")) << during.menu.join('|').toStdString();
    EXPECT_TRUE(during.menu.contains("Alles auswählen")) << during.menu.join('|').toStdString();
    QLineEdit after;
    EXPECT_TRUE(MenuCaptions(&after).contains("&Undo"));
}

}  // namespace
