// The progress window: a tool window on top without close button, whose bar
// only the run and the engine's index-build reports move.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <stdexcept>

#include "common/ui_services.h"
#include "dialog/form_progress.h"
#include "dialog/form_ss.h"
#include "run/parameter_table.h"
#include "run/settings_file.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

class ProgressTest : public ::testing::Test {
  protected:
    std::unique_ptr<TformSs> MakeForm() {
        EXPECT_TRUE(CreateParameterTable(program.path(), ""));  // the host's parameter table
        FormSsSetup setup;
        setup.data_path = program.path();
        setup.program_directory = program.path();
        return std::make_unique<TformSs>(std::move(setup));
    }

    testing::TempDir program;
    RecordingUiServices ui;
    ScopedUiServices scoped_ui{&ui};
};

TEST_F(ProgressTest, WindowIsAnUncloseableToolWindowOnTop) {
    auto form = MakeForm();
    std::unique_ptr<ProgressWindow> progress = form->OpenProgress();
    auto* window = static_cast<ProgressWindowHandle*>(progress.get())->window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWidget(), form.get());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(window->windowTitle(), "Information");
    EXPECT_EQ(window->lblInfo->objectName(), "lblInfo");
    EXPECT_EQ(window->ProgressBar->objectName(), "ProgressBar");
    EXPECT_EQ(progress->Maximum(), 100);
    EXPECT_EQ(progress->Tag(), 0);

    progress->SetCaption("Info");
    progress->SetInfo("Pool wird aktualisiert...");
    progress->Show();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Info");
    EXPECT_EQ(window->lblInfo->text(), "Pool wird aktualisiert...");

    // The user can neither close it nor move its bar.
    progress->SetMaximum(250);
    progress->SetPosition(200);
    window->close();
    EXPECT_TRUE(window->isVisible());
    for (int key : {Qt::Key_Escape, Qt::Key_Right, Qt::Key_End, Qt::Key_Home, Qt::Key_Plus}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window, &press);
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(progress->Position(), 200);

    // Dropping the run's handle closes and releases the window.
    QPointer<TformProgress> watch(window);
    progress.reset();
    EXPECT_TRUE(watch.isNull());
}

TEST_F(ProgressTest, BarKeepsPositionsWithinItsRangeAndShowsAnEmptyTable) {
    auto form = MakeForm();
    auto progress = form->OpenProgress();
    progress->SetMaximum(99);
    progress->SetPosition(150);
    EXPECT_EQ(progress->Position(), 99);
    progress->SetPosition(-3);
    EXPECT_EQ(progress->Position(), 0);
    progress->SetMaximum(0);
    EXPECT_EQ(progress->Maximum(), 0);
    EXPECT_EQ(progress->Position(), 0);
    auto* bar = static_cast<ProgressWindowHandle*>(progress.get())->window()->ProgressBar;
    EXPECT_GT(bar->maximum(), bar->minimum());  // no busy indicator
}

TEST_F(ProgressTest, EngineReportsMoveTheBarOnlyDuringAnIndexBuild) {
    auto form = MakeForm();
    auto progress = form->OpenProgress();
    progress->SetMaximum(500);
    progress->SetPosition(7);
    ProgressHookFn hook = progress->EngineHook();
    void* context = progress->EngineHookContext();

    hook(context, 40);
    EXPECT_EQ(progress->Position(), 7);  // not building: ignored

    try {
        EngineProgressScope build(*progress);
        EXPECT_EQ(progress->Tag(), ProgressWindow::kEngineProgressTag);
        EXPECT_EQ(progress->Maximum(), 100);
        EXPECT_EQ(progress->Position(), 0);
        hook(context, 35);
        EXPECT_EQ(progress->Position(), 35);
        hook(context, 100);
        EXPECT_EQ(progress->Position(), 100);
        throw std::runtime_error("Indexfehler");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(progress->Tag(), 0);
    hook(context, 10);
    EXPECT_EQ(progress->Position(), 100);
}

}  // namespace
}  // namespace zer1
