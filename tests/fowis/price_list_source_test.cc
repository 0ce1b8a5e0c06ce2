// Where the look at a price list draws its lines: the DOS end-of-file mark,
// carriage returns and blank columns, against files on disk.
#include "fowis/price_list_source.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using namespace std::string_literals;
using Outcome = PriceListSourceCheck::Outcome;

TEST(PriceListSource, LineEndsEndMarksAndBlankColumns) {
    struct Case {
        std::string content;
        Outcome outcome;
        long line;
    };
    const Case cases[] = {
        {"A\r\n\x1A", Outcome::kUsable, 0},           // DOS list with its end mark
        {"A\x1A\r\n\x1A\n", Outcome::kUsable, 0},     // only line ends after the mark
        {"A\r", Outcome::kUsable, 0},                 // last line without "\n"
        {"A\r\n\x1A" "B\r\n", Outcome::kInvalidLine, 2},  // text after the mark
        {"A\r\nB\rC\r\n", Outcome::kInvalidLine, 2},  // lone carriage return
        {"A\r\n\r\nB\tC", Outcome::kInvalidLine, 3},  // tab inside a line
        {"A\r\nB\x7F", Outcome::kInvalidLine, 2},
        {"\xC4rger \xFC" "ber \x80", Outcome::kUsable, 0},  // Windows-1252 letters
        {"\x1A" "PK", Outcome::kInvalidLine, 1},
        {"  \n" + std::string(5, ' ') + "X", Outcome::kNoRecords, 0},  // X beyond column 5
    };
    testing::TempDir dir;
    for (const Case& c : cases) {
        dir.Write("TRFOWIS.SDF", c.content);
        const PriceListSourceCheck check = CheckPriceListSource(dir.path() + "trfowis.sdf", 5);
        EXPECT_EQ(check.outcome, c.outcome) << c.content;
        EXPECT_EQ(check.line, c.line) << c.content;
    }
    EXPECT_EQ(CheckPriceListSource(dir.path() + "fehlt.sdf", 5).outcome, Outcome::kUnreadable);
    EXPECT_EQ(CheckPriceListSource(dir.path(), 5).outcome, Outcome::kUnreadable);
}

}  // namespace
}  // namespace zer1
