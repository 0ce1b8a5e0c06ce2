// The Fotoco member reading and line conversion; the filling of the working
// table is tested end to end with the run (tests/imports/archive_run_test.cc).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/error.h"
#include "imports/fotoco_conversion.h"
#include "imports/fotoco_source.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using NumberedLines = std::vector<std::pair<long, std::string>>;

NumberedLines LinesOf(std::string_view bytes) {
    NumberedLines lines;
    ForEachFotocoLine(bytes, [&](long n, std::string_view line) { lines.emplace_back(n, line); });
    return lines;
}

// An article line with the given fields set and all other of the 18 empty.
std::string ArticleLine(std::vector<std::pair<int, std::string>> fields, int count = 18) {
    std::vector<std::string> values(static_cast<std::size_t>(count));
    for (auto& [n, value] : fields) values[static_cast<std::size_t>(n)] = value;
    std::string line;
    for (std::size_t i = 0; i < values.size(); ++i) line += (i ? ";" : "") + values[i];
    return line;
}

TEST(FotocoSourceTest, EveryLineEndCountsAndTheEndOfFileCharacterEndsTheText) {
    EXPECT_EQ(LinesOf("kopf\r\na\rb\nc\r\n\r\nd"),
              (NumberedLines{{1, "kopf"}, {2, "a"}, {3, "b"}, {4, "c"}, {5, ""}, {6, "d"}}));
    EXPECT_EQ(LinesOf("a\n\rb\x1A" "c\r\nd"), (NumberedLines{{1, "a"}, {2, ""}, {3, "b"}}));
    EXPECT_TRUE(LinesOf("").empty());
    EXPECT_EQ(LinesOf("\xC4rger\r\n"), (NumberedLines{{1, "\xC4rger"}}));  // bytes stay as they are
    EXPECT_EQ(LinesOf(std::string(1 << 20, 'x') + "\nb").at(0).second.size(), 1u << 20);

    // A CR LF split across two blocks of the file reading ends one line.
    testing::TempDir dir;
    std::string bytes(kFotocoReadBlockSize - 1, 'x');
    bytes += "\r\nzwei\r\n";
    testing::WriteFile(dir / "f.txt", bytes);
    NumberedLines read;
    ReadFotocoSourceFile(dir / "f.txt",
                         [&](long n, std::string_view line) { read.emplace_back(n, line); });
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].second.size(), kFotocoReadBlockSize - 1);
    EXPECT_EQ(read[1], (NumberedLines::value_type{2, "zwei"}));
    EXPECT_THROW(ReadFotocoSourceFile(dir / "fehlt.txt", [](long, std::string_view) {}), Error);
}

TEST(FotocoConversionTest, FieldRules) {
    FotocoLineConverter converter;
    ASSERT_EQ(converter.Convert(ArticleLine({{0, " 4711 "}, {1, "XY-Film 200"}, {2, "Zweite"},
                                             {3, " 1.50"}, {4, "nie"}, {6, "12"},
                                             {16, "12345678901"}, {17, "2.99 "}},
                                            20)),
              20);
    const StoredWorkingRecord& r = converter.Record();
    EXPECT_EQ(r.get(13), "+4711");
    EXPECT_EQ(r.get(2), "XY-Film 200");
    EXPECT_EQ(r.get(6), "Zweite");
    EXPECT_EQ(r.get(4), "1.50");
    EXPECT_EQ(r.get(9), "#12");
    EXPECT_EQ(r.get(1), "0012345678901");
    EXPECT_EQ(r.get(3), "2.99");
    EXPECT_EQ(r.get(5), "XY-");
    EXPECT_EQ(r.get(11), "FO");
    EXPECT_EQ(r.get(12), "1");
    EXPECT_EQ(r.get(7), "");
    EXPECT_EQ(r.get(8), "");
    EXPECT_EQ(r.get(10), "");

    converter.Convert(ArticleLine({{0, "12345"}, {1, "Ohne Strich"}}));
    EXPECT_EQ(converter.Record().get(1), ".F12345");
    EXPECT_EQ(converter.Record().get(5), "");
    EXPECT_EQ(converter.Record().get(9), "#");
    EXPECT_EQ(converter.Record().get(2), "Ohne Strich");  // case kept

    converter.Convert(ArticleLine({{0, "1234567890123"}, {16, "123456789012"}}));
    EXPECT_EQ(converter.Record().get(13), "+123456789012");  // cut to 13
    EXPECT_EQ(converter.Record().get(1), "123456789012");

    EXPECT_EQ(converter.Convert(ArticleLine({{0, "1"}}, 12)), 12);
    EXPECT_EQ(converter.Convert(ArticleLine({{0, "1"}}, 17)), 17);
    EXPECT_EQ(converter.Convert(""), 1);

    // A line of 1 MiB: its description is cut to the field.
    EXPECT_EQ(converter.Convert(ArticleLine({{0, "1"}, {1, std::string(1 << 20, 'y')}})), 18);
    EXPECT_EQ(converter.Record().get(2), std::string(40, 'y'));
}

}  // namespace
}  // namespace zer1
