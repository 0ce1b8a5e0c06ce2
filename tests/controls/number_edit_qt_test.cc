// TNumberEdit as a real QLineEdit: focus in and out, keys, Delete, clipboard and
// the error box through the UI-services seam.
#include "controls/number_edit_qt.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

#include "common/number_format.h"
#include "common/ui_services.h"
#include "controls/factor_field.h"
#include "tests/support/recording_ui_services.h"

namespace zer1 {
namespace {

class NumberEditQtTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        field_ = new TNumberEdit(window_.get());
        other_ = new QLineEdit(window_.get());
        layout->addWidget(field_);
        layout->addWidget(other_);
        ConfigureFactorField(*field_);
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        other_->setFocus();
    }

    void EnterField() {
        field_->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(field_->hasFocus());
    }
    void LeaveField() {
        other_->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }

    ScopedNumberFormat keep_process_format_;
    RecordingUiServices ui_;
    ScopedUiServices install_ui_{&ui_};
    std::unique_ptr<QWidget> window_;
    TNumberEdit* field_ = nullptr;
    QLineEdit* other_ = nullptr;
};

TEST_F(NumberEditQtTest, FactorFieldIsNamedAndFormatted) {
    EXPECT_EQ(field_->objectName(), QStringLiteral("sleFaktorFowis"));
    EXPECT_EQ(field_->text(), QStringLiteral("0.0000"));
    EXPECT_TRUE(field_->alignment() & Qt::AlignRight);
    field_->SetValue(1234.5L);
    EXPECT_EQ(field_->text(), QStringLiteral("1,234.5000"));
    EXPECT_EQ(DecimalSeparator(), '.');
    EXPECT_EQ(ThousandsSeparator(), ',');
}

TEST_F(NumberEditQtTest, FocusInShowsAllDecimalsFocusOutTheConfiguredOnes) {
    field_->SetValue(1.23456L);
    EXPECT_EQ(field_->text(), QStringLiteral("1.2346"));
    EnterField();
    EXPECT_EQ(field_->text(), QStringLiteral("1.23456"));
    EXPECT_EQ(field_->selectedText(), field_->text());
    LeaveField();
    EXPECT_EQ(field_->text(), QStringLiteral("1.2346"));
    EXPECT_EQ(field_->Value(), 1.23456L);
}

TEST_F(NumberEditQtTest, TypedDigitOverTheSelectionStartsANewNumber) {
    field_->SetValue(1.25L);
    EnterField();
    QTest::keyClicks(field_, QStringLiteral("37"));
    EXPECT_EQ(field_->text(), QStringLiteral("37.0000"));
    EXPECT_EQ(field_->Value(), 37);
}

TEST_F(NumberEditQtTest, SeparatorInTheIntegerPartJumpsBehindTheSeparator) {
    field_->SetValue(1234.5L);
    EnterField();
    field_->setCursorPosition(1);
    QTest::keyClick(field_, '.');
    EXPECT_EQ(field_->text(), QStringLiteral("1,234.5000"));
    EXPECT_EQ(field_->cursorPosition(), 6);
}

TEST_F(NumberEditQtTest, DeleteBeforeTheSeparatorRemovesTheNextDigit) {
    field_->SetValue(1.25L);
    EnterField();
    field_->setCursorPosition(1);
    QTest::keyClick(field_, Qt::Key_Delete);
    EXPECT_EQ(field_->text(), QStringLiteral("1.5000"));
    EXPECT_EQ(field_->Value(), 1.5L);
}

TEST_F(NumberEditQtTest, BackspaceSkipsSeparatorsAndDigitsGoIntoTheDecimals) {
    field_->SetValue(1234.5L);
    EnterField();
    field_->setCursorPosition(2);  // behind ","
    QTest::keyClick(field_, Qt::Key_Backspace);
    EXPECT_EQ(field_->text(), QStringLiteral("234.5000"));
    field_->setCursorPosition(4);  // behind "."
    // Typed digits go in front of the old ones; the trailing zero makes room.
    QTest::keyClicks(field_, QStringLiteral("78"));
    EXPECT_EQ(field_->text(), QStringLiteral("234.7850"));
    EXPECT_EQ(field_->Value(), 234.785L);
    EXPECT_EQ(field_->cursorPosition(), 6);
}

TEST_F(NumberEditQtTest, RefusedKeysLeaveTheText) {
    field_->SetValue(2);
    EnterField();
    field_->setCursorPosition(1);
    QTest::keyClick(field_, '-');
    QTest::keyClick(field_, 'a');
    QTest::keyClick(field_, 'E');
    EXPECT_EQ(field_->text(), QStringLiteral("2.0000"));
    EXPECT_EQ(field_->Value(), 2);
}

TEST_F(NumberEditQtTest, PasteReadsTheClipboardIntoTheValue) {
    field_->SetValue(2);
    EnterField();
    QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::keyClick(field_, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field_->Value(), 2);
    EXPECT_EQ(field_->text(), QStringLiteral("2.0000"));

    QGuiApplication::clipboard()->setText(QStringLiteral("12.5"));
    QTest::keyClick(field_, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field_->Value(), 12.5L);
    EXPECT_EQ(field_->text(), QStringLiteral("12.5000"));
}

TEST_F(NumberEditQtTest, CopyPutsThePlainValueOnTheClipboard) {
    field_->SetValue(1234.5L);
    EnterField();
    field_->setSelection(0, 2);
    QTest::keyClick(field_, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1234.5"));
}

TEST_F(NumberEditQtTest, ContextMenuPasteGoesThroughTheField) {
    field_->SetValue(2);
    EnterField();
    field_->setCursorPosition(1);  // a plain insert here would give "27.5.0000"
    QGuiApplication::clipboard()->setText(QStringLiteral("x7.5y"));
    // Trigger the menu's paste entry as soon as the menu is up, then close it.
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QLineEdit::tr("&Paste"))) action->trigger();
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), field_->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(field_, &event);
    EXPECT_EQ(field_->Value(), 7.5L);
    EXPECT_EQ(field_->text(), QStringLiteral("7.5000"));
    EXPECT_TRUE(ui_.messages.empty());
}

// Shift or Ctrl with Backspace, dropped text and input-method text pass the
// field's rules like plain keys and paste: the separator stays, no error box.
TEST_F(NumberEditQtTest, EveryWayInGoesThroughTheKeyFilterOrThePasteRule) {
    EnterField();
    for (Qt::KeyboardModifier modifier : {Qt::ShiftModifier, Qt::ControlModifier}) {
        const char* with = modifier == Qt::ShiftModifier ? "Shift" : "Ctrl";
        field_->SetValue(1.25L);
        field_->setCursorPosition(2);  // behind "."
        QTest::keyClick(field_, Qt::Key_Backspace, modifier);
        EXPECT_EQ(field_->text(), QStringLiteral("0.2500")) << with;
        EXPECT_EQ(field_->Value(), 0.25L) << with;
    }

    QMimeData dragged;
    dragged.setText(QStringLiteral("x3.5y"));
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    // Enter and move make the field the drag's target, which the drop goes to.
    QDragEnterEvent enter(QPoint(5, 5), actions, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field_, &enter);
    QDragMoveEvent move(QPoint(5, 5), actions, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field_, &move);
    QDropEvent drop(QPointF(5, 5), actions, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field_, &drop);
    EXPECT_EQ(field_->text(), QStringLiteral("3.5000"));
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);

    field_->setCursorPosition(1);
    QInputMethodEvent separator;
    separator.setCommitString(QStringLiteral("."));  // like the key: jumps behind the separator
    QApplication::sendEvent(field_, &separator);
    EXPECT_EQ(field_->text(), QStringLiteral("3.5000"));
    EXPECT_EQ(field_->cursorPosition(), 2);
    QInputMethodEvent longer;
    longer.setCommitString(QStringLiteral("12.75"), -2, 2);
    QApplication::sendEvent(field_, &longer);
    EXPECT_EQ(field_->text(), QStringLiteral("12.7500"));
    EXPECT_EQ(field_->Value(), 12.75L);
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(NumberEditQtTest, TextThatIsNoNumberShowsTheErrorBox) {
    field_->SetValue(5);
    field_->setText(QStringLiteral("1-2"));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].kind, MessageKind::kError);
    EXPECT_EQ(ui_.messages[0].caption, "Fehler");
    EXPECT_EQ(ui_.messages[0].text, "1-2 is not a valid number");
    EXPECT_EQ(field_->text(), QStringLiteral("5.0000"));
    EXPECT_EQ(field_->Value(), 5);
}

}  // namespace
}  // namespace zer1
