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

#include "tests/common/temp_dir.h"

namespace {

using EntryPoint = void (*)(const char*, const char*);
using namespace std::chrono_literals;

// Posts one probe at a time to the library's application; the probe closes
// the interfaces dialog when it is the active modal window.  No probe is
// posted after the dialog was closed, so none can reach a removed application.
class DialogCloser {
public:
    DialogCloser()
        : thread_([this] {
              while (QCoreApplication::instance() == nullptr) std::this_thread::sleep_for(5ms);
              std::this_thread::sleep_for(100ms);
              while (!closed_) {
                  std::atomic<bool> ran{false};
                  QMetaObject::invokeMethod(
                      QCoreApplication::instance(),
                      [this, &ran] {
                          QWidget* dialog = QApplication::activeModalWidget();
                          if (dialog != nullptr && dialog->objectName() == "formSs") {
                              dialog->findChild<QCheckBox*>("cbUpdate")->setChecked(true);
                              closed_ = true;
                              dialog->close();
                          }
                          ran = true;
                      },
                      Qt::QueuedConnection);
                  while (!ran) std::this_thread::sleep_for(2ms);
                  if (!closed_) std::this_thread::sleep_for(20ms);
              }
          }) {}
    ~DialogCloser() { thread_.join(); }

private:
    std::atomic<bool> closed_{false};
    std::thread thread_;
};

TEST(EntryOwnApplicationTest, CallWithoutHostApplicationMakesAndRemovesItsOwn) {
    const std::string ini_path = ZER1_LIBRARY_DIR "/zer1.ini";
    const bool had_ini = zer1::testing::PathExists(ini_path);
    const std::string old_ini = had_ini ? zer1::testing::ReadFile(ini_path) : "";

    void* library = dlopen(ZER1_LIBRARY_DIR "/libzer1.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<EntryPoint>(dlsym(library, "gwSsDGH"));
    ASSERT_NE(entry, nullptr);
    zer1::testing::TempDir data;

    for (int call = 0; call < 2; ++call) {
        ASSERT_EQ(QCoreApplication::instance(), nullptr);
        {
            DialogCloser closer;
            entry(data.path().c_str(), nullptr);
        }
        EXPECT_EQ(QCoreApplication::instance(), nullptr) << "call " << call;
    }
    const std::string saved = zer1::testing::ReadFile(ini_path);
    EXPECT_NE(saved.find("Update=1"), std::string::npos);

    if (had_ini) {
        zer1::testing::WriteFile(ini_path, old_ini);
    } else {
        std::remove(ini_path.c_str());
    }
}

}  // namespace
