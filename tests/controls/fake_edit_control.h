// An in-memory single-line edit control for the numeric edit field's tests: it
// applies keys the way a plain edit control does (insert over the selection,
// Backspace and Delete) and sends the text-changed notification on every change.
#ifndef ZER1_TESTS_CONTROLS_FAKE_EDIT_CONTROL_H
#define ZER1_TESTS_CONTROLS_FAKE_EDIT_CONTROL_H

#include <string>
#include <vector>

#include "controls/edit_control.h"
#include "controls/number_edit.h"

namespace zer1 {

class FakeEditControl : public EditControl {
public:
    std::u32string Text() const override { return text; }
    void SetText(const std::u32string& new_text) override {
        if (new_text == text) return;
        text = new_text;
        caret = static_cast<int>(text.size());
        selection = 0;
        ++set_text_calls;
        if (field) field->TextChanged();
    }
    int CaretPosition() const override { return caret; }
    void SetCaretPosition(int position) override {
        caret = position;
        selection = 0;
    }
    int SelectionLength() const override { return selection; }
    void SelectAll() override {
        caret = 0;
        selection = static_cast<int>(text.size());
    }
    void SetFontColor(Color color) override { font_color = color; }
    void SetTextAlignment(TextAlignment a) override { alignment = a; }
    void Beep() override { ++beeps; }
    void ShowErrorMessage(const std::string& message) override { errors.push_back(message); }
    void FocusNextControl() override { ++focus_moves; }
    std::string ClipboardText() const override { return clipboard; }
    void SetClipboardText(const std::string& value) override { clipboard = value; }
    void CutSelection() override {
        if (selection == 0) return;
        clipboard.clear();
        for (char32_t c : text.substr(static_cast<size_t>(caret), static_cast<size_t>(selection))) {
            clipboard += static_cast<char>(c);
        }
        ReplaceSelection(U"");
    }
    bool IsReadOnly() const override { return read_only; }
    bool AutoSelect() const override { return auto_select; }

    // A user typing one key: the field filters it, then the control applies it.
    void Type(char32_t key) {
        if (field->KeyPressed(key)) return;
        if (key == kBackspaceKey) {
            if (selection > 0) {
                ReplaceSelection(U"");
            } else if (caret > 0) {
                --caret;
                selection = 1;
                ReplaceSelection(U"");
            }
        } else if (key != kEnterKey) {
            ReplaceSelection(std::u32string(1, key));
        }
    }
    void TypeText(const std::u32string& keys) {
        for (char32_t key : keys) Type(key);
    }
    void PressDelete() {
        field->KeyDown(EditKey::kDelete);
        if (selection == 0 && caret < static_cast<int>(text.size())) selection = 1;
        if (selection > 0) ReplaceSelection(U"");
    }
    // A change that does not come from a key (drag and drop, undo).
    void ChangeTextByUser(const std::u32string& new_text) {
        text = new_text;
        caret = static_cast<int>(text.size());
        selection = 0;
        field->TextChanged();
    }
    void Select(int start, int length) {
        caret = start;
        selection = length;
    }

    std::u32string text = U"0.00";
    int caret = 0;
    int selection = 0;
    bool read_only = false;
    bool auto_select = true;
    Color font_color = kBlack;
    TextAlignment alignment = TextAlignment::kRight;
    int beeps = 0;
    int focus_moves = 0;
    int set_text_calls = 0;
    std::vector<std::string> errors;
    std::string clipboard;
    TCustomNumberEdit* field = nullptr;

private:
    void ReplaceSelection(const std::u32string& insert) {
        const std::u32string before = text;
        text.replace(static_cast<size_t>(caret), static_cast<size_t>(selection), insert);
        caret += static_cast<int>(insert.size());
        selection = 0;
        if (text != before && field) field->TextChanged();
    }
};

// The field wired to a fake control.
struct FakeNumberEdit {
    FakeNumberEdit() : field(control) { control.field = &field; }
    FakeEditControl control;
    TCustomNumberEdit field;
};

}  // namespace zer1

#endif  // ZER1_TESTS_CONTROLS_FAKE_EDIT_CONTROL_H
