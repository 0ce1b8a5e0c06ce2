#include "imports/dgh_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/text_encoding.h"
#include "dgh_member.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using Lines = std::vector<std::string>;

using testing::Utf16Le;

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

// The UTF-8 lines of a member in the working table's code page.
Lines InWindows1252(const Lines& utf8_lines) {
    Lines lines;
    for (const std::string& line : utf8_lines) lines.push_back(Utf8ToWindows1252(line));
    return lines;
}

class DghSourceFileTest : public ::testing::Test {
  protected:
    // Reads `bytes` from a file in both forms and expects what the decoding
    // of the member in memory gives.
    void ExpectReadAsInMemory(const std::string& bytes) {
        const std::string path = (dir_ / "artikel.txt").string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        const Lines expected = DecodeDghLines(bytes);
        Lines utf8;
        ReadDghSourceFile(path, [&utf8](std::string_view l) { utf8.emplace_back(l); });
        EXPECT_EQ(utf8, expected);
        Lines ansi;
        ReadDghSourceFile(
            path, [&ansi](std::string_view l) { ansi.emplace_back(l); }, DghLineText::kWindows1252);
        EXPECT_EQ(ansi, InWindows1252(expected));
        // The same member in memory, in Windows-1252.
        Lines in_memory;
        ForEachDghLine(
            bytes, [&in_memory](std::string_view l) { in_memory.emplace_back(l); },
            DghLineText::kWindows1252);
        EXPECT_EQ(in_memory, InWindows1252(expected));
    }

    testing::TempDir scratch_;
    const std::filesystem::path dir_{scratch_.path()};
};

TEST_F(DghSourceFileTest, LinesAcrossTheBlockBoundaryReadAsInMemory) {
    // A byte-order mark that is text, terminators of both orders, half
    // terminators, a blank line, a surrogate pair, unmappable characters and
    // an unterminated last line.
    const std::u16string tail =
        u"\uFEFFab\r\n\U0001F600;\u20AC\n\rc\r\r\n \t\r\nd\re\u0085\r\n\r\nlast";
    // The first block ends before tail unit `cut`: between the halves of
    // every terminator and of the pair, and right at the end of the file.
    for (std::size_t cut = 0; cut <= tail.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::size_t head_bytes = kDghReadBlockSize - 2 * cut;
        // Byte-order mark, one long line and its CR LF fill the head.
        const std::u16string filler((head_bytes - 2 - 4) / 2, u'f');
        const std::string bytes = WithBom(filler + u"\r\n" + tail);
        ASSERT_EQ(bytes.size(), kDghReadBlockSize - 2 * cut + 2 * tail.size());
        ExpectReadAsInMemory(bytes);
        ExpectReadAsInMemory(bytes + "z");             // an odd last byte
        ExpectReadAsInMemory(bytes + Utf16Le(u"\r"));  // a half terminator at the end
    }
}

TEST_F(DghSourceFileTest, LongLinesAndSmallFilesReadAsInMemory) {
    // A line longer than two blocks, between short ones.
    const std::u16string long_line(kDghReadBlockSize + kDghReadBlockSize / 3, u'\u00E4');
    ExpectReadAsInMemory(WithBom(u"a\r\n" + long_line + u"\r\nb\r\n"));
    ExpectReadAsInMemory(Utf16Le(u"ohne BOM\r\n") + "z");
    ExpectReadAsInMemory("\xFF\xFE");
    ExpectReadAsInMemory("\xFF");
    ExpectReadAsInMemory("");
}

TEST(DghSourceTest, ReadsAFileAndNamesAMissingOne) {
    testing::TempDir scratch;
    const std::filesystem::path dir{scratch.path()};
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
}

}  // namespace
}  // namespace zer1
