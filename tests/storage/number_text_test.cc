// Numeric field text: formatting to width and decimals, rounding, overflow, reading.
#include "storage/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zer1 {
namespace {

TEST(NumberText, FormatsRightAlignedWithTheFieldsDecimals) {
    EXPECT_EQ(FormatNumberField(12.5, 8, 2), "   12.50");
    EXPECT_EQ(FormatNumberField(0, 5, 0), "    0");
    EXPECT_EQ(FormatNumberField(-3.25, 6, 1), "  -3.3");
    EXPECT_EQ(FormatNumberField(1234, 4, 0), "1234");
    EXPECT_EQ(FormatNumberField(0.5, 5, 3), "0.500");
    EXPECT_FALSE(FormatNumberField(0.5, 4, 3));
}

TEST(NumberText, RoundsTheDecimalFormHalfAwayFromZero) {
    // 1.005 and 2.675 are stored a little below their decimal form; a price
    // must still round as written.
    EXPECT_EQ(FormatNumberField(1.005, 6, 2), "  1.01");
    EXPECT_EQ(FormatNumberField(2.675, 6, 2), "  2.68");
    EXPECT_EQ(FormatNumberField(-2.675, 6, 2), " -2.68");
    EXPECT_EQ(FormatNumberField(9.995, 6, 2), " 10.00");
    EXPECT_EQ(FormatNumberField(99.5, 3, 0), "100");
    EXPECT_EQ(FormatNumberField(0.0049, 5, 2), " 0.00");
}

TEST(NumberText, NegativeZeroAfterRoundingHasNoSign) {
    EXPECT_EQ(FormatNumberField(-0.001, 5, 2), " 0.00");
    EXPECT_EQ(FormatNumberField(-0.0, 3, 0), "  0");
}

TEST(NumberText, ValueThatDoesNotFitGivesNothing) {
    EXPECT_FALSE(FormatNumberField(12345, 4, 0));
    EXPECT_FALSE(FormatNumberField(99.995, 5, 2));  // rounds to 100.00
    EXPECT_FALSE(FormatNumberField(-100, 3, 0));
    EXPECT_FALSE(FormatNumberField(std::numeric_limits<double>::quiet_NaN(), 10, 2));
    EXPECT_FALSE(FormatNumberField(INFINITY, 10, 2));
    EXPECT_FALSE(FormatNumberField(1e300, 20, 2));
}

TEST(NumberText, ReadsStoredTextBlanksAsZero) {
    EXPECT_DOUBLE_EQ(ParseNumberField("   12.50"), 12.5);
    EXPECT_DOUBLE_EQ(ParseNumberField("  -3.3"), -3.3);
    EXPECT_DOUBLE_EQ(ParseNumberField("12,5"), 12.5);
    EXPECT_DOUBLE_EQ(ParseNumberField("        "), 0.0);
    EXPECT_DOUBLE_EQ(ParseNumberField(""), 0.0);
    EXPECT_DOUBLE_EQ(ParseNumberField("***"), 0.0);
    EXPECT_TRUE(IsBlank("   "));
    EXPECT_FALSE(IsBlank("  0"));
}

// Stored text that FormatNumberField would write for its own value, and text
// that the round trip through a double would change.
TEST(NumberText, CanonicalStoredTextIsWhatFormattingWrites) {
    for (const char* stored : {"   12.50", "    0.00", "  -12.50", "        ", "   0", "1234"}) {
        const std::string text(stored);
        const int decimals = text.find('.') == std::string::npos ? 0 : 2;
        EXPECT_TRUE(IsCanonicalNumberField(text, decimals)) << stored;
        if (!IsBlank(text)) {
            EXPECT_EQ(FormatNumberField(ParseNumberField(text), static_cast<int>(text.size()),
                                        decimals),
                      text);
        }
    }
    for (const char* stored : {"  012.50", "   12.5 ", "    12.5", "   -0.00", "   12,50",
                               "  +12.50", "  12.500", "   1e+03", "12.50   ", "  .50"}) {
        EXPECT_FALSE(IsCanonicalNumberField(stored, 2)) << stored;
    }
    EXPECT_FALSE(IsCanonicalNumberField("  12", 2));
    EXPECT_FALSE(IsCanonicalNumberField(" 1.0", 0));
}

}  // namespace
}  // namespace zer1
