// The watchdog of the Qt test programs: a message box nobody closes fails the
// running test with its text and is closed, so the program goes on.
#include "tests/support/modal_watchdog.h"

#include <gtest/gtest-spi.h>

namespace {

TEST(ModalWatchdog, MessageBoxNobodyClosesFailsTheTestAndIsClosed) {
    zer1::testing::ModalWatchdog watchdog(300);
    QMessageBox box(QMessageBox::Critical, "Fehler", "Niemand klickt hier.");
    box.setObjectName("unerwartet");
    EXPECT_NONFATAL_FAILURE(box.exec(), "\"Fehler\" (unerwartet): Niemand klickt hier.");
    EXPECT_FALSE(box.isVisible());
}

}  // namespace
