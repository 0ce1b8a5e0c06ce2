#include "imports/dgh_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zer1 {
namespace {

using Lines = std::vector<std::string>;

// UTF-16LE bytes of a UTF-16 text.
std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string WithBom(std::u16string_view text) {
    return Utf16Le(u"\uFEFF") + Utf16Le(text);
}

TEST(DghSourceTest, ByteOrderMarkIsSkippedAndLinesSplitAtCrLf) {
    EXPECT_EQ(DecodeDghLines(WithBom(u"a;b\r\nc;d\r\n")), (Lines{"a;b", "c;d"}));
}

TEST(DghSourceTest, FirstUnitIsTextWhenNoByteOrderMark) {
    EXPECT_EQ(DecodeDghLines(Utf16Le(u"4711;x\r\n")), (Lines{"4711;x"}));
    // A BOM that does not stand first is an ordinary (zero-width) character.
    EXPECT_EQ(DecodeDghLines(Utf16Le(u"a\uFEFF")), (Lines{"a\xEF\xBB\xBF"}));
}

TEST(DghSourceTest, LastLineWithoutTerminatorIsKept) {
    EXPECT_EQ(DecodeDghLines(WithBom(u"first\r\nlast")), (Lines{"first", "last"}));
    EXPECT_EQ(DecodeDghLines(WithBom(u"only")), (Lines{"only"}));
    // A half terminator at the very end is not part of the last line.
    EXPECT_EQ(DecodeDghLines(WithBom(u"first\r\nlast\r")), (Lines{"first", "last"}));
}

TEST(DghSourceTest, LfCrIsATerminatorTooAndLoneBreaksStayInTheLine) {
    EXPECT_EQ(DecodeDghLines(WithBom(u"a\n\rb\n\r")), (Lines{"a", "b"}));
    EXPECT_EQ(DecodeDghLines(WithBom(u"a\rb\nc\r\n")), (Lines{"a\rb\nc"}));
    // CR CR LF: only the last two units terminate; the first CR is text.
    EXPECT_EQ(DecodeDghLines(WithBom(u"a\r\r\nb")), (Lines{"a\r", "b"}));
}

TEST(DghSourceTest, EmptyLinesGiveNoLine) {
    EXPECT_EQ(DecodeDghLines(WithBom(u"a\r\n\r\nb\r\n\r\n\r\n")), (Lines{"a", "b"}));
    EXPECT_EQ(DecodeDghLines(WithBom(u"\r\n \t\r\nc")), (Lines{"c"}));
    EXPECT_TRUE(DecodeDghLines(WithBom(u"")).empty());
    EXPECT_TRUE(DecodeDghLines("").empty());
}

TEST(DghSourceTest, CharactersAreDecodedAsUtf16) {
    // Euro sign (U+20AC), umlauts, and a character outside the basic plane.
    EXPECT_EQ(DecodeDghLines(WithBom(u"\u20AC;gr\u00FC\u00DFe;\U0001F600")),
              (Lines{"\xE2\x82\xAC;gr\xC3\xBC\xC3\x9F"
                     "e;\xF0\x9F\x98\x80"}));
    // Lone surrogates become the replacement character, neighbours survive.
    EXPECT_EQ(DecodeDghLines(WithBom(std::u16string{u'a', char16_t(0xD83D), u'b'})),
              (Lines{"a\xEF\xBF\xBD"
                     "b"}));
    EXPECT_EQ(DecodeDghLines(WithBom(std::u16string{char16_t(0xDE00), u'c'})), (Lines{"\xEF\xBF\xBD"
                                                                                      "c"}));
    EXPECT_EQ(DecodeDghLines(WithBom(std::u16string{u'x', char16_t(0xD83D)})),
              (Lines{"x\xEF\xBF\xBD"}));
}

TEST(DghSourceTest, OddTrailingByteBecomesAReplacementCharacter) {
    EXPECT_EQ(DecodeDghLines(WithBom(u"ab") + "z"), (Lines{"ab\xEF\xBF\xBD"}));
}

TEST(DghSourceTest, ReadsAFileAndNamesAMissingOne) {
    auto dir =
        std::filesystem::temp_directory_path() / ("dgh_source_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "artikel.txt").string();
    std::u16string text = u"\uFEFF";
    Lines expected;
    // About 160 KB: the file is read in several blocks.
    for (int i = 0; i < 8000; ++i) {
        std::u16string line = u"Zeile\u00E4;" + std::u16string(1, char16_t(u'0' + i % 10));
        text += line + u"\r\n";
        expected.push_back("Zeile\xC3\xA4;" + std::string(1, char('0' + i % 10)));
    }
    text += u"Ende";
    expected.push_back("Ende");
    std::ofstream(path, std::ios::binary) << Utf16Le(text);

    Lines got;
    ReadDghSourceFile(path, [&got](std::string_view l) { got.emplace_back(l); });
    EXPECT_EQ(got, expected);
    // The file is found whatever the case of its name.
    got.clear();
    ReadDghSourceFile((dir / "ARTIKEL.TXT").string(),
                      [&got](std::string_view l) { got.emplace_back(l); });
    EXPECT_EQ(got.size(), expected.size());

    std::string missing = (dir / "fehlt.txt").string();
    try {
        ReadDghSourceFile(missing, [](std::string_view) {});
        FAIL() << "no error for a missing file";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zer1
