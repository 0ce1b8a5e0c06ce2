// The main of the Qt test programs: one QApplication for the whole program,
// on the offscreen platform unless another one is asked for, and a watchdog
// that fails a test leaving a modal window open instead of waiting for ever.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/modal_watchdog.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    zer1::testing::ModalWatchdog watchdog;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
