#include "controls/number_edit_qt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <functional>
#include <memory>

#include "common/messages.h"
#include "controls/factor_field.h"

namespace zer1 {
namespace {

// QLineEdit counts UTF-16 units, the field's logic counts characters.
int CharactersBefore(const QString& text, int utf16_position) {
    int characters = 0;
    for (int i = 0; i < utf16_position && i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate()) ++characters;
    }
    return characters;
}

int Utf16Position(const QString& text, int characters) {
    int i = 0;
    for (int seen = 0; i < text.size() && seen < characters; ++i) {
        if (!text.at(i).isLowSurrogate()) ++seen;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()) ++i;
    }
    return i;
}

}  // namespace

TNumberEdit::TNumberEdit(QWidget* parent)
    : QLineEdit(parent), TCustomNumberEdit(static_cast<EditControl&>(*this)) {
    QLineEdit::setText(QStringLiteral("0.00"));
    QLineEdit::setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
}

void TNumberEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        Paste();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        Cut();
        event->accept();
        return;
    }
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    // Backspace and Delete with Shift or Ctrl would otherwise be the line edit's
    // own (a plain delete, or a whole word) and could take the decimal
    // separator: they remove one character through the filter like the plain keys.
    const bool plain_or_shift_ctrl = !(modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier));
    if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && plain_or_shift_ctrl) {
        DeleteOneCharacter(key);
        event->accept();
        return;
    }

    // Keys that produce a character go through the field's key filter; navigation
    // keys and shortcuts are the line edit's own.
    char32_t character = 0;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        character = kEnterKey;
    } else if (!(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const std::u32string typed = event->text().toStdU32String();
        if (typed.size() == 1 && typed[0] >= U' ' && typed[0] != 0x7F) character = typed[0];
    }
    if (character == 0) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (KeyPressed(character)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TNumberEdit::DeleteOneCharacter(int key) {
    if (key == Qt::Key_Delete) {
        KeyDown(EditKey::kDelete);
    } else if (KeyPressed(kBackspaceKey)) {
        return;
    }
    QKeyEvent plain(QEvent::KeyPress, key, Qt::NoModifier);
    QLineEdit::keyPressEvent(&plain);
}

void TNumberEdit::TypeCharacter(char32_t character) {
    if (!KeyPressed(character)) insert(QString::fromStdU32String(std::u32string(1, character)));
}

void TNumberEdit::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasText() || isReadOnly()) {
        event->ignore();
        return;
    }
    // Copied, never moved: the source keeps its text.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    PasteText(event->mimeData()->text().toStdString());
}

void TNumberEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::MiddleButton) {
        QLineEdit::mouseReleaseEvent(event);
        return;
    }
    // The selection clipboard's paste, by the paste rule.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && !isReadOnly()) {
        PasteText(clipboard->text(QClipboard::Selection).toStdString());
    }
    event->accept();
}

void TNumberEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString committed = event->commitString();
    if (committed.isEmpty() && event->replacementLength() == 0) {
        QLineEdit::inputMethodEvent(event);  // composing only: the text is unchanged
        return;
    }
    // The composition shown so far ends; what the input method commits is one
    // typed character or, when longer, pasted.  It never replaces other text.
    QInputMethodEvent composing(event->preeditString(), event->attributes());
    QLineEdit::inputMethodEvent(&composing);
    event->accept();
    if (isReadOnly()) return;
    const std::u32string characters = committed.toStdU32String();
    if (characters.size() == 1) {
        TypeCharacter(characters[0]);
    } else if (!characters.empty()) {
        PasteText(committed.toStdString());
    }
}

void TNumberEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // Coming back from the context menu is no new entry.
    if (event->reason() != Qt::PopupFocusReason) FocusEntered();
}

void TNumberEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Opening the context menu or switching to another window does not leave the field.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        FocusLeft();
    }
}

void TNumberEdit::contextMenuEvent(QContextMenuEvent* event) {
    // The standard menu, with its clipboard entries taken over by the field.  The
    // entries are found by their (translated) captions, ahead of any shortcut text.
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    for (QAction* action : menu->actions()) {
        const QString caption = action->text();
        std::function<void()> handler;
        if (caption.startsWith(QLineEdit::tr("Cu&t"))) {
            handler = [this] { Cut(); };
        } else if (caption.startsWith(QLineEdit::tr("&Copy"))) {
            handler = [this] { Copy(); };
        } else if (caption.startsWith(QLineEdit::tr("&Paste"))) {
            handler = [this] { Paste(); };
        } else {
            continue;
        }
        action->disconnect(this);
        connect(action, &QAction::triggered, this, handler);
    }
    menu->exec(event->globalPos());
}

std::u32string TNumberEdit::Text() const { return text().toStdU32String(); }

void TNumberEdit::SetText(const std::u32string& text) {
    QLineEdit::setText(QString::fromStdU32String(text));
}

int TNumberEdit::CaretPosition() const {
    const int position = hasSelectedText() ? selectionStart() : cursorPosition();
    return CharactersBefore(text(), position);
}

void TNumberEdit::SetCaretPosition(int position) {
    setCursorPosition(Utf16Position(text(), position));  // also drops the selection
}

int TNumberEdit::SelectionLength() const {
    return static_cast<int>(selectedText().toStdU32String().size());
}

void TNumberEdit::SelectAll() { selectAll(); }

void TNumberEdit::SetFontColor(Color color) {
    QPalette colours = palette();
    colours.setColor(QPalette::Text, QColor::fromRgb(static_cast<QRgb>(color)));
    setPalette(colours);
}

void TNumberEdit::SetTextAlignment(TextAlignment alignment) {
    Qt::Alignment horizontal = Qt::AlignRight;
    if (alignment == TextAlignment::kLeft) horizontal = Qt::AlignLeft;
    if (alignment == TextAlignment::kCenter) horizontal = Qt::AlignHCenter;
    QLineEdit::setAlignment(horizontal | Qt::AlignVCenter);
}

void TNumberEdit::Beep() { QApplication::beep(); }

void TNumberEdit::ShowErrorMessage(const std::string& text) { ErrorMessage(text); }

void TNumberEdit::FocusNextControl() { focusNextChild(); }

std::string TNumberEdit::ClipboardText() const {
    return QGuiApplication::clipboard()->text().toStdString();
}

void TNumberEdit::SetClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void TNumberEdit::CutSelection() { cut(); }

bool TNumberEdit::IsReadOnly() const { return isReadOnly(); }

void ConfigureFactorField(TNumberEdit& field) {
    field.setObjectName(QLatin1String(kFactorFieldName));
    field.SetAutoSelectOnEntry(true);
    ConfigureFactorFieldProperties(field);
}

}  // namespace zer1
