// Calls gwSsDGH from a host without any QApplication, as jevhost does: the
// library makes one for the length of the call and removes it afterwards,
// so the call can be repeated.  A helper thread closes the dialog once it is
// up, through the event queue of the library's application.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/ini_guard.h"
#include "tests/support/modal_watchdog.h"
#include "tests/support/parameter_table_guard.h"
#include "tests/support/temp_dir.h"

namespace {

using EntryPoint = void (*)(const char*, const char*);
using namespace std::chrono_literals;

// Posts one probe at a time to the library's application; the probe closes
// the interfaces dialog when it is the active modal window, and any other
// modal window (a message box) that stays up for 10 s, noting it.  No probe is
// posted after the dialog was closed, so none can reach a removed
// application; Stop() ends the helper when the call returned without a
// dialog to close.
class DialogCloser {
  public:
    DialogCloser()
        : thread_([this] {
              while (!stop_ && QCoreApplication::instance() == nullptr) {
                  std::this_thread::sleep_for(5ms);
              }
              std::this_thread::sleep_for(100ms);
              while (!stop_ && !closed_) {
                  std::atomic<bool> ran{false};
                  QMetaObject::invokeMethod(
                      QCoreApplication::instance(),
                      [this, &ran] {
                          QWidget* dialog = QApplication::activeModalWidget();
                          if (dialog != nullptr && dialog->objectName() == "formSs") {
                              dialog->findChild<QCheckBox*>("cbUpdate")->setChecked(true);
                              closed_ = true;
                              dialog->close();
                          } else if (dialog != stuck_) {
                              stuck_ = dialog;
                              stuck_since_ = std::chrono::steady_clock::now();
                          } else if (dialog != nullptr &&
                                     std::chrono::steady_clock::now() - stuck_since_ > 10s) {
                              unexpected_ += zer1::testing::DescribeModal(dialog).toStdString();
                              stuck_ = nullptr;
                              zer1::testing::CloseModal(dialog);
                          }
                          ran = true;
                      },
                      Qt::QueuedConnection);
                  while (!stop_ && !ran) std::this_thread::sleep_for(2ms);
                  if (!closed_) std::this_thread::sleep_for(20ms);
              }
          }) {}
    ~DialogCloser() {
        stop_ = true;
        thread_.join();
    }

    bool closed() const { return closed_; }
    // The modal windows other than the dialog that had to be closed.
    const std::string& unexpected() const { return unexpected_; }

  private:
    // Touched by the probes only, in the application's thread.
    QWidget* stuck_ = nullptr;
    std::chrono::steady_clock::time_point stuck_since_;
    std::string unexpected_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> closed_{false};
    std::thread thread_;
};

TEST(EntryOwnApplicationTest, CallWithoutHostApplicationMakesAndRemovesItsOwn) {
    zer1::testing::IniGuard ini(ZER1_LIBRARY_DIR);
    zer1::testing::ParameterTableGuard parameters(ZER1_LIBRARY_DIR);
    ASSERT_TRUE(zer1::testing::PathExists(ZER1_LIBRARY_DIR "/VUROZE.LIC"));

    void* library = dlopen(ZER1_LIBRARY_DIR "/libzer1.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<EntryPoint>(dlsym(library, "gwSsDGH"));
    ASSERT_NE(entry, nullptr);
    zer1::testing::TempDir data;

    for (int call = 0; call < 2; ++call) {
        ASSERT_EQ(QCoreApplication::instance(), nullptr);
        bool closed = false;
        {
            DialogCloser closer;
            entry(data.path().c_str(), nullptr);
            closed = closer.closed();
            EXPECT_EQ(closer.unexpected(), "") << "call " << call;
        }
        EXPECT_TRUE(closed) << "call " << call;
        EXPECT_EQ(QCoreApplication::instance(), nullptr) << "call " << call;
    }
    EXPECT_NE(zer1::testing::ReadFile(ini.path()).find("Update=1"), std::string::npos);
}

}  // namespace
