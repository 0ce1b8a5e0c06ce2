#include "common/helpers.h"

#include <gtest/gtest.h>

#include "common/number_format.h"

namespace zer1 {
namespace {

TEST(SwitchTest, ReadsOnlyTheCharacterAtThePosition) {
    EXPECT_TRUE(SwitchTest("10000010", 1));
    EXPECT_FALSE(SwitchTest("10000010", 2));
    EXPECT_TRUE(SwitchTest("10000010", 7));
    EXPECT_FALSE(SwitchTest("10000010", 9));
    EXPECT_FALSE(SwitchTest("10000010", 0));
    EXPECT_FALSE(SwitchTest("", 1));
    EXPECT_FALSE(SwitchTest("2", 1));
    // Positions count characters, so a two-byte letter in front does not shift them.
    EXPECT_TRUE(
        SwitchTest("\xC3\xA4"
                   "1",
                   2));
    EXPECT_FALSE(
        SwitchTest("\xC3\xA4"
                   "1",
                   3));
}

TEST(TextChoice, PicksByFlag) {
    EXPECT_EQ(TextChoice(true, "ja", "nein"), "ja");
    EXPECT_EQ(TextChoice(false, "ja", "nein"), "nein");
}

TEST(NumberFromText, PointIsReadWithEitherSeparator) {
    for (char separator : {',', '.'}) {
        ScopedNumberFormat format(separator, separator == ',' ? '.' : ',');
        EXPECT_DOUBLE_EQ(NumberFromText(" 7.50 "), 7.5) << separator;
        EXPECT_DOUBLE_EQ(NumberFromText("\t12.5\r\n"), 12.5) << separator;
        EXPECT_DOUBLE_EQ(NumberFromText("-3.5E2"), -350.0) << separator;
        EXPECT_DOUBLE_EQ(NumberFromText("+.25"), 0.25) << separator;
        EXPECT_DOUBLE_EQ(NumberFromText("42"), 42.0) << separator;
        EXPECT_DOUBLE_EQ(NumberFromText("1e3"), 1000.0) << separator;
    }
}

TEST(NumberFromText, CommaCountsOnlyWhenItIsTheSeparator) {
    {
        ScopedNumberFormat format(',', '.');
        EXPECT_DOUBLE_EQ(NumberFromText("12,5"), 12.5);
        EXPECT_DOUBLE_EQ(NumberFromText("12.5"), 12.5);
    }
    {
        ScopedNumberFormat format('.', ',');
        EXPECT_DOUBLE_EQ(NumberFromText("12,5"), 0.0);
    }
}

TEST(NumberFromText, UnreadableInputGivesZero) {
    ScopedNumberFormat format(',', '.');
    for (const char* text : {"", "   ", "abc", "1.234.5", "1,2,3", "12a", "1e", "1e+", "+", "-",
                             ".", "1 000", "1.000,5", "0x10", "nan", "inf", "1e99999"}) {
        EXPECT_EQ(NumberFromText(text), 0.0) << '"' << text << '"';
    }
}

TEST(NumberFormat, StartsWithGermanSeparatorsAndScopeRestores) {
    EXPECT_EQ(DecimalSeparator(), ',');
    EXPECT_EQ(ThousandsSeparator(), '.');
    {
        ScopedNumberFormat format('.', ',');
        EXPECT_EQ(DecimalSeparator(), '.');
        EXPECT_EQ(ThousandsSeparator(), ',');
    }
    EXPECT_EQ(DecimalSeparator(), ',');
    EXPECT_EQ(ThousandsSeparator(), '.');
}

TEST(ParseDecimal, AcceptsOnlyTheWholeTextAsANumber) {
    EXPECT_EQ(*ParseDecimal("1,25", ','), 1.25L);
    EXPECT_EQ(*ParseDecimal("-0,5e1", ','), -5.0L);
    EXPECT_EQ(*ParseDecimal("3,", ','), 3.0L);
    EXPECT_FALSE(ParseDecimal("1.25", ','));
    EXPECT_FALSE(ParseDecimal(" 1", ','));
    EXPECT_FALSE(ParseDecimal("1 ", ','));
    EXPECT_FALSE(ParseDecimal("", ','));
    EXPECT_FALSE(ParseDecimal("--1", ','));
}

TEST(SplitText, NDelimitersGiveNPlusOnePieces) {
    auto split = [](std::string_view text) {
        std::vector<std::string> pieces;
        SplitText(text, ';', pieces);
        return pieces;
    };
    EXPECT_EQ(split("a;;b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split("x"), (std::vector<std::string>{"x"}));
    EXPECT_EQ(split(""), (std::vector<std::string>{""}));
    EXPECT_EQ(split(";"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(split("a;b;"), (std::vector<std::string>{"a", "b", ""}));
}

TEST(SplitText, AppendsWithoutClearing) {
    std::vector<std::string> pieces{"old"};
    SplitText("n1|n2", '|', pieces);
    EXPECT_EQ(pieces, (std::vector<std::string>{"old", "n1", "n2"}));
}

}  // namespace
}  // namespace zer1
