// Calls gwSsDGH the way a Qt host does: load libzer1.so at run time, call
// the entry point, and close the dialog once it is shown.  Checks the
// caption with the library's file version, the data path band, the Fowis
// transfer directory and that closing saved the options beside the program.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "tests/common/temp_dir.h"
#include "tests/dialog/program_files.h"

namespace {

using EntryPoint = void (*)(const char*, const char*);

TEST(EntryCallTest, HostCallShowsTheDialogAndReturnsWhenItCloses) {
    zer1::testing::IniGuard ini(ZER1_LIBRARY_DIR);
    zer1::testing::ParameterTableGuard parameters(ZER1_LIBRARY_DIR);
    ASSERT_TRUE(parameters.present());
    zer1::testing::TempDir data;
    zer1::testing::TempDir transfer;
    zer1::testing::WriteFile(transfer / "TRFOWIS.SDF", "x");

    void* library = dlopen(ZER1_LIBRARY_DIR "/libzer1.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<EntryPoint>(dlsym(library, "gwSsDGH"));
    ASSERT_NE(entry, nullptr);

    QString caption, band, fowis_source;
    int page = -1;
    bool found = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || dialog->objectName() != "formSs") return;
        poll.stop();
        found = true;
        caption = dialog->windowTitle();
        band = dialog->findChild<QLabel*>("lblDatenpfad")->text();
        page = dialog->findChild<QTabWidget*>("pgSS")->currentIndex();
        fowis_source = dialog->findChild<QLineEdit*>("sleQuelleFowis")->text();
        dialog->findChild<QCheckBox*>("cbStandard")->setChecked(true);
        dialog->close();
    });
    poll.start(10);
    std::string transfer_dir = transfer.path();
    transfer_dir.pop_back();
    entry(data.path().c_str(), transfer_dir.c_str());

    ASSERT_TRUE(found);
    EXPECT_EQ(caption, "JEV-Schnittstellen V1.00R18");
    EXPECT_EQ(band.toStdString(), "Datenpfad: " + data.path());
    EXPECT_EQ(page, 1);
    EXPECT_EQ(fowis_source.toStdString(), transfer / "TRFOWIS.SDF");
    const std::string saved = zer1::testing::ReadFile(ZER1_LIBRARY_DIR "/zer1.ini");
    EXPECT_NE(saved.find("Standard=1"), std::string::npos);
    EXPECT_NE(saved.find("Pool=0"), std::string::npos);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
