// The Qt UI services' translations of the host's notations.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zer1
