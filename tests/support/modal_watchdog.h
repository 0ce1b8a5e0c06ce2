// A guard for test programs that show modal windows: a modal window that
// stays the active one longer than a limit (a message box nobody expected, a
// dialog no test closes) fails the running test with its caption and text
// and is closed, so that the program goes on instead of waiting for ever.
#ifndef ZER1_TESTS_SUPPORT_MODAL_WATCHDOG_H
#define ZER1_TESTS_SUPPORT_MODAL_WATCHDOG_H

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace zer1::testing {

// What a modal window shows: its caption, and a message box's text.
inline QString DescribeModal(QWidget* window) {
    QString what = "\"" + window->windowTitle() + "\" (" + window->objectName() + ")";
    if (auto* box = qobject_cast<QMessageBox*>(window)) what += ": " + box->text();
    return what;
}

// Closes a modal window: a dialog (message boxes included) is rejected.
inline void CloseModal(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->reject();
    } else {
        window->close();
    }
}

class ModalWatchdog {
  public:
    // Lives in the thread of the application, which must exist already.
    explicit ModalWatchdog(int limit_ms = 10000) : limit_ms_(limit_ms) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Check(); });
        timer_.start(100);
    }

  private:
    void Check() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != watched_.data()) {
            watched_ = modal;
            since_.start();
            return;
        }
        if (modal == nullptr || since_.elapsed() < limit_ms_) return;
        ADD_FAILURE() << "modal window left open for " << limit_ms_ / 1000
                      << " s, closed by the watchdog: " << DescribeModal(modal).toStdString();
        watched_ = nullptr;
        CloseModal(modal);
    }

    int limit_ms_;
    QTimer timer_;
    QPointer<QWidget> watched_;
    QElapsedTimer since_;
};

}  // namespace zer1::testing

#endif  // ZER1_TESTS_SUPPORT_MODAL_WATCHDOG_H
