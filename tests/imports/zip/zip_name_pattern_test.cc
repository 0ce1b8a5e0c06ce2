#include "imports/zip_name_pattern.h"

#include <gtest/gtest.h>

namespace zer1 {
namespace {

TEST(WildcardMatch, StarAndQuestionMark) {
    EXPECT_TRUE(WildcardMatch(U"*", U""));
    EXPECT_TRUE(WildcardMatch(U"*.txt", U"a.b.txt"));
    EXPECT_FALSE(WildcardMatch(U"*.txt", U"a.txt.bak"));
    EXPECT_TRUE(WildcardMatch(U"a?c", U"abc"));
    EXPECT_FALSE(WildcardMatch(U"a?c", U"ac"));
    EXPECT_TRUE(WildcardMatch(U"*a*b*", U"xxaxxbxx"));
    EXPECT_FALSE(WildcardMatch(U"*a*b", U"xxbxxa"));
    EXPECT_TRUE(WildcardMatch(U"?", U"\u00e4"));  // one character, two bytes in UTF-8
    EXPECT_FALSE(WildcardMatch(U"", U"a"));
    // A "*" stays a wildcard where the text holds a "*" too.
    EXPECT_TRUE(WildcardMatch(U"a*", U"a*b"));
    EXPECT_TRUE(WildcardMatch(U"*b", U"**b"));
    EXPECT_TRUE(ZipNamePattern("Preis*").Matches("sub/Preis*.txt"));
    EXPECT_FALSE(ZipNamePattern("Preis*.txt").Matches("Preis*.csv"));
}

TEST(ZipNamePattern, LettersAToZWithoutRegardToCaseOnly) {
    ZipNamePattern pattern("ARTIKEL.TXT");
    EXPECT_TRUE(pattern.Matches("artikel.txt"));
    EXPECT_TRUE(pattern.Matches("Artikel.Txt"));
    EXPECT_FALSE(pattern.Matches("artikel.txt2"));
    // Only a to z fold; umlauts compare exactly.
    EXPECT_TRUE(ZipNamePattern("\xC3\x84"
                               "X.txt")
                    .Matches("\xC3\x84x.TXT"));
    EXPECT_FALSE(ZipNamePattern("\xC3\x84"
                                "X.txt")
                     .Matches("\xC3\xA4x.txt"));
}

TEST(ZipNamePattern, PlainPatternMatchesInAnyFolderFolderPatternOnlyThere) {
    ZipNamePattern plain("daten.csv");
    EXPECT_TRUE(plain.Matches("daten.csv"));
    EXPECT_TRUE(plain.Matches("sub/daten.csv"));
    EXPECT_TRUE(plain.Matches("a\\b\\DATEN.CSV"));

    ZipNamePattern folder("SUB/*.csv");
    EXPECT_TRUE(folder.Matches("sub/daten.csv"));
    EXPECT_TRUE(folder.Matches("sub\\x.csv"));
    EXPECT_FALSE(folder.Matches("daten.csv"));
    EXPECT_FALSE(folder.Matches("other/daten.csv"));
    EXPECT_FALSE(folder.Matches("a/sub/daten.csv"));
    EXPECT_TRUE(ZipNamePattern("*\\sub\\*.csv").Matches("a/sub/daten.csv"));
}

TEST(ZipNamePattern, SeveralTrimmedPatterns) {
    ZipNamePattern pattern("  a.txt ;; *.CSV  ;b?.dat");
    EXPECT_TRUE(pattern.Matches("A.TXT"));
    EXPECT_TRUE(pattern.Matches("x/y.csv"));
    EXPECT_TRUE(pattern.Matches("b1.dat"));
    EXPECT_FALSE(pattern.Matches("b12.dat"));
    EXPECT_FALSE(pattern.Matches(" a.txt"));
    EXPECT_FALSE(ZipNamePattern("").Matches("a.txt"));
    EXPECT_FALSE(ZipNamePattern(" ; ").Matches(""));
}

TEST(MemberFileName, TextAfterTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(MemberFileName("a/b\\c.txt"), "c.txt");
    EXPECT_EQ(MemberFileName("c.txt"), "c.txt");
    EXPECT_EQ(MemberFileName("../../x"), "x");
    EXPECT_EQ(MemberFileName("dir/"), "");
}

}  // namespace
}  // namespace zer1
