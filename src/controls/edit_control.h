// EditControl: the operations of a single-line edit control that the numeric edit
// field's logic relies on.  The Qt adapter implements it over a QLineEdit; tests
// implement it with a plain in-memory control.
//
// Positions count characters (code points) in front of the caret, from 0.
#ifndef ZER1_CONTROLS_EDIT_CONTROL_H
#define ZER1_CONTROLS_EDIT_CONTROL_H

#include <cstdint>
#include <string>

namespace zer1 {

// Font colour as 0xRRGGBB.
using Color = std::uint32_t;
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kRed = 0xFF0000;

enum class TextAlignment { kLeft, kRight, kCenter };

class EditControl {
public:
    virtual ~EditControl() = default;

    virtual std::u32string Text() const = 0;
    // Replaces the text.  When the new text differs from the old one the control
    // sends its text-changed notification before this returns.
    virtual void SetText(const std::u32string& text) = 0;

    // Start of the selection, or the caret when nothing is selected.
    virtual int CaretPosition() const = 0;
    // Puts the caret there and drops any selection.
    virtual void SetCaretPosition(int position) = 0;
    virtual int SelectionLength() const = 0;
    virtual void SelectAll() = 0;

    virtual void SetFontColor(Color color) = 0;
    virtual void SetTextAlignment(TextAlignment alignment) = 0;
    virtual void Beep() = 0;
    // A modal error box with one OK button.
    virtual void ShowErrorMessage(const std::string& text) = 0;
    // Moves the keyboard focus to the next control of the dialog.
    virtual void FocusNextControl() = 0;

    virtual std::string ClipboardText() const = 0;
    virtual void SetClipboardText(const std::string& text) = 0;
    // The control's own cut: the selection goes to the clipboard and leaves the text
    // (with the text-changed notification when something was removed).
    virtual void CutSelection() = 0;

    virtual bool IsReadOnly() const = 0;
    // Whether the whole text is selected when the control receives the focus.
    virtual bool AutoSelect() const = 0;
};

}  // namespace zer1

#endif  // ZER1_CONTROLS_EDIT_CONTROL_H
