// TCustomNumberEdit: the logic of the numeric edit field.  It keeps a numeric
// Value next to the text of an EditControl, filters typed keys, shows the value
// formatted (thousands separators, a fixed number of decimals, percent, currency
// sign, parentheses and colours for negative values) and reformats after every
// change while keeping the caret in a sensible place.
//
// The field owns no widget: the toolkit adapter (TNumberEdit) forwards the
// control's notifications to the handlers below and implements EditControl.
#ifndef ZER1_CONTROLS_NUMBER_EDIT_H
#define ZER1_CONTROLS_NUMBER_EDIT_H

#include <functional>
#include <string>

#include "common/error.h"
#include "controls/edit_control.h"

namespace zer1 {

// A property of the field got a value it cannot take.
class ENumberEditControl : public Error {
public:
    using Error::Error;
};

inline constexpr const char* kInvalidDecimalFiguresMessage = "Invalid number of decimal figures";
inline constexpr const char* kMinimumAboveMaximumMessage =
    "Minimum allowed value cannot be larger than the maximum allowed value.";
inline constexpr const char* kMaximumBelowMinimumMessage =
    "Maximum allowed value cannot be smaller than the minimum allowed value.";
inline constexpr const char* kNotAValidNumberSuffix = " is not a valid number";
inline constexpr int kMaxDecimalFigures = 15;

enum class TNumericFormat { nfPercent, nfComma, nfCurrency, nfGeneral };

// Keys that reach the key-pressed handler as characters.
inline constexpr char32_t kBackspaceKey = U'\b';
inline constexpr char32_t kEnterKey = U'\r';

// Keys of the key-down notification; only Delete is acted on.
enum class EditKey { kDelete, kOther };

class TCustomNumberEdit {
public:
    explicit TCustomNumberEdit(EditControl& control);
    virtual ~TCustomNumberEdit() = default;
    TCustomNumberEdit(const TCustomNumberEdit&) = delete;
    TCustomNumberEdit& operator=(const TCustomNumberEdit&) = delete;

    // Properties, in the order the field publishes them.
    bool ForceLimitedDecimals() const { return force_limited_decimals_; }
    void SetForceLimitedDecimals(bool on) { force_limited_decimals_ = on; }
    bool AllowNegativeNumber() const { return allow_negative_number_; }
    void SetAllowNegativeNumber(bool on) { allow_negative_number_ = on; }
    TextAlignment Alignment() const { return alignment_; }
    void SetAlignment(TextAlignment alignment);
    bool ActOnEnter() const { return act_on_enter_; }
    void SetActOnEnter(bool on) { act_on_enter_ = on; }
    bool BeepOnError() const { return beep_on_error_; }
    void SetBeepOnError(bool on) { beep_on_error_ = on; }
    TNumericFormat NumericFormat() const { return numeric_format_; }
    void SetNumericFormat(TNumericFormat format);
    // While focused this may be larger than configured (see FocusEntered).
    int DecimalFigures() const { return decimal_figures_; }
    void SetDecimalFigures(int figures);  // throws ENumberEditControl above 15
    // UTF-8, at most 10 characters (longer texts are cut).
    std::string CurrencySign() const;
    void SetCurrencySign(const std::string& sign);
    char ThousandSeparator() const { return thousands_separator_; }
    void SetThousandSeparator(char separator);
    char Decimalseparator() const { return decimal_separator_; }
    void SetDecimalseparator(char separator);
    bool RoundNumber() const { return round_number_; }
    void SetRoundNumber(bool on);
    bool ParenthesisForMinus() const;
    void SetParenthesisForMinus(bool on);
    Color PositiveColor() const { return positive_color_; }
    void SetPositiveColor(Color color);
    Color NegativeColor() const { return negative_color_; }
    void SetNegativeColor(Color color);
    long double Value() const { return value_; }
    void SetValue(long double value);
    long double MinimumAllowedValue() const { return minimum_; }
    void SetMinimumAllowedValue(long double value);  // throws ENumberEditControl
    long double MaximumAllowedValue() const { return maximum_; }
    void SetMaximumAllowedValue(long double value);  // throws ENumberEditControl
    const std::string& OutOfRangeErrorMessage() const { return out_of_range_message_; }
    void SetOutOfRangeErrorMessage(const std::string& text) { out_of_range_message_ = text; }
    bool ShowRangeError() const { return show_range_error_; }
    void SetShowRangeError(bool on) { show_range_error_ = on; }
    bool LockDecimalFigures() const { return lock_decimal_figures_; }
    void SetLockDecimalFigures(bool on) { lock_decimal_figures_ = on; }

    // The owner's change event, called where the field forwards the control's
    // text-changed notification.
    void SetOnChange(std::function<void()> handler) { on_change_ = std::move(handler); }

    // Properties set between these two calls come from a dialog description: the
    // text-change handling rests and the minimum may exceed the maximum for a moment.
    // EndLoading shows the value in the configured form.
    void BeginLoading() { loading_ = true; }
    void EndLoading();

    // Notifications of the edit control.
    void FocusEntered();
    void FocusLeft();
    void KeyDown(EditKey key);
    // Returns true when the key is swallowed (the control must not apply it).
    bool KeyPressed(char32_t key);
    void TextChanged();
    void Cut();
    void Copy();
    // Paste takes the clipboard's text; PasteText is the same rule for text
    // that arrives otherwise (dropped, middle-click, from an input method).
    void Paste();
    void PasteText(const std::string& text);

    bool Focused() const { return focused_; }

private:
    bool InRange(long double value) const;
    void ReportRangeError();
    void ReportError(const std::string& text);
    void Reformat();
    void ApplyDisplayFormatting();
    void ApplyRounding();
    void ApplyColour();
    void ApplyParentheses();
    void RestorePreviousText(int caret, int length);
    std::u32string NumberText(long double value);
    int PrefixLength() const;
    int SuffixLength() const;
    int NeededDecimals(long double value) const;
    void ForwardChange();
    int TextLength() const;

    EditControl& control_;

    bool force_limited_decimals_ = false;
    bool allow_negative_number_ = true;
    TextAlignment alignment_ = TextAlignment::kRight;
    bool act_on_enter_ = false;
    bool beep_on_error_ = true;
    TNumericFormat numeric_format_ = TNumericFormat::nfComma;
    int decimal_figures_ = 2;
    std::u32string currency_sign_ = U"$";
    char thousands_separator_ = ',';
    char decimal_separator_ = '.';
    bool round_number_ = false;
    bool parenthesis_for_minus_ = false;
    Color positive_color_ = kBlack;
    Color negative_color_ = kRed;
    long double value_ = 0;
    long double minimum_ = 0;
    long double maximum_ = 0;
    std::string out_of_range_message_ = "Number out of range";
    bool show_range_error_ = true;
    bool lock_decimal_figures_ = false;

    // The configured decimals, parenthesis flag and currency sign, kept while the
    // field has the focus (the working copies above change meanwhile).
    int saved_decimal_figures_ = 2;
    bool saved_parenthesis_ = false;
    std::u32string saved_currency_sign_ = U"$";

    std::u32string previous_text_;
    Color font_color_ = kBlack;
    bool focused_ = false;
    bool loading_ = false;
    bool updating_ = false;
    bool setting_value_ = false;
    bool reformatting_ = false;
    bool currency_formatting_ = false;
    // Per key.
    bool all_selected_ = false;
    bool backspace_ = false;
    bool decimal_overwrite_ = false;

    std::function<void()> on_change_;
};

}  // namespace zer1

#endif  // ZER1_CONTROLS_NUMBER_EDIT_H
