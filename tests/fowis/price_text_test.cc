#include "fowis/price_text.h"

#include <gtest/gtest.h>

#include "common/number_format.h"

namespace zer1 {
namespace {

class PriceTextTest : public ::testing::Test {
protected:
    ScopedNumberFormat keep_process_format_;
};

TEST_F(PriceTextTest, ReadsBothNotationsAndDashesAsZeros) {
    EXPECT_EQ(ConvertPriceText("12,50", 0), 12.5);
    EXPECT_EQ(ConvertPriceText("12.50", 0), 12.5);
    EXPECT_EQ(ConvertPriceText("12,-", 0), 12.0);
    EXPECT_EQ(ConvertPriceText("1,5-", 0), 1.5);
    EXPECT_EQ(ConvertPriceText("-5", 0), 5.0);
    EXPECT_EQ(ConvertPriceText("-", 0), 0.0);
    EXPECT_EQ(ConvertPriceText("--", 0), 0.0);
    EXPECT_EQ(ConvertPriceText("", 0), 0.0);
    EXPECT_EQ(ConvertPriceText("        ", 0), 0.0);
    EXPECT_EQ(ConvertPriceText("  7,95  ", 0), 7.95);
    EXPECT_EQ(ConvertPriceText("\t3,5\r", 0), 3.5);
}

TEST_F(PriceTextTest, EachTextSetsTheProcessWideSeparator) {
    ConvertPriceText("12.50", 0);
    EXPECT_EQ(DecimalSeparator(), '.');
    ConvertPriceText("12,50", 0);
    EXPECT_EQ(DecimalSeparator(), ',');
    ConvertPriceText("1.5", 0);
    EXPECT_EQ(DecimalSeparator(), '.');
    // Also a blank text: it holds no ".", so "," is set.
    ConvertPriceText("   ", 0);
    EXPECT_EQ(DecimalSeparator(), ',');
}

TEST_F(PriceTextTest, ThousandsSeparatorsAreRefusedWithTheCleanedText) {
    try {
        ConvertPriceText(" 1.234,56 ", 0);
        FAIL() << "no error";
    } catch (const PriceConversionError& error) {
        EXPECT_STREQ(error.what(), "'1.234,56' ist kein gültiger Gleitkommawert");
    }
    EXPECT_EQ(DecimalSeparator(), '.');
    // The message shows the text after "-" became "0".
    try {
        ConvertPriceText("1,2-x", 0);
        FAIL() << "no error";
    } catch (const PriceConversionError& error) {
        EXPECT_STREQ(error.what(), "'1,20x' ist kein gültiger Gleitkommawert");
    }
    EXPECT_THROW(ConvertPriceText("1,2,3", 0), PriceConversionError);
    EXPECT_THROW(ConvertPriceText("EUR 5", 0), PriceConversionError);
    EXPECT_THROW(ConvertPriceText("1E99999", 0), PriceConversionError);
}

TEST_F(PriceTextTest, FactorAboveZeroScalesAtExtendedPrecision) {
    EXPECT_EQ(ConvertPriceText("7,5", 2.0f), 15.0);
    EXPECT_EQ(ConvertPriceText("10,00", 1.25f), 12.5);
    EXPECT_EQ(ConvertPriceText("10,00", 0.0f), 10.0);
    EXPECT_EQ(ConvertPriceText("10,00", -2.0f), 10.0);
    // The factor enters as the single-precision value nearest to 1.1.
    const double scaled = ConvertPriceText("10,00", 1.1f);
    EXPECT_NEAR(scaled, 11.00000024, 5e-9);
    EXPECT_EQ(scaled, static_cast<double>(10.0L * static_cast<long double>(1.1f)));
    // The number and the product keep extended precision: 0.1 * 3 is exactly the
    // double nearest to 0.3, where double arithmetic would give 0.30000000000000004.
    EXPECT_EQ(ConvertPriceText("0,1", 3.0f), 0.3);
}

TEST_F(PriceTextTest, FitsNumericFieldCountsTheRoundedText) {
    EXPECT_TRUE(FitsNumericField(99999.99, 8, 2));
    EXPECT_TRUE(FitsNumericField(-9999.99, 8, 2));
    EXPECT_FALSE(FitsNumericField(100000.0, 8, 2));
    EXPECT_FALSE(FitsNumericField(99999.996, 8, 2));
    EXPECT_FALSE(FitsNumericField(-10000.0, 8, 2));
    EXPECT_TRUE(FitsNumericField(0.0, 8, 2));
}

TEST_F(PriceTextTest, PriceTooLargeForItsFieldIsRefusedNamingFieldAndValue) {
    EXPECT_EQ(ConvertPriceForField("LEK", "99999,99", 0), 99999.99);
    try {
        ConvertPriceForField("LEK", "50000,00", 2.0f);
        FAIL() << "no error";
    } catch (const PriceConversionError& error) {
        EXPECT_STREQ(error.what(), "Der Wert 100000.00 passt nicht in das Feld LEK (N 8,2)!");
    }
    try {
        ConvertPriceForField("T3", "1E12", 0);
        FAIL() << "no error";
    } catch (const PriceConversionError& error) {
        EXPECT_STREQ(error.what(),
                     "Der Wert 1000000000000.00 passt nicht in das Feld T3 (N 8,2)!");
    }
    // A text that is no number keeps its own message.
    try {
        ConvertPriceForField("UEVP", "1.234,56", 0);
        FAIL() << "no error";
    } catch (const PriceConversionError& error) {
        EXPECT_STREQ(error.what(), "'1.234,56' ist kein gültiger Gleitkommawert");
    }
    // Beyond the range of a double: named as written.
    try {
        ConvertPriceForField("LEK", " 1e400", 0);
        FAIL() << "no error";
    } catch (const PriceConversionError& error) {
        EXPECT_STREQ(error.what(), "Der Wert 1e400 passt nicht in das Feld LEK (N 8,2)!");
    }
}

}  // namespace
}  // namespace zer1
