// TNumberEdit: the numeric edit field as a Qt widget.  A QLineEdit whose key
// presses, focus changes, text changes and clipboard actions are handed to the
// field's logic (TCustomNumberEdit), which reaches the widget back through the
// EditControl operations.  Its properties are those of TCustomNumberEdit.
// Every way text reaches the field passes that logic: typed and deleting keys
// (with any Shift or Ctrl) through the key filter, dropped text, middle-click
// paste and longer input-method text through the paste rule.
#ifndef ZER1_CONTROLS_NUMBER_EDIT_QT_H
#define ZER1_CONTROLS_NUMBER_EDIT_QT_H

#include <QLineEdit>

#include "controls/edit_control.h"
#include "controls/number_edit.h"

namespace zer1 {

class TNumberEdit : public QLineEdit, private EditControl, public TCustomNumberEdit {
    Q_OBJECT

public:
    explicit TNumberEdit(QWidget* parent = nullptr);

    // Select the whole text when the field receives the focus (on by default).
    bool AutoSelectOnEntry() const { return auto_select_; }
    void SetAutoSelectOnEntry(bool on) { auto_select_ = on; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // A character as if typed: through the key filter, then inserted unless
    // the filter swallowed it.
    void TypeCharacter(char32_t character);
    // Backspace or Delete of one character, whatever modifier came with it.
    void DeleteOneCharacter(int key);

    // EditControl
    std::u32string Text() const override;
    void SetText(const std::u32string& text) override;
    int CaretPosition() const override;
    void SetCaretPosition(int position) override;
    int SelectionLength() const override;
    void SelectAll() override;
    void SetFontColor(Color color) override;
    void SetTextAlignment(TextAlignment alignment) override;
    void Beep() override;
    void ShowErrorMessage(const std::string& text) override;
    void FocusNextControl() override;
    std::string ClipboardText() const override;
    void SetClipboardText(const std::string& text) override;
    void CutSelection() override;
    bool IsReadOnly() const override;
    bool AutoSelect() const override { return auto_select_; }

    bool auto_select_ = true;
};

// Makes `field` the Fowis factor field: object name "sleFaktorFowis", four decimals,
// no negative numbers, whole text selected on entry.
void ConfigureFactorField(TNumberEdit& field);

}  // namespace zer1

#endif  // ZER1_CONTROLS_NUMBER_EDIT_QT_H
