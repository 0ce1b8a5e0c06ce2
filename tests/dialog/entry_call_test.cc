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

#include "dialog/parameter_table.h"
#include "tests/common/temp_dir.h"

namespace {

using EntryPoint = void (*)(const char*, const char*);

// Program directory of this test: where the library keeps zer1.ini.  The
// file is put back as it was after the test.
class IniGuard {
public:
    explicit IniGuard(std::string path) : path_(std::move(path)) {
        had_ = zer1::testing::PathExists(path_);
        if (had_) old_ = zer1::testing::ReadFile(path_);
        std::filesystem::remove(path_);
    }
    ~IniGuard() {
        std::error_code ignored;
        if (had_) {
            zer1::testing::WriteFile(path_, old_);
        } else {
            std::filesystem::remove(path_, ignored);
        }
    }

private:
    std::string path_;
    bool had_ = false;
    std::string old_;
};

// The host's parameter table beside the program, made for the test when the
// folder has none and removed again afterwards.
class ParameterTableGuard {
public:
    ParameterTableGuard() {
        made_ = !zer1::testing::PathExists(path_) &&
                zer1::CreateParameterTable(ZER1_LIBRARY_DIR, "0000000");
    }
    ~ParameterTableGuard() {
        std::error_code ignored;
        if (made_) std::filesystem::remove(path_, ignored);
    }

private:
    std::string path_ = std::string(ZER1_LIBRARY_DIR "/") + zer1::kParameterTableName;
    bool made_ = false;
};

TEST(EntryCallTest, HostCallShowsTheDialogAndReturnsWhenItCloses) {
    IniGuard ini(ZER1_LIBRARY_DIR "/zer1.ini");
    ParameterTableGuard parameters;
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
