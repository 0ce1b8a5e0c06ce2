#include "controls/decimal_text.h"

#include <gtest/gtest.h>

namespace zer1 {
namespace {

TEST(FormatGrouped, GroupsDigitsAndPadsDecimals) {
    EXPECT_EQ(FormatGrouped(1234.5L, 4, '.', ','), "1,234.5000");
    EXPECT_EQ(FormatGrouped(1234567.891L, 2, '.', ','), "1,234,567.89");
    EXPECT_EQ(FormatGrouped(123456.0L, 0, ',', '.'), "123.456");
    EXPECT_EQ(FormatGrouped(-9876543.0L, 1, ',', '.'), "-9.876.543,0");
}

TEST(FormatGrouped, NoDigitInFrontOfTheSeparatorForAZeroIntegerPart) {
    EXPECT_EQ(FormatGrouped(0.5L, 2, '.', ','), ".50");
    EXPECT_EQ(FormatGrouped(-0.5L, 2, '.', ','), "-.50");
    EXPECT_EQ(FormatGrouped(0.0L, 4, '.', ','), ".0000");
    EXPECT_EQ(FormatGrouped(0.0L, 0, '.', ','), "");
}

TEST(FormatGrouped, RoundsHalfAwayFromZeroOnTheDecimalForm) {
    EXPECT_EQ(FormatGrouped(1.23456L, 4, '.', ','), "1.2346");
    EXPECT_EQ(FormatGrouped(2.5L, 0, '.', ','), "3");
    EXPECT_EQ(FormatGrouped(-2.5L, 0, '.', ','), "-3");
    // 1.005 is slightly below 1.005 in binary but reads 1.00500000000000000 at 18 digits.
    EXPECT_EQ(FormatGrouped(1.005L, 2, '.', ','), "1.01");
    EXPECT_EQ(FormatGrouped(999.995L, 2, '.', ','), "1,000.00");
    EXPECT_EQ(FormatGrouped(0.004L, 2, '.', ','), ".00");
    EXPECT_EQ(FormatGrouped(0.005L, 2, '.', ','), ".01");
    // A negative value that rounds to zero shows no sign.
    EXPECT_EQ(FormatGrouped(-0.001L, 2, '.', ','), ".00");
}

TEST(FormatGrouped, LargeAndTinyValues) {
    EXPECT_EQ(FormatGrouped(1e20L, 0, '.', ','), "100,000,000,000,000,000,000");
    EXPECT_EQ(FormatGrouped(1e-20L, 15, '.', ','), ".000000000000000");
}

TEST(FormatGeneral, ShortestFormWithFifteenDigits) {
    EXPECT_EQ(FormatGeneral(1.25L, '.'), "1.25");
    EXPECT_EQ(FormatGeneral(1.25L, ','), "1,25");
    EXPECT_EQ(FormatGeneral(-3.0L, '.'), "-3");
    EXPECT_EQ(FormatGeneral(0.0L, '.'), "0");
    EXPECT_EQ(FormatGeneral(0.1L, '.'), "0.1");
    EXPECT_EQ(FormatGeneral(1.0L / 3, '.'), "0.333333333333333");
    EXPECT_EQ(FormatGeneral(1e20L, '.'), "1E20");
    EXPECT_EQ(FormatGeneral(1.5e-7L, '.'), "1.5E-7");
}

TEST(DecimalsNeeded, CountsDecimalsOfTwelveSignificantDigits) {
    EXPECT_EQ(DecimalsNeeded(1.2345L), 4);
    EXPECT_EQ(DecimalsNeeded(7.0L), 0);
    EXPECT_EQ(DecimalsNeeded(-0.5L), 1);
    EXPECT_EQ(DecimalsNeeded(1.23456L), 5);
    EXPECT_EQ(DecimalsNeeded(0.00001234L), 8);
    EXPECT_EQ(DecimalsNeeded(1e-20L), 15);
    // The single-precision 1.1 widened shows its binary tail at 12 digits.
    EXPECT_EQ(DecimalsNeeded(static_cast<long double>(1.1f)), 12);
}

}  // namespace
}  // namespace zer1
