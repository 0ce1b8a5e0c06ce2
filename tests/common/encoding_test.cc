#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zer1 {
namespace {

TEST(Windows1252, RoundTripsGermanTextAndTheEuro) {
    const std::string utf8 =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x82\xAC 5";  // Grüße € 5
    const std::string ansi = Utf8ToWindows1252(utf8);
    EXPECT_EQ(ansi,
              "Gr\xFC\xDF"
              "e \x80 5");
    EXPECT_EQ(Windows1252ToUtf8(ansi), utf8);
}

TEST(Windows1252, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(char(b));
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
}

TEST(Windows1252, UnmappableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToWindows1252("\xE6\x97\xA5\xE6\x9C\xAC"), "??");  // two CJK characters
    EXPECT_EQ(Utf8ToWindows1252("\xF0\x9F\x98\x80"), "?");           // one emoji
    EXPECT_EQ(Utf8ToWindows1252("a\xC0\xAF"
                                "b"),
              "a??b");                                    // overlong slash
    EXPECT_EQ(Utf8ToWindows1252("\xED\xA0\x80"), "???");  // encoded surrogate
    EXPECT_EQ(Utf8ToWindows1252("\xC3"), "?");            // truncated
    EXPECT_EQ(Utf8ToWindows1252("\xC2\x80"), "?");        // U+0080 has no place in 1252
}

TEST(Cp850, MapsGermanLettersBothWays) {
    const std::string utf8 = "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F";  // ÄÖÜäöüß
    const std::string oem = Utf8ToCp850(utf8);
    EXPECT_EQ(oem, "\x8E\x99\x9A\x84\x94\x81\xE1");
    EXPECT_EQ(Cp850ToUtf8(oem), utf8);
    EXPECT_EQ(Utf8ToCp850("\xE2\x82\xAC"), "?");  // no euro in code page 850
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(char(b));
    EXPECT_EQ(Utf8ToCp850(Cp850ToUtf8(all)), all);
}

TEST(Cp437, DecodesTheUpperHalf) {
    EXPECT_EQ(Cp437ToUtf8("\xE1"), "\xC3\x9F");      // ß
    EXPECT_EQ(Cp437ToUtf8("\x9B"), "\xC2\xA2");      // ¢ (differs from code page 850)
    EXPECT_EQ(Cp437ToUtf8("a\x81z"), "a\xC3\xBCz");  // ü
}

TEST(Utf16Le, DecodesSurrogatePairsAndReplacesBrokenUnits) {
    using namespace std::string_literals;
    EXPECT_EQ(Utf16LeToUtf8("A\0\xE4\0"s), "A\xC3\xA4");
    EXPECT_EQ(Utf16LeToUtf8("\x3D\xD8\x00\xDE"s), "\xF0\x9F\x98\x80");  // U+1F600
    EXPECT_EQ(Utf16LeToUtf8("\x3D\xD8"
                            "A\0"s),
              "\xEF\xBF\xBD"
              "A");                                         // lone high
    EXPECT_EQ(Utf16LeToUtf8("\x00\xDE"s), "\xEF\xBF\xBD");  // lone low
    EXPECT_EQ(Utf16LeToUtf8("\x3D\xD8"s), "\xEF\xBF\xBD");  // high at end
    EXPECT_EQ(Utf16LeToUtf8("A\0B"s), "A\xEF\xBF\xBD");     // dangling byte
    EXPECT_EQ(Utf16LeToUtf8("\xFF\xFE"s), "\xEF\xBB\xBF");  // BOM passes as U+FEFF
}

// UTF-16LE bytes of a sequence of code units.
std::string Utf16LeUnits(const std::vector<char16_t>& units) {
    std::string bytes;
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// The direct decoder must give exactly what the detour through UTF-8 gives.
void ExpectSameAsDetour(const std::string& bytes) {
    std::string direct;
    Utf16LeToWindows1252(bytes, direct);
    ASSERT_EQ(direct, Utf8ToWindows1252(Utf16LeToUtf8(bytes))) << ::testing::PrintToString(bytes);
}

TEST(Utf16LeToWindows1252, EveryUnitGivesTheByteOfTheUtf8Detour) {
    std::vector<char16_t> all;
    for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
        all.push_back(static_cast<char16_t>(unit));
        ExpectSameAsDetour(Utf16LeUnits({static_cast<char16_t>(unit)}));
    }
    // All units in a row: highs meet highs, the last high meets the first low.
    ExpectSameAsDetour(Utf16LeUnits(all));
    std::string text;
    Utf16LeToWindows1252(Utf16LeUnits({u'a', 0x20AC, 0x00FC, 0x0081, 0x0085, 0x2122}), text);
    EXPECT_EQ(text, "a\x80\xFC\x81?\x99");
}

TEST(Utf16LeToWindows1252, SurrogatesAndDanglingBytesInEveryCombination) {
    // Pairs, lone halves, halves in the wrong order (the first and last unit
    // of each half among them), next to ordinary and unmappable characters;
    // every sequence of up to four of them, each also with an odd byte after it.
    const std::vector<char16_t> pieces{u'A',   0xD800, 0xD83D, 0xDBFF, 0xDC00,
                                       0xDE00, 0xDFFF, 0x20AC, 0x0085, 0xFFFD};
    std::vector<std::vector<char16_t>> sequences{{}};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::vector<char16_t>> longer;
        for (const auto& sequence : sequences) {
            if (static_cast<int>(sequence.size()) != length - 1) continue;
            for (char16_t piece : pieces) {
                longer.push_back(sequence);
                longer.back().push_back(piece);
            }
        }
        sequences.insert(sequences.end(), longer.begin(), longer.end());
    }
    ASSERT_EQ(sequences.size(), 1u + 10 + 100 + 1000 + 10000);
    for (const auto& sequence : sequences) {
        const std::string bytes = Utf16LeUnits(sequence);
        ExpectSameAsDetour(bytes);
        ExpectSameAsDetour(bytes + 'z');
    }
    std::string text;
    Utf16LeToWindows1252(Utf16LeUnits({0xD83D, 0xDE00, u'!'}), text);
    EXPECT_EQ(text, "?!");  // one character outside the basic plane, one "?"
}

TEST(Utf16LeToWindows1252, ReplacesWhatTheTargetHeldAndKeepsItsStorage) {
    std::string text;
    Utf16LeToWindows1252(Utf16LeUnits(std::vector<char16_t>(100, u'x')), text);
    const char* storage = text.data();
    Utf16LeToWindows1252(Utf16LeUnits({u'a', u'b'}), text);
    EXPECT_EQ(text, "ab");
    EXPECT_EQ(text.data(), storage);
    Utf16LeToWindows1252("", text);
    EXPECT_EQ(text, "");
}

TEST(Utf8, CountsAndValidates) {
    EXPECT_EQ(CodePointCount("a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"), 4u);
    EXPECT_TRUE(IsValidUtf8("a\xC3\xA4\xEF\xBF\xBD"));
    EXPECT_FALSE(IsValidUtf8("\xFF"));
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));
}

}  // namespace
}  // namespace zer1
