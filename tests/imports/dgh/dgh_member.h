// Building DGH member text for tests: UTF-16LE bytes of a text, and lines
// made of the pieces that the member reading and the line conversion treat
// specially.
#ifndef ZER1_TESTS_IMPORTS_DGH_DGH_MEMBER_H
#define ZER1_TESTS_IMPORTS_DGH_DGH_MEMBER_H

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace zer1::testing {

// UTF-16LE bytes of a UTF-16 text.
inline std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// `count` lines (without terminators) drawn from a fixed seed: separators,
// blanks and control characters, letters of both cases, prices, characters
// in and outside Windows-1252 and outside the basic plane, lone surrogates,
// "?", Windows-1252 text whose bytes read as UTF-8 too ("\u00C3\u00A4") and
// runs long enough to be cut at every field width.
inline std::vector<std::u16string> TrickyDghLines(int count) {
    // clang-format off
    const std::vector<std::u16string> pieces{
        u";", u";", u";", u";", u" ", u"  ", u"\t", u"a", u"zq", u"QX",
        u"0.00", u"1.50", u"2,99 EUR", u" 3.49",
        u"\u00E4", u"\u00DF", u"\u20AC", u"\u0085", u"\u0081", u"\u2122", u"\U0001F600",
        u"\u65E5", u"\u00C3\u00A4", u"?", u"\u0001", u"\uFEFF",
        std::u16string(1, char16_t(0xD83D)), std::u16string(1, char16_t(0xDE00)),
        u"abcdefghijklmnopqrstuvwxyz0123456789"};
    // clang-format on
    std::mt19937 random(20260309);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 60);
    std::vector<std::u16string> lines;
    for (int i = 0; i < count; ++i) {
        std::u16string line;
        for (int n = length(random); n > 0; --n) line += pieces[piece(random)];
        lines.push_back(line);
    }
    return lines;
}

}  // namespace zer1::testing

#endif  // ZER1_TESTS_IMPORTS_DGH_DGH_MEMBER_H
