#include "imports/dgh_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_encoding.h"
#include "dgh_member.h"

namespace zer1 {
namespace {

using namespace std::chrono;

constexpr const char* kDate = "07.03.26";

std::string Blanks(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

// A line of 16 columns with the given texts in columns 3, 7, 13, 14 and 15.
std::string Line(const std::string& c3, const std::string& c7, const std::string& c13,
                 const std::string& c14, const std::string& c15) {
    return "A;B;" + c3 + ";Text;Lief;x;" + c7 + ";;;;;;" + c13 + ";" + c14 + ";" + c15 + ";WG1";
}

TEST(DghConversionTest, SixteenColumnLineFillsEveryField) {
    WorkingRecord rec = ConvertDghLine("A;B;123;Text;Lief;x;4711;;;;;;1.50;2.99;;WG1", kDate);
    EXPECT_EQ(rec.get(1), "4711");
    EXPECT_EQ(rec.get(2), "TEXT");
    EXPECT_EQ(rec.get(3), Blanks(6) + "2.99");
    EXPECT_EQ(rec.get(4), Blanks(6) + "1.50");
    EXPECT_EQ(rec.get(5), "LIEF");
    EXPECT_EQ(rec.get(6), "AB");
    EXPECT_EQ(rec.get(7), "");
    EXPECT_EQ(rec.get(8), "");
    EXPECT_EQ(rec.get(9), "DGHWG1");
    EXPECT_EQ(rec.get(10), kDate);
    EXPECT_EQ(rec.get(11), "DG");
    EXPECT_EQ(rec.get(12), "1");
    EXPECT_EQ(rec.get(13), "/123");
}

TEST(DghConversionTest, BlankEanIsReplacedByTheOrderNumber) {
    EXPECT_EQ(ConvertDghLine(Line("123", "", "1", "2", ""), kDate).get(1), "!DGH123");
    EXPECT_EQ(ConvertDghLine(Line("123", "   ", "1", "2", ""), kDate).get(1), "!DGH123");
    EXPECT_EQ(ConvertDghLine(Line("123", "\t", "1", "2", ""), kDate).get(1), "!DGH123");
    // Only 9 characters of a long order number fit behind "!DGH".
    WorkingRecord rec = ConvertDghLine(Line("1234567890AB", "", "1", "2", ""), kDate);
    EXPECT_EQ(rec.get(1), "!DGH123456789");
    EXPECT_EQ(rec.get(13), "/1234567890AB");
    // An EAN with blanks around it is taken as it stands (the table drops trailing blanks).
    EXPECT_EQ(ConvertDghLine(Line("123", " 4711 ", "1", "2", ""), kDate).get(1), " 4711");
}

TEST(DghConversionTest, SubstituteSalesPriceOnlyForEmptyOrZero) {
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.00", "", "3.49"), kDate).get(3), Blanks(6) + "3.49");
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.00", "0.00", "3.49"), kDate).get(3),
              Blanks(6) + "3.49");
    // A leading blank empties the sales price, a currency word is cut off: both are replaced.
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.00", " 2.99", "3.49"), kDate).get(3),
              Blanks(6) + "3.49");
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.00", "0.00 EUR", "3.49"), kDate).get(3),
              Blanks(6) + "3.49");
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.00", "0,00", "3.49"), kDate).get(3),
              Blanks(6) + "0,00");
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.00", "2.99", "3.49"), kDate).get(3),
              Blanks(6) + "2.99");
    // No blank cut for the substitute: its text is kept up to the field width.
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.00", "", "3.49 EUR"), kDate).get(3),
              Blanks(2) + "3.49 EUR");
    // Trailing blanks do not shift the substitute out of alignment.
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.00", "", "3.49  "), kDate).get(3),
              Blanks(6) + "3.49");
}

TEST(DghConversionTest, FifteenColumnsMakeColumnFifteenTheProductGroup) {
    WorkingRecord rec = ConvertDghLine("A;B;1;T;L;x;4711;;;;;;1.50;;3.49", kDate);
    EXPECT_EQ(rec.get(3), "");         // nothing was put into FELD3 ...
    EXPECT_EQ(rec.get(9), "DGH3.49");  // ... column 15 is the product group
    EXPECT_EQ(rec.get(4), Blanks(6) + "1.50");
}

TEST(DghConversionTest, PriceNormalisation) {
    // Leading blank: the text before the first blank is empty.
    EXPECT_EQ(ConvertDghLine(Line("1", "2", " 1.50", "2", ""), kDate).get(4), "");
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.50 EUR", "2,99 EUR", ""), kDate).get(4),
              Blanks(6) + "1.50");
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "1.50 EUR", "2,99 EUR", ""), kDate).get(3),
              Blanks(6) + "2,99");
    // A long column is cut to 10 characters before it is normalised.
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "123456789012", "x", ""), kDate).get(4), "1234567890");
    EXPECT_EQ(ConvertDghLine(Line("1", "2", "12345678 9", "x", ""), kDate).get(4),
              Blanks(2) + "12345678");
    EXPECT_EQ(NormalisePrice("", true), Blanks(10));
    EXPECT_EQ(NormalisePrice("\xE2\x82\xAC"
                             "1",
                             false),
              Blanks(8) +
                  "\xE2\x82\xAC"
                  "1");
}

TEST(DghConversionTest, UpperCasingTouchesOnlyAsciiLetters) {
    WorkingRecord rec = ConvertDghLine(
        "zus\xC3\xA4tz;lich;1;gr\xC3\xBC\xC3\x9F"
        "e 5x;m\xC3\xBCller;x;4711;G",
        kDate);
    EXPECT_EQ(rec.get(2),
              "GR\xC3\xBC\xC3\x9F"
              "E 5X");
    EXPECT_EQ(rec.get(5), "M\xC3\xBCLLER");
    EXPECT_EQ(rec.get(6), "ZUS\xC3\xA4TZLICH");
    EXPECT_EQ(rec.get(9), "DGHG");  // the product group keeps its case
}

TEST(DghConversionTest, FieldsAreCutInStoredCharacters) {
    // 39 letters and a euro sign fill the 40 characters of FELD2 exactly.
    std::string desc = std::string(39, 'a') + "\xE2\x82\xAC" + "zz";
    WorkingRecord rec = ConvertDghLine("x;y;1;" + desc + ";L;x;4711;G", kDate);
    EXPECT_EQ(rec.get(2), std::string(39, 'A') + "\xE2\x82\xAC");
    // 41 bytes but only 39 characters: nothing is cut.
    rec = ConvertDghLine("x;y;1;" + std::string(38, 'b') + "\xE2\x82\xAC;L;x;4711;G", kDate);
    EXPECT_EQ(rec.get(2), std::string(38, 'B') + "\xE2\x82\xAC");
    // A character outside the basic plane still counts as one.
    rec = ConvertDghLine("x;y;1;D;" + std::string(14, 'l') +
                             "\xF0\x9F\x98\x80"
                             "abc;x;4711;G",
                         kDate);
    EXPECT_EQ(rec.get(5), std::string(14, 'L') + "\xF0\x9F\x98\x80");
    // A line of 1 MiB: the long column is cut like any other.
    rec = ConvertDghLine("x;y;1;" + std::string(1 << 20, 'q') + ";L;x;4711;G", kDate);
    EXPECT_EQ(rec.get(2), std::string(40, 'Q'));
}

TEST(DghConversionTest, SecondTextColumnBuildsOnTheStoredFirst) {
    // Trailing blanks of column 1 are gone once stored.
    EXPECT_EQ(ConvertDghLine("ab  ;cd;1;T;L;x;4711;G", kDate).get(6), "ABCD");
    // Column 1 filling the field leaves no room for column 2.
    std::string full(45, 'a');
    EXPECT_EQ(ConvertDghLine(full + ";cd;1;T;L;x;4711;G", kDate).get(6), std::string(40, 'A'));
}

TEST(DghConversionTest, ShortLinesKeepTheConstantFields) {
    WorkingRecord rec = ConvertDghLine("nur ein Text ohne Trenner", kDate);
    EXPECT_EQ(rec.get(9), "DGHnur ein Te");
    EXPECT_EQ(rec.get(1), "");
    EXPECT_EQ(rec.get(13), "");
    EXPECT_EQ(rec.get(10), kDate);
    EXPECT_EQ(rec.get(11), "DG");
    EXPECT_EQ(rec.get(12), "1");
    // A line ending with ";" has an empty product group; column 7 never came.
    rec = ConvertDghLine("a;b;99;", kDate);
    EXPECT_EQ(rec.get(9), "DGH");
    EXPECT_EQ(rec.get(13), "/99");
    EXPECT_EQ(rec.get(1), "");
}

TEST(DghConversionTest, StoredConversionGivesTheBytesOfTheUtf8Conversion) {
    // One converter for all lines, as the import uses it: nothing of a line
    // may stay behind in the next.
    DghLineConverter converter;
    std::string ansi;
    for (const std::u16string& tricky : testing::TrickyDghLines(4000)) {
        // As it comes, and behind twelve columns, where it meets the price rules.
        for (const std::u16string& text : {tricky, u"a;b;1;d;e;f;g;;;;;;" + tricky}) {
            const std::string line = Utf16LeToUtf8(testing::Utf16Le(text));
            const WorkingRecord utf8 = ConvertDghLine(line, kDate);
            Utf16LeToWindows1252(testing::Utf16Le(text), ansi);
            const StoredWorkingRecord& stored = converter.Convert(ansi, kDate);
            for (int n = 1; n <= 13; ++n) {  // FELD1 to FELD13, the text fields
                ASSERT_EQ(stored.get(n), Utf8ToWindows1252(utf8.get(n)))
                    << "FELD" << n << " of " << ::testing::PrintToString(line);
            }
        }
    }
}

TEST(DghConversionTest, ImportDateIsDayMonthTwoDigitYear) {
    EXPECT_EQ(FormatImportDate(2026y / March / 7d), "07.03.26");
    EXPECT_EQ(FormatImportDate(2000y / December / 31d), "31.12.00");
    EXPECT_EQ(FormatImportDate(1999y / January / 1d), "01.01.99");
    // The local date is a valid calendar date whose text has the right shape.
    year_month_day today = LocalToday();
    ASSERT_TRUE(today.ok());
    EXPECT_EQ(FormatImportDate(today).size(), 8u);
}

}  // namespace
}  // namespace zer1
