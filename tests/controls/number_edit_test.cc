// The numeric edit field's behaviour through an in-memory edit control: display,
// focus, keys, text changes, clipboard and property errors.
#include "controls/number_edit.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "common/number_format.h"
#include "common/text_encoding.h"
#include "controls/factor_field.h"
#include "fake_edit_control.h"

namespace zer1 {
namespace {

std::string Utf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

class NumberEditTest : public ::testing::Test {
protected:
    std::string Shown() const { return Utf8(edit_.control.text); }
    FakeEditControl& control() { return edit_.control; }
    TCustomNumberEdit& field() { return edit_.field; }

    ScopedNumberFormat keep_process_format_;
    FakeNumberEdit edit_;
};

class FactorFieldTest : public NumberEditTest {
protected:
    void SetUp() override { ConfigureFactorFieldProperties(field()); }
};

// --- Display -------------------------------------------------------------------

TEST_F(FactorFieldTest, ShowsFourDecimalsWithThousandsSeparators) {
    EXPECT_EQ(Shown(), "0.0000");
    field().SetValue(1.25L);
    EXPECT_EQ(Shown(), "1.2500");
    field().SetValue(1234.5L);
    EXPECT_EQ(Shown(), "1,234.5000");
    field().SetValue(0.5L);
    EXPECT_EQ(Shown(), "0.5000");
    field().SetValue(0);
    EXPECT_EQ(Shown(), "0.0000");
}

TEST_F(FactorFieldTest, FormattingMakesItsSeparatorsTheProcessWideOnes) {
    SetDecimalSeparator(',');
    SetThousandsSeparator('.');
    field().SetValue(2);
    EXPECT_EQ(DecimalSeparator(), '.');
    EXPECT_EQ(ThousandsSeparator(), ',');
}

TEST_F(FactorFieldTest, ConfigurationMatchesTheDialog) {
    EXPECT_FALSE(field().AllowNegativeNumber());
    EXPECT_EQ(field().DecimalFigures(), 4);
    EXPECT_EQ(field().NumericFormat(), TNumericFormat::nfComma);
    EXPECT_EQ(field().OutOfRangeErrorMessage(), "Ungültige Eingabe");
    EXPECT_EQ(field().MinimumAllowedValue(), 0);
    EXPECT_EQ(field().MaximumAllowedValue(), 0);
    // No range: any value is taken without a message.
    field().SetValue(-12345.5L);
    EXPECT_EQ(field().Value(), -12345.5L);
    EXPECT_TRUE(control().errors.empty());
}

TEST_F(NumberEditTest, CurrencyWithParenthesesForANegativeValue) {
    field().SetNumericFormat(TNumericFormat::nfCurrency);
    field().SetCurrencySign("EUR ");
    field().SetParenthesisForMinus(true);
    field().SetValue(-5);
    EXPECT_EQ(Shown(), "(EUR 5.00)");
    EXPECT_EQ(control().font_color, kRed);

    // While focused the plain number is edited.
    field().FocusEntered();
    EXPECT_EQ(Shown(), "-5.00");
    field().FocusLeft();
    EXPECT_EQ(Shown(), "(EUR 5.00)");
    EXPECT_EQ(field().CurrencySign(), "EUR ");
}

TEST_F(NumberEditTest, NegativeFractionKeepsNoLeadingZero) {
    field().SetValue(-0.5L);
    EXPECT_EQ(Shown(), "-.50");
    EXPECT_EQ(control().font_color, kRed);
    field().SetValue(0.5L);
    EXPECT_EQ(Shown(), "0.50");
    EXPECT_EQ(control().font_color, kBlack);
}

TEST_F(NumberEditTest, PercentShowsTheValueTimesHundred) {
    field().SetNumericFormat(TNumericFormat::nfPercent);
    field().SetValue(0.125L);
    EXPECT_EQ(Shown(), "12.50%");
}

TEST_F(NumberEditTest, RoundNumberRoundsTheValueItself) {
    field().SetRoundNumber(true);
    field().SetValue(1.235L);
    EXPECT_EQ(Shown(), "1.24");
    EXPECT_NEAR(static_cast<double>(field().Value()), 1.24, 1e-12);
    field().SetValue(-1.235L);
    EXPECT_NEAR(static_cast<double>(field().Value()), -1.24, 1e-12);
}

TEST_F(NumberEditTest, GeneralFormatShowsTheShortestForm) {
    field().SetNumericFormat(TNumericFormat::nfGeneral);
    field().SetValue(1.0L / 3);
    EXPECT_EQ(Shown(), "0.333333333333333");
    // The shown text does not cut the value.
    EXPECT_EQ(field().Value(), 1.0L / 3);
}

// --- Properties ----------------------------------------------------------------

TEST_F(NumberEditTest, PropertyErrorsCarryTheirTexts) {
    try {
        field().SetDecimalFigures(16);
        FAIL() << "no error";
    } catch (const ENumberEditControl& error) {
        EXPECT_STREQ(error.what(), "Invalid number of decimal figures");
    }
    field().SetDecimalFigures(15);
    EXPECT_EQ(field().DecimalFigures(), 15);

    try {
        field().SetMinimumAllowedValue(1);
        FAIL() << "no error";
    } catch (const ENumberEditControl& error) {
        EXPECT_STREQ(error.what(),
                     "Minimum allowed value cannot be larger than the maximum allowed value.");
    }
    field().SetMaximumAllowedValue(10);
    field().SetMinimumAllowedValue(1);
    try {
        field().SetMaximumAllowedValue(0.5L);
        FAIL() << "no error";
    } catch (const ENumberEditControl& error) {
        EXPECT_STREQ(error.what(),
                     "Maximum allowed value cannot be smaller than the minimum allowed value.");
    }
    EXPECT_EQ(field().MaximumAllowedValue(), 10);
}

TEST_F(NumberEditTest, WhileLoadingTheMinimumMayExceedTheMaximum) {
    field().BeginLoading();
    field().SetMinimumAllowedValue(5);
    field().SetMaximumAllowedValue(20);
    field().EndLoading();
    EXPECT_EQ(field().MinimumAllowedValue(), 5);
    EXPECT_EQ(field().MaximumAllowedValue(), 20);
}

TEST_F(NumberEditTest, ValueOutsideTheRangeIsReportedAndKept) {
    field().SetMaximumAllowedValue(10);
    field().SetMinimumAllowedValue(1);
    field().SetValue(5);
    field().SetValue(11);
    EXPECT_EQ(field().Value(), 5);
    ASSERT_EQ(control().errors.size(), 1u);
    EXPECT_EQ(control().errors[0], "Number out of range");
    EXPECT_EQ(control().beeps, 1);

    field().SetShowRangeError(false);
    field().SetValue(0);
    EXPECT_EQ(field().Value(), 5);
    EXPECT_EQ(control().errors.size(), 1u);

    // An empty message shows no box.
    field().SetShowRangeError(true);
    field().SetOutOfRangeErrorMessage("");
    field().SetValue(0);
    EXPECT_EQ(control().errors.size(), 1u);
    EXPECT_EQ(control().beeps, 2);
}

// --- Focus ---------------------------------------------------------------------

TEST_F(FactorFieldTest, FocusShowsAllDecimalsAndLeavingRestoresTheConfiguredOnes) {
    field().SetValue(1.23456L);
    EXPECT_EQ(Shown(), "1.2346");
    field().FocusEntered();
    EXPECT_EQ(Shown(), "1.23456");
    EXPECT_EQ(field().DecimalFigures(), 5);
    // Auto-select: everything selected.
    EXPECT_EQ(control().caret, 0);
    EXPECT_EQ(control().selection, 7);
    field().FocusLeft();
    EXPECT_EQ(Shown(), "1.2346");
    EXPECT_EQ(field().DecimalFigures(), 4);
    EXPECT_EQ(field().Value(), 1.23456L);
}

TEST_F(FactorFieldTest, FocusWithoutAutoSelectPutsTheCaretInFrontOfTheSeparator) {
    control().auto_select = false;
    field().SetValue(1234.5L);
    field().FocusEntered();
    EXPECT_EQ(Shown(), "1,234.5000");
    EXPECT_EQ(control().caret, 5);
    EXPECT_EQ(control().selection, 0);
}

TEST_F(NumberEditTest, LockDecimalFiguresKeepsTheConfiguredDecimalsWhileFocused) {
    field().SetLockDecimalFigures(true);
    field().SetValue(1.2345L);
    field().FocusEntered();
    EXPECT_EQ(Shown(), "1.23");
    field().FocusLeft();
    EXPECT_EQ(field().Value(), 1.2345L);
}

// --- Keys ----------------------------------------------------------------------

// One key sequence per row: the field is set to `start`, focused (everything
// selected), then each step puts the caret (unless -1), presses its key and
// checks text, value, caret (unless -1) and the beeps so far (unless -1).
constexpr char32_t kDeleteKeyStep = U'\x7F';  // the Delete key, not a character

struct KeyStep {
    int caret_before;
    char32_t key;
    const char* shown;
    long double value;
    int caret_after;
    int beeps;
};

struct KeySequence {
    const char* name;
    bool factor_field;  // the Fowis factor field, else the default configuration
    std::optional<long double> start;
    std::vector<KeyStep> steps;
    int decimals_while_focused = -1;           // DecimalFigures() at the end, unless -1
    const char* shown_after_leaving = nullptr;  // the text once the focus left, unless null
    bool force_limited_decimals = false;
    bool read_only = false;
};

const char32_t kBs = kBackspaceKey;
const char32_t kDel = kDeleteKeyStep;

const std::vector<KeySequence> kKeySequences = {
    {"digit over the whole text starts a new number, the next goes before the separator",
     true, 1.25L, {{-1, U'3', "3.0000", 3, 1, -1}, {-1, U'7', "37.0000", 37, 2, -1}}},
    {"minus is refused with a beep, other keys silently", true, 1.25L,
     {{1, U'-', "1.2500", 1.25L, -1, 1},
      {-1, U'a', "1.2500", 1.25L, -1, 1},
      {-1, U'E', "1.2500", 1.25L, -1, 1},
      {-1, U'x', "1.2500", 1.25L, -1, 1}}},
    {"separator key jumps behind the separator", true, 1234.5L,
     {{1, U'.', "1,234.5000", 1234.5L, 6, -1}}},
    {"delete in front of the separator removes the next digit", true, 1.25L,
     {{1, kDel, "1.5000", 1.5L, -1, -1}}},
    {"delete in front of a thousands separator skips it", true, 1234.5L,
     {{1, kDel, "134.5000", 134.5L, -1, -1}}},
    {"digits typed into the decimals overwrite", true, 1.25L,
     {{2, U'7', "1.7250", 1.725L, 3, -1}, {-1, U'9', "1.7925", 1.7925L, 4, -1}}},
    {"digit behind a full decimal part adds a decimal", true, 1.2345L,
     {{6, U'6', "1.23456", 1.23456L, -1, -1}}, 5, "1.2346"},
    {"forced limited decimals keep the configured decimals", true, 1.2345L,
     {{6, U'6', "1.2345", 1.2345L, -1, -1}}, 4, nullptr, true},
    {"backspace in the decimals steps left", true, 1.25L,
     {{6, kBs, "1.2500", 1.25L, 5, -1}, {4, kBs, "1.2000", 1.2L, 3, -1}}},
    {"backspace never removes a separator", true, 1234.5L,
     {{2, kBs, "234.5000", 234.5L, -1, -1}, {4, kBs, "23.5000", 23.5L, -1, -1}}},
    {"keys change nothing in a read-only field", true, 2,
     {{-1, U'5', "2.0000", 2, -1, -1}, {-1, kBs, "2.0000", 2, -1, -1}}, -1, nullptr, false,
     true},
    // "0.00" becomes "-.00": a negative number being typed is left alone.
    {"minus on a zero field starts a negative number", false, std::nullopt,
     {{1, U'-', "-.00", 0, -1, -1}, {2, U'5', "-.50", -0.5L, -1, -1}}},
};

TEST(NumberEditKeys, EachSequenceShowsAndHoldsWhatItShould) {
    for (const KeySequence& sequence : kKeySequences) {
        SCOPED_TRACE(sequence.name);
        ScopedNumberFormat keep_process_format;
        FakeNumberEdit edit;
        if (sequence.factor_field) ConfigureFactorFieldProperties(edit.field);
        edit.field.SetForceLimitedDecimals(sequence.force_limited_decimals);
        edit.control.read_only = sequence.read_only;
        if (sequence.start) edit.field.SetValue(*sequence.start);
        edit.field.FocusEntered();
        for (const KeyStep& step : sequence.steps) {
            if (step.caret_before >= 0) edit.control.SetCaretPosition(step.caret_before);
            if (step.key == kDeleteKeyStep) {
                edit.control.PressDelete();
            } else {
                edit.control.Type(step.key);
            }
            EXPECT_EQ(Utf8(edit.control.text), step.shown);
            EXPECT_EQ(edit.field.Value(), step.value) << step.shown;
            if (step.caret_after >= 0) EXPECT_EQ(edit.control.caret, step.caret_after) << step.shown;
            if (step.beeps >= 0) EXPECT_EQ(edit.control.beeps, step.beeps) << step.shown;
        }
        if (sequence.decimals_while_focused >= 0) {
            EXPECT_EQ(edit.field.DecimalFigures(), sequence.decimals_while_focused);
        }
        if (sequence.shown_after_leaving != nullptr) {
            edit.field.FocusLeft();
            EXPECT_EQ(Utf8(edit.control.text), sequence.shown_after_leaving);
        }
    }
}

TEST_F(NumberEditTest, EnterMovesTheFocusOnlyWithActOnEnter) {
    field().FocusEntered();
    control().Type(kEnterKey);
    EXPECT_EQ(control().focus_moves, 0);
    field().SetActOnEnter(true);
    control().Type(kEnterKey);
    EXPECT_EQ(control().focus_moves, 1);
}

TEST_F(NumberEditTest, MinusTogglesTheSign) {
    field().SetValue(1.5L);
    field().FocusEntered();
    control().SetCaretPosition(1);
    control().Type(U'-');
    EXPECT_EQ(Shown(), "-1.50");
    EXPECT_EQ(field().Value(), -1.5L);
    EXPECT_EQ(control().font_color, kRed);
    EXPECT_EQ(control().caret, 2);
    control().Type(U'-');
    EXPECT_EQ(Shown(), "1.50");
    EXPECT_EQ(field().Value(), 1.5L);
    EXPECT_EQ(control().font_color, kBlack);
    EXPECT_EQ(control().caret, 1);
}

TEST_F(NumberEditTest, RangeErrorWhileTypingRestoresThePreviousText) {
    field().SetMaximumAllowedValue(10);
    field().SetMinimumAllowedValue(1);
    field().SetValue(5);
    field().FocusEntered();
    ASSERT_EQ(control().selection, static_cast<int>(control().text.size()));
    control().Type(U'0');  // over the selection: the setter refuses 0
    EXPECT_EQ(field().Value(), 5);
    ASSERT_EQ(control().errors.size(), 1u);
    EXPECT_EQ(control().errors[0], "Number out of range");

    control().SetCaretPosition(1);
    control().Type(U'7');  // 75
    EXPECT_EQ(field().Value(), 5);
    EXPECT_EQ(Shown(), "5.00");
    EXPECT_EQ(control().errors.size(), 2u);
}

// --- Text changes --------------------------------------------------------------

TEST_F(NumberEditTest, TextThatIsNoNumberIsReportedAndUndone) {
    field().SetValue(12);
    field().FocusEntered();
    control().SetCaretPosition(1);
    control().Type(U'3');
    EXPECT_EQ(Shown(), "132.00");
    control().ChangeTextByUser(U"1-32.00");
    ASSERT_EQ(control().errors.size(), 1u);
    EXPECT_EQ(control().errors[0], "1-32.00 is not a valid number");
    EXPECT_EQ(control().beeps, 1);
    EXPECT_EQ(Shown(), "132.00");
    EXPECT_EQ(field().Value(), 132);
}

TEST_F(NumberEditTest, ZeroTextsSetZeroAndStayAsTyped) {
    field().SetValue(3);
    field().FocusEntered();
    control().ChangeTextByUser(U"-");
    EXPECT_EQ(field().Value(), 0);
    EXPECT_EQ(Shown(), "-");
    control().ChangeTextByUser(U"");
    EXPECT_EQ(field().Value(), 0);
    EXPECT_EQ(Shown(), "");
    control().ChangeTextByUser(U".5");
    EXPECT_EQ(field().Value(), 0.5L);
    EXPECT_EQ(Shown(), "0.50");
}

TEST_F(NumberEditTest, ParenthesesMakeATypedNumberNegative) {
    field().SetNumericFormat(TNumericFormat::nfCurrency);
    field().SetParenthesisForMinus(true);
    control().ChangeTextByUser(U"($7.00)");
    EXPECT_EQ(field().Value(), -7);
    EXPECT_EQ(Shown(), "($7.00)");
}

TEST_F(NumberEditTest, PercentTypedIsDividedByHundred) {
    field().SetNumericFormat(TNumericFormat::nfPercent);
    field().FocusEntered();
    control().ChangeTextByUser(U"25.00%");
    EXPECT_EQ(field().Value(), 0.25L);
    EXPECT_EQ(Shown(), "25.00%");
}

TEST_F(NumberEditTest, GeneralFormatReadsTheTextAsTyped) {
    field().SetNumericFormat(TNumericFormat::nfGeneral);
    field().FocusEntered();
    control().ChangeTextByUser(U"");
    control().TypeText(U"1.5");
    EXPECT_EQ(Shown(), "1.5");
    EXPECT_EQ(field().Value(), 1.5L);
    control().Type(U'.');  // a second separator is refused
    EXPECT_EQ(Shown(), "1.5");
    control().ChangeTextByUser(U".");
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(field().Value(), 0);
}

TEST_F(NumberEditTest, ChangeNotificationsAreForwarded) {
    int changes = 0;
    field().SetOnChange([&] { ++changes; });
    field().SetValue(2);
    EXPECT_GT(changes, 0);
    const int before = changes;
    field().FocusEntered();
    control().SetCaretPosition(1);
    control().Type(U'4');
    EXPECT_GT(changes, before);
}

// --- Clipboard -----------------------------------------------------------------

TEST_F(FactorFieldTest, CopyAndCutPutThePlainValueOnTheClipboard) {
    field().SetValue(1234.5L);
    control().Select(0, 3);
    field().Copy();
    EXPECT_EQ(control().clipboard, "1234.5");

    field().FocusEntered();
    control().Select(0, 2);  // "1,"
    field().Cut();
    EXPECT_EQ(field().Value(), 234.5L);
    EXPECT_EQ(control().clipboard, "234.5");
}

TEST_F(FactorFieldTest, PasteReplacesTheValue) {
    field().SetValue(2);
    control().clipboard = "abc";
    field().Paste();
    EXPECT_EQ(control().beeps, 1);
    EXPECT_EQ(field().Value(), 2);

    control().clipboard = " $1,234.50 ";
    field().Paste();
    EXPECT_EQ(field().Value(), 1234.5L);
    EXPECT_EQ(Shown(), "1,234.5000");

    // No negative numbers here: the minus is filtered out.
    control().clipboard = "-3";
    field().Paste();
    EXPECT_EQ(field().Value(), 3);
}

TEST_F(NumberEditTest, PasteReadsAPointAndFiltersWhatTheSeparatorIsNot) {
    field().SetDecimalseparator(',');
    field().SetThousandSeparator('.');
    control().clipboard = "12.5";
    field().Paste();
    EXPECT_EQ(field().Value(), 125);
    EXPECT_EQ(Shown(), "125,00");
    // Beeps even when BeepOnError is off.
    field().SetBeepOnError(false);
    control().clipboard = "12,5";
    field().Paste();
    EXPECT_EQ(control().beeps, 1);
    EXPECT_EQ(field().Value(), 125);
}

}  // namespace
}  // namespace zer1
