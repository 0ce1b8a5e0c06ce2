// The Qt UI services' translations of the host's notations, and the message
// box as the user sees it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "dialog/qt_ui_services.h"

namespace zer1 {
namespace {

TEST(QtUiServicesTest, BarFiltersBecomeCaseFreeQtFilters) {
    EXPECT_EQ(QtFileFilter("ZIP-Archive|*.zip|Alle Dateien|*.*"),
              "ZIP-Archive (*.[zZ][iI][pP]);;Alle Dateien (*)");
    EXPECT_EQ(QtFileFilter("Fowis Quelldateien (*.sdf)|*.SDF"),
              "Fowis Quelldateien (*.sdf) (*.[sS][dD][fF])");
    EXPECT_EQ(QtFileFilter("Tabellen|*.dbf;*.ntx"), "Tabellen (*.[dD][bB][fF] *.[nN][tT][xX])");
}

TEST(QtUiServicesTest, CarriageReturnsBreakLines) {
    EXPECT_EQ(MessageBoxText("a\rb\r"), "a\nb\n");
    EXPECT_EQ(MessageBoxText("a\r\nb"), "a\nb");
    EXPECT_EQ(MessageBoxText("Lagerupdate: 3 Änderungen"), "Lagerupdate: 3 Änderungen");
}

// A text that looks like markup is shown as it stands, line breaks included.
TEST(QtUiServicesTest, MessageBoxShowsPlainText) {
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
                shown = label->text();
                format = label->textFormat();
            }
        }
        if (modal != nullptr) modal->close();
    });
    QtUiServices().ShowMessage(MessageKind::kError, "Fehler",
                               "<b>Datei</b> /daten/<neu>.zip\rfehlt");
    EXPECT_EQ(shown, "<b>Datei</b> /daten/<neu>.zip\nfehlt");
    EXPECT_EQ(format, Qt::PlainText);
}

}  // namespace
}  // namespace zer1
