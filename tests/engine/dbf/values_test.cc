// Stored field values and code pages: number formatting with rounding and
// refusal, memo pointers, and the 1252/850 tables.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "dbf/field_value.h"

namespace {

sde::FieldDesc Numeric(uint32_t width, uint32_t decimals) {
    sde::FieldDesc f;
    f.name = "N";
    f.type = 'N';
    f.width = width;
    f.decimals = decimals;
    return f;
}

std::string Format(const char* text, uint32_t width, uint32_t decimals) {
    auto r = sde::FormatNumber(text, Numeric(width, decimals));
    return r.ok() ? *r : "refused";
}

TEST(NumberFormatTest, RoundsHalfAwayFromZeroAndCarries) {
    EXPECT_EQ(Format("9.995", 6, 2), " 10.00");
    EXPECT_EQ(Format("-9.995", 6, 2), "-10.00");
    EXPECT_EQ(Format("0.004", 5, 2), " 0.00");
    EXPECT_EQ(Format("-0.004", 5, 2), " 0.00");  // no negative zero
    EXPECT_EQ(Format("2.5", 3, 0), "  3");
    EXPECT_EQ(Format("+7", 3, 0), "  7");
    EXPECT_EQ(Format(" 007.10 ", 6, 1), "   7.1");
    EXPECT_EQ(Format(".5", 4, 1), " 0.5");
    EXPECT_EQ(Format("12.", 4, 0), "  12");
    EXPECT_EQ(Format("   ", 4, 0), "    ");
    EXPECT_EQ(Format("12345678901234567890", 20, 0), "12345678901234567890");
    EXPECT_EQ(Format("99.5", 3, 0), "100");  // the carry fills the width exactly
    EXPECT_EQ(Format("0.95", 4, 1), " 1.0");
    // Leading zeros and fraction digits far beyond the field do not count.
    EXPECT_EQ(Format((std::string(300, '0') + "42.125" + std::string(300, '9')).c_str(), 6, 2),
              " 42.13");
    // A field wider than the usual numbers: 40 digits, 30 of them decimals.
    EXPECT_EQ(Format("-1.5", 40, 30), std::string(7, ' ') + "-1." + "5" + std::string(29, '0'));
}

TEST(NumberFormatTest, RefusesWhatDoesNotFitOrIsNoNumber) {
    EXPECT_EQ(Format("999.995", 6, 2), "refused");  // rounds to 1000.00: 7 characters
    EXPECT_EQ(Format("-100", 3, 0), "refused");
    EXPECT_EQ(Format("1e5", 8, 0), "refused");
    EXPECT_EQ(Format("1,5", 8, 1), "refused");
    EXPECT_EQ(Format("1.2.3", 8, 1), "refused");
    EXPECT_EQ(Format("-", 8, 1), "refused");
    EXPECT_EQ(Format(".", 8, 1), "refused");
    EXPECT_EQ(Format("**", 8, 1), "refused");
    EXPECT_EQ(Format("123456789x", 4, 0), "refused");  // too long and no number
    EXPECT_EQ(Format(std::string(300, '9').c_str(), 20, 0), "refused");
}

TEST(NumberFormatTest, StoredFormIsRecognisedOnlyWhereFormattingKeepsIt) {
    // What is taken as stored form must be what formatting makes of it; the
    // rest goes through formatting and comes out different (or refused).
    const std::vector<std::pair<const char*, uint32_t>> taken = {
        {"  12.50", 2}, {"   0.00", 2}, {" -0.01", 2}, {"     7", 0}, {"0", 0}, {"-12", 0}};
    for (const auto& [text, decimals] : taken) {
        const sde::FieldDesc field = Numeric(uint32_t(std::string(text).size()), decimals);
        EXPECT_TRUE(sde::IsStoredNumberForm(text, field)) << text;
        EXPECT_EQ(Format(text, field.width, decimals), text);
    }
    const std::vector<std::pair<const char*, uint32_t>> refused = {
        {"  -0.00", 2}, {" 012.50", 2}, {"  12.5 ", 2}, {" 12.500", 2}, {"   12.5", 2},
        {"  +1.00", 2}, {"   1,50", 2}, {"    -0", 0}, {"   007", 0}, {"      ", 0},
        {"12.50  ", 2}, {"  1. 50", 2}};
    for (const auto& [text, decimals] : refused) {
        const sde::FieldDesc field = Numeric(uint32_t(std::string(text).size()), decimals);
        EXPECT_FALSE(sde::IsStoredNumberForm(text, field)) << text;
    }
    EXPECT_FALSE(sde::IsStoredNumberForm("12.50", Numeric(7, 2)));  // not the field's width
}

TEST(FieldValueTest, DatesLogicalsAndMemoPointers) {
    sde::FieldDesc date;
    date.name = "D";
    date.type = 'D';
    date.width = 8;
    EXPECT_EQ(*sde::FormatFieldValue("20261208", date), "20261208");
    EXPECT_FALSE(sde::FormatFieldValue("2026128", date).ok());
    sde::FieldDesc logical = date;
    logical.type = 'L';
    logical.width = 1;
    EXPECT_EQ(*sde::FormatFieldValue(".t.", logical), "T");
    EXPECT_EQ(*sde::FormatFieldValue("y", logical), "T");
    EXPECT_EQ(*sde::FormatFieldValue("N", logical), "F");
    EXPECT_EQ(*sde::FormatFieldValue("", logical), " ");
    EXPECT_FALSE(sde::FormatFieldValue("x", logical).ok());

    EXPECT_EQ(sde::ParseMemoPointer("        12", 10), 12);
    EXPECT_EQ(sde::ParseMemoPointer("12        ", 10), 12);
    EXPECT_EQ(sde::ParseMemoPointer("          ", 10), 0);
    EXPECT_EQ(sde::ParseMemoPointer("0000000003", 10), 3);
    EXPECT_EQ(sde::ParseMemoPointer("   1 2    ", 10), -1);
    EXPECT_EQ(sde::ParseMemoPointer("99999999999", 11), -1);
    EXPECT_EQ(sde::FormatMemoPointer(12, 10), "        12");
    EXPECT_EQ(sde::FormatMemoPointer(0, 10), "          ");
}

TEST(CodePageTest, TablesAreInverseWhereBothPagesHaveTheCharacter) {
    int unmapped = 0;
    for (int c = 0; c < 256; ++c) {
        uint8_t oem = sde::AnsiToOem(uint8_t(c));
        if (oem == '?' && c != '?') {
            ++unmapped;
            continue;
        }
        EXPECT_EQ(sde::OemToAnsi(oem), c) << c;
    }
    EXPECT_EQ(unmapped, 31);  // e.g. the euro sign and typographic quotes
    EXPECT_EQ(sde::AnsiToOem(0x80), '?');
    // German letters: a/o/u umlauts, capitals, sharp s.
    const uint8_t ansi[] = {0xE4, 0xF6, 0xFC, 0xC4, 0xD6, 0xDC, 0xDF, 0xE9, 0xA7};
    const uint8_t oem[] = {0x84, 0x94, 0x81, 0x8E, 0x99, 0x9A, 0xE1, 0x82, 0xF5};
    for (size_t i = 0; i < sizeof ansi; ++i) {
        EXPECT_EQ(sde::AnsiToOem(ansi[i]), oem[i]);
        EXPECT_EQ(sde::OemToAnsi(oem[i]), ansi[i]);
    }
    // The box-drawing characters of 850 have no 1252 counterpart.
    EXPECT_EQ(sde::OemToAnsi(0xC9), '?');
    EXPECT_EQ(sde::AnsiToOem('A'), 'A');
}

}  // namespace

// The in-place translations skip runs of ASCII; every byte, ASCII or not,
// at every position and text length, must come out as the single-byte
// mapping gives it.
TEST(CodePageTest, InPlaceTranslationMatchesEveryByte) {
    std::mt19937 rng(3);
    for (size_t length = 0; length <= 40; ++length) {
        for (int round = 0; round < 50; ++round) {
            std::vector<uint8_t> text(length);
            for (auto& c : text) c = uint8_t(rng() % 4 == 0 ? 0x80 + rng() % 128 : rng() % 128);
            std::vector<uint8_t> oem = text, ansi = text;
            sde::AnsiToOemInPlace(oem.data(), oem.size());
            sde::OemToAnsiInPlace(ansi.data(), ansi.size());
            for (size_t i = 0; i < length; ++i) {
                ASSERT_EQ(oem[i], sde::AnsiToOem(text[i])) << "length " << length << " at " << i;
                ASSERT_EQ(ansi[i], sde::OemToAnsi(text[i])) << "length " << length << " at " << i;
            }
        }
    }
}
