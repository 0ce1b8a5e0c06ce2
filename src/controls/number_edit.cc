#include "controls/number_edit.h"

#include <algorithm>
#include <cmath>

#include "common/number_format.h"
#include "common/text_encoding.h"
#include "controls/decimal_text.h"

namespace zer1 {
namespace {

using Format = TNumericFormat;

constexpr std::size_t kMaxCurrencySignLength = 10;

// Sets a flag for the length of a scope and puts the old state back afterwards,
// also when a handler further down throws.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

std::u32string Decode(std::string_view utf8) {
    std::u32string out;
    for (std::size_t pos = 0; pos < utf8.size();) out += NextCodePoint(utf8, pos);
    return out;
}

std::string Encode(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

std::u32string Widen(std::string_view ascii) { return std::u32string(ascii.begin(), ascii.end()); }

bool StartsWith(const std::u32string& text, const std::u32string& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool Contains(const std::u32string& text, char32_t c) {
    return text.find(c) != std::u32string::npos;
}

}  // namespace

TCustomNumberEdit::TCustomNumberEdit(EditControl& control) : control_(control) {}

// ---------------------------------------------------------------------------
// Properties

void TCustomNumberEdit::SetAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    control_.SetTextAlignment(alignment);
}

void TCustomNumberEdit::SetNumericFormat(TNumericFormat format) {
    if (format == numeric_format_) return;
    numeric_format_ = format;
    Reformat();
}

void TCustomNumberEdit::SetDecimalFigures(int figures) {
    if (figures < 0 || figures > kMaxDecimalFigures) {
        throw ENumberEditControl(kInvalidDecimalFiguresMessage);
    }
    decimal_figures_ = figures;
    saved_decimal_figures_ = figures;
    Reformat();
}

std::string TCustomNumberEdit::CurrencySign() const {
    return Encode(focused_ ? saved_currency_sign_ : currency_sign_);
}

void TCustomNumberEdit::SetCurrencySign(const std::string& sign) {
    std::u32string decoded = Decode(sign);
    if (decoded.size() > kMaxCurrencySignLength) decoded.resize(kMaxCurrencySignLength);
    // While focused the field shows no sign; the new one applies when the focus leaves.
    if (focused_) {
        saved_currency_sign_ = decoded;
        return;
    }
    if (decoded == currency_sign_) return;
    currency_sign_ = decoded;
    saved_currency_sign_ = decoded;
    Reformat();
}

void TCustomNumberEdit::SetThousandSeparator(char separator) {
    if (separator == thousands_separator_) return;
    thousands_separator_ = separator;
    Reformat();
}

void TCustomNumberEdit::SetDecimalseparator(char separator) {
    if (separator == decimal_separator_) return;
    decimal_separator_ = separator;
    Reformat();
}

void TCustomNumberEdit::SetRoundNumber(bool on) {
    if (on == round_number_) return;
    round_number_ = on;
    Reformat();
}

bool TCustomNumberEdit::ParenthesisForMinus() const {
    return focused_ ? saved_parenthesis_ : parenthesis_for_minus_;
}

void TCustomNumberEdit::SetParenthesisForMinus(bool on) {
    if (focused_) {
        saved_parenthesis_ = on;
        return;
    }
    if (on == parenthesis_for_minus_) return;
    parenthesis_for_minus_ = on;
    saved_parenthesis_ = on;
    Reformat();
}

void TCustomNumberEdit::SetPositiveColor(Color color) {
    if (color == positive_color_) return;
    positive_color_ = color;
    Reformat();
}

void TCustomNumberEdit::SetNegativeColor(Color color) {
    if (color == negative_color_) return;
    negative_color_ = color;
    Reformat();
}

void TCustomNumberEdit::SetValue(long double value) {
    if (!InRange(value)) {
        if (show_range_error_) ReportRangeError();
        return;
    }
    FlagScope setting(setting_value_);
    value_ = value;
    Reformat();
}

void TCustomNumberEdit::SetMinimumAllowedValue(long double value) {
    if (value == minimum_) return;
    if (value > maximum_ && !loading_) throw ENumberEditControl(kMinimumAboveMaximumMessage);
    minimum_ = value;
}

void TCustomNumberEdit::SetMaximumAllowedValue(long double value) {
    if (value == maximum_) return;
    if (value < minimum_) throw ENumberEditControl(kMaximumBelowMinimumMessage);
    maximum_ = value;
}

void TCustomNumberEdit::EndLoading() {
    loading_ = false;
    Reformat();
}

// ---------------------------------------------------------------------------
// Helpers

bool TCustomNumberEdit::InRange(long double value) const {
    return minimum_ == maximum_ || (minimum_ <= value && value <= maximum_);
}

void TCustomNumberEdit::ReportError(const std::string& text) {
    if (beep_on_error_) control_.Beep();
    if (!text.empty()) control_.ShowErrorMessage(text);
}

void TCustomNumberEdit::ReportRangeError() { ReportError(out_of_range_message_); }

int TCustomNumberEdit::TextLength() const { return static_cast<int>(control_.Text().size()); }

int TCustomNumberEdit::PrefixLength() const {
    int length = numeric_format_ == Format::nfCurrency ? static_cast<int>(currency_sign_.size()) : 0;
    if (value_ < 0) ++length;  // "(" or "-"
    return length;
}

int TCustomNumberEdit::SuffixLength() const {
    int length = numeric_format_ == Format::nfPercent ? 1 : 0;
    if (value_ < 0 && parenthesis_for_minus_) ++length;
    return length;
}

int TCustomNumberEdit::NeededDecimals(long double value) const {
    int needed = DecimalsNeeded(value);
    if (numeric_format_ == Format::nfPercent) needed -= 2;
    return std::max(needed, 0);
}

std::u32string TCustomNumberEdit::NumberText(long double value) {
    // Every number text the field builds makes its separators the process-wide ones.
    SetDecimalSeparator(decimal_separator_);
    SetThousandsSeparator(thousands_separator_);
    const std::string text =
        FormatGrouped(value, decimal_figures_, decimal_separator_, thousands_separator_);
    if (text.empty()) return U"0";
    std::u32string number;
    if (text.front() == decimal_separator_) number += U'0';
    number += Widen(text);
    return number;
}

void TCustomNumberEdit::ForwardChange() {
    if (on_change_) on_change_();
}

void TCustomNumberEdit::Reformat() {
    if (updating_ || reformatting_) return;
    FlagScope reformatting(reformatting_);
    // The field's own text changes need no interpretation: the value is already set.
    FlagScope updating(updating_);
    control_.SetText(Widen(FormatGeneral(value_, decimal_separator_)));
    ApplyDisplayFormatting();
}

void TCustomNumberEdit::ApplyRounding() {
    if (!round_number_ || numeric_format_ == Format::nfGeneral) return;
    const long double scale = std::pow(10.0L, decimal_figures_);
    const long double rounded =
        std::trunc(value_ * scale + (value_ < 0 ? -0.5L : 0.5L)) / scale;
    SetValue(rounded);
}

void TCustomNumberEdit::ApplyColour() {
    if (!allow_negative_number_) return;
    const Color wanted = value_ < 0 ? negative_color_ : positive_color_;
    if (wanted == font_color_) return;
    font_color_ = wanted;
    control_.SetFontColor(wanted);
}

void TCustomNumberEdit::ApplyParentheses() {
    if (!(value_ < 0 && parenthesis_for_minus_)) return;
    std::u32string text = control_.Text();
    const std::size_t minus = text.find(U'-');
    if (minus != std::u32string::npos) text.erase(minus, 1);
    FlagScope updating(updating_);
    control_.SetText(U"(" + text + U")");
}

void TCustomNumberEdit::ApplyDisplayFormatting() {
    if (control_.Text().empty()) {
        value_ = 0;
        return;
    }
    switch (numeric_format_) {
        case Format::nfPercent:
            ApplyRounding();
            control_.SetText(NumberText(value_ * 100) + U"%");
            break;
        case Format::nfComma:
            ApplyRounding();
            control_.SetText(NumberText(value_));
            break;
        case Format::nfCurrency: {
            if (currency_formatting_) return;
            FlagScope currency(currency_formatting_);
            ApplyRounding();
            control_.SetText(currency_sign_ + NumberText(value_));
            ApplyColour();
            ApplyParentheses();
            return;
        }
        case Format::nfGeneral:
            break;
    }
    ApplyColour();
    ApplyParentheses();
}

// ---------------------------------------------------------------------------
// Focus

void TCustomNumberEdit::FocusEntered() {
    if (focused_) return;
    focused_ = true;
    FlagScope updating(updating_);

    // The plain number is edited: no currency sign, no parentheses.
    saved_parenthesis_ = parenthesis_for_minus_;
    parenthesis_for_minus_ = false;
    saved_currency_sign_ = currency_sign_;
    currency_sign_.clear();
    if (saved_parenthesis_ || numeric_format_ == Format::nfCurrency) ApplyDisplayFormatting();

    // Show all of the value's decimals while editing.
    saved_decimal_figures_ = decimal_figures_;
    int figures = lock_decimal_figures_ ? decimal_figures_ : NeededDecimals(value_);
    figures = std::max(figures, saved_decimal_figures_);
    if (figures > 0) decimal_figures_ = figures;
    if (decimal_figures_ != saved_decimal_figures_) ApplyDisplayFormatting();

    const int length = TextLength();
    const int caret = decimal_figures_ > 0 ? length - decimal_figures_ - SuffixLength() - 1
                                           : length - SuffixLength();
    control_.SetCaretPosition(std::max(caret, 0));
    if (control_.AutoSelect()) control_.SelectAll();
}

void TCustomNumberEdit::FocusLeft() {
    if (!focused_) return;
    focused_ = false;
    FlagScope updating(updating_);
    decimal_figures_ = saved_decimal_figures_;
    parenthesis_for_minus_ = saved_parenthesis_;
    currency_sign_ = saved_currency_sign_;
    ApplyDisplayFormatting();
}

// ---------------------------------------------------------------------------
// Keys

void TCustomNumberEdit::KeyDown(EditKey key) {
    if (key != EditKey::kDelete) return;
    const std::u32string text = control_.Text();
    if (text.empty()) return;
    // Delete starts a key of its own: the text before it is what a refused change
    // goes back to, and the flags of an earlier key no longer apply.
    previous_text_ = text;
    all_selected_ = backspace_ = decimal_overwrite_ = false;
    // Step over separators so that Delete always removes the next digit.
    const int length = static_cast<int>(text.size());
    int caret = control_.CaretPosition();
    bool moved = false;
    if (caret < length && text[caret] == static_cast<char32_t>(decimal_separator_)) {
        ++caret;
        moved = true;
    }
    if (caret < length && text[caret] == static_cast<char32_t>(thousands_separator_)) {
        ++caret;
        moved = true;
    }
    if (moved) control_.SetCaretPosition(caret);
}

bool TCustomNumberEdit::KeyPressed(char32_t key) {
    const char32_t separator = static_cast<char32_t>(decimal_separator_);
    const std::u32string text = control_.Text();
    const int length = static_cast<int>(text.size());

    if (control_.IsReadOnly()) return true;
    if (key == separator && numeric_format_ == Format::nfGeneral && Contains(text, separator)) {
        return true;
    }
    if (key == U'-' && !allow_negative_number_) {
        if (beep_on_error_) control_.Beep();
        return true;
    }

    previous_text_ = text;
    backspace_ = false;
    all_selected_ = control_.SelectionLength() == length;

    // A digit typed over the whole text starts a new number.
    if (all_selected_ && IsDigit(key)) {
        long double digit = static_cast<long double>(key - U'0');
        if (numeric_format_ == Format::nfPercent) digit /= 100;
        SetValue(digit);
        control_.SetCaretPosition(1);
        return true;
    }

    int caret = control_.CaretPosition();
    const bool in_decimals = caret >= length - SuffixLength() - decimal_figures_;
    if (key != kBackspaceKey && in_decimals && saved_decimal_figures_ > 0) {
        if (NeededDecimals(value_) < decimal_figures_) {
            decimal_overwrite_ = true;
        } else {
            decimal_overwrite_ = false;
            if (decimal_figures_ < kMaxDecimalFigures) ++decimal_figures_;
        }
    }
    if (key == kBackspaceKey) {
        decimal_overwrite_ = true;
        if (in_decimals) {
            if (decimal_figures_ <= 1) {
                decimal_overwrite_ = false;
            } else {
                decimal_overwrite_ = false;
                if (saved_decimal_figures_ < decimal_figures_) {
                    --decimal_figures_;
                } else {
                    decimal_overwrite_ = true;
                }
            }
        }
        backspace_ = true;
        // Backspace always removes the previous digit, never a separator.
        if (caret > 1) {
            if (text[caret - 1] == separator) control_.SetCaretPosition(--caret);
            if (caret > 0 && text[caret - 1] == static_cast<char32_t>(thousands_separator_)) {
                control_.SetCaretPosition(--caret);
            }
        }
    }
    if (caret < PrefixLength()) {
        caret = PrefixLength();
        control_.SetCaretPosition(caret);
    }
    if (key == kEnterKey && act_on_enter_) {
        control_.FocusNextControl();
        return true;
    }
    if (key != kBackspaceKey && key != U'-' && !IsDigit(key) && key != separator) return true;
    if (key == separator && numeric_format_ != Format::nfGeneral) {
        // No second separator: the caret jumps behind the one in the text.
        control_.SetCaretPosition(std::max(length - decimal_figures_ - SuffixLength(), 0));
        return true;
    }
    if (key == kBackspaceKey && numeric_format_ == Format::nfCurrency &&
        caret == static_cast<int>(currency_sign_.size())) {
        return true;
    }
    if (key == U'-') {
        // The minus key toggles the sign at the front.
        std::u32string toggled = text;
        const std::size_t minus = toggled.find(U'-');
        if (minus != std::u32string::npos) {
            toggled.erase(minus, 1);
            --caret;
        } else if (!toggled.empty() && toggled.front() == U'0') {
            toggled.front() = U'-';
            ++caret;
        } else {
            toggled.insert(toggled.begin(), U'-');
            ++caret;
        }
        control_.SetText(toggled);
        control_.SetCaretPosition(std::clamp(caret, 0, TextLength()));
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Text changes

void TCustomNumberEdit::RestorePreviousText(int caret, int length) {
    control_.SetText(previous_text_);
    // Keep the caret's distance from the end, as after an accepted change.
    const int restored_length = TextLength();
    control_.SetCaretPosition(std::clamp(restored_length + (caret - length), 0, restored_length));
}

void TCustomNumberEdit::TextChanged() {
    const char separator = decimal_separator_;

    if (numeric_format_ == Format::nfGeneral) {
        if (reformatting_) {
            ForwardChange();
            return;
        }
        const std::u32string text = control_.Text();
        if (text.size() == 1 && text[0] == static_cast<char32_t>(separator)) {
            control_.SetText(U"");  // its own notification handles the empty text
            return;
        }
        const int caret = control_.CaretPosition();
        if (text.empty()) {
            value_ = 0;
        } else if (auto number = ParseDecimal(Encode(text), separator)) {
            value_ = *number;
        }
        control_.SetCaretPosition(caret);
        ForwardChange();
        return;
    }
    if (updating_ || setting_value_) {
        // The field's own texts are the ones a refused change goes back to.
        previous_text_ = control_.Text();
        ForwardChange();
        return;
    }
    if (loading_) return;

    // The number text: the typed text without currency sign and decoration.
    const std::u32string text = control_.Text();
    std::u32string filtered = text;
    if (!currency_sign_.empty()) {
        const std::size_t sign = filtered.find(currency_sign_);
        if (sign != std::u32string::npos) filtered.erase(sign, currency_sign_.size());
    }
    std::string number;
    for (char32_t c : filtered) {
        if (c == U'+' || c == U'-' || IsDigit(c) || c == U'E' || c == U'e' ||
            c == static_cast<char32_t>(separator)) {
            number += static_cast<char>(c);
        }
    }

    if (force_limited_decimals_ && decimal_figures_ > saved_decimal_figures_) {
        if (!number.empty()) number.pop_back();
        decimal_figures_ = saved_decimal_figures_;
    }

    // A minus and the separator, maybe with zeros, is a negative number being typed.
    const std::u32string minus_separator{U'-', static_cast<char32_t>(separator)};
    const bool incomplete_negative =
        number.size() >= 2 && number[0] == '-' && number[1] == separator &&
        number.find_first_not_of('0', 2) == std::string::npos;
    if (incomplete_negative) {
        if (numeric_format_ == Format::nfCurrency &&
            StartsWith(text, currency_sign_ + minus_separator)) {
            value_ = 0;
            ForwardChange();
            return;
        }
        if (numeric_format_ != Format::nfCurrency && StartsWith(text, minus_separator)) {
            ForwardChange();
            return;
        }
    }

    if (!number.empty() && number.front() == separator) number.insert(number.begin(), '0');

    const std::string zero = Encode(NumberText(0));
    if (number == zero || number == "-" + zero || number == "-" || number.empty()) {
        value_ = 0;
        if (saved_decimal_figures_ == 0) control_.SetCaretPosition(TextLength() - SuffixLength());
        previous_text_ = text;
        ForwardChange();
        return;
    }

    bool reformatted = false;
    {
        FlagScope updating(updating_);
        const int caret = control_.CaretPosition();
        const int length = static_cast<int>(text.size());

        std::optional<long double> parsed = ParseDecimal(number, separator);
        if (!parsed) {
            ReportError(number + kNotAValidNumberSuffix);
            RestorePreviousText(caret, length);
        } else {
            long double typed = *parsed;
            if (!text.empty() && text.front() == U'(') typed = -typed;
            if (!InRange(typed)) {
                if (show_range_error_) ReportRangeError();
                RestorePreviousText(caret, length);
            } else {
                value_ = numeric_format_ == Format::nfPercent ? typed / 100 : typed;
                const bool negative_zero = value_ == 0 && number.find('-') != std::string::npos;
                ApplyDisplayFormatting();
                if (negative_zero) control_.SetText(U"-" + control_.Text());

                // The caret keeps its distance from the end of the text.
                const std::u32string shown = control_.Text();
                const int shown_length = static_cast<int>(shown.size());
                int new_caret = shown_length + (caret - length);
                if (Contains(text, U'-') && !Contains(shown, U'-')) --new_caret;
                const int before_separator = shown_length - decimal_figures_ - SuffixLength() - 1;
                if (new_caret > before_separator && decimal_overwrite_) {
                    new_caret += backspace_ ? -1 : 1;
                }
                if (all_selected_ && decimal_figures_ > 0) new_caret = before_separator;
                control_.SetCaretPosition(std::clamp(new_caret, 0, shown_length));
                previous_text_ = shown;
                reformatted = true;
            }
        }
        if (value_ == 0 && saved_decimal_figures_ == 0) control_.SetCaretPosition(TextLength());
    }
    ForwardChange();
    if (reformatted && value_ == 0) {
        const std::size_t first = control_.Text().find(static_cast<char32_t>(separator));
        if (first != std::u32string::npos) control_.SetCaretPosition(static_cast<int>(first));
    }
}

// ---------------------------------------------------------------------------
// Clipboard

void TCustomNumberEdit::Cut() {
    control_.CutSelection();
    Copy();
}

void TCustomNumberEdit::Copy() {
    control_.SetClipboardText(FormatGeneral(value_, decimal_separator_));
}

void TCustomNumberEdit::Paste() { PasteText(control_.ClipboardText()); }

void TCustomNumberEdit::PasteText(const std::string& text) {
    std::u32string pasted = Decode(text);
    // The configured sign, also while focused (when the display shows none).
    const std::u32string& sign = focused_ ? saved_currency_sign_ : currency_sign_;
    if (!sign.empty()) {
        const std::size_t found = pasted.find(sign);
        if (found != std::u32string::npos) pasted.erase(found, sign.size());
    }
    std::string number;
    for (char32_t c : pasted) {
        if (c == U'+' || IsDigit(c) || c == U'E' || c == U'e' ||
            c == static_cast<char32_t>(decimal_separator_) ||
            (c == U'-' && allow_negative_number_)) {
            number += static_cast<char>(c);
        }
    }
    std::optional<long double> value = ParseDecimal(number, '.');
    if (!value) {
        control_.Beep();
        return;
    }
    SetValue(*value);
}

}  // namespace zer1
