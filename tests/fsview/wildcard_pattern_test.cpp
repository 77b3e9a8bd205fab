#include "fsview/wildcard_pattern.h"


#include <gtest/gtest.h>

namespace {

bool match(const char* pattern, const QByteArray& name) {
    return WildcardPattern(QString::fromUtf8(pattern)).matches(name);
}

} // namespace

TEST(WildcardLetters, CompareWithoutRegardToCase) {
    EXPECT_TRUE(match("REPORT.TXT", "report.txt"));
    EXPECT_TRUE(match("report.txt", "Report.TXT"));
    EXPECT_TRUE(match("R*T", "report.txt"));
    EXPECT_FALSE(match("REPORT.TXT", "report.txv"));
    EXPECT_FALSE(match("REPORT", "report.txt"));
    EXPECT_FALSE(match("REPORT.TXT", "report"));
    // Only letters fold: "[" and "{" differ by the same bit as "A" and "a".
    EXPECT_FALSE(match("[", "{"));
}

TEST(WildcardEverything, StarDotStarAndStarTakeEveryName) {
    for (const char* pattern : {"*.*", "*", "**"}) {
        SCOPED_TRACE(pattern);
        EXPECT_TRUE(WildcardPattern(QString::fromUtf8(pattern)).matchesEverything());
        for (const QByteArray& name : {QByteArray("README"), QByteArray("a.b.c"), QByteArray(".hidden"),
                                      QByteArray("x"), QByteArray("caf\xc3\xa9"), QByteArray("\xff\xfe")})
            EXPECT_TRUE(match(pattern, name)) << name.constData();
    }
    EXPECT_FALSE(WildcardPattern("*.TXT").matchesEverything());
    EXPECT_FALSE(WildcardPattern("?*").matchesEverything());
}

TEST(WildcardQuestionMark, TakesExactlyOneCharacter) {
    EXPECT_TRUE(match("A?C", "abc"));
    EXPECT_FALSE(match("A?C", "ac"));
    EXPECT_FALSE(match("A?C", "abbc"));
    EXPECT_TRUE(match("???", "xyz"));
    EXPECT_FALSE(match("???", "xy"));
    EXPECT_FALSE(match("???", "wxyz"));
    // One character, however many bytes it takes in UTF-8.
    EXPECT_TRUE(match("CAF?", "caf\xc3\xa9"));
    EXPECT_FALSE(match("CAF??", "caf\xc3\xa9"));
    EXPECT_TRUE(match("?", "\xe2\x82\xac"));
}

TEST(WildcardStar, MatchesAnyRunIncludingNone) {
    EXPECT_TRUE(match("*.TXT", "a.txt"));
    EXPECT_TRUE(match("*.TXT", ".txt"));
    EXPECT_TRUE(match("*.TXT", "a.b.txt"));
    EXPECT_FALSE(match("*.TXT", "a.txt.bak"));
    EXPECT_FALSE(match("*.TXT", "atxt"));
    EXPECT_TRUE(match("A*", "a"));
    EXPECT_TRUE(match("A*B*C", "aXXbYYc"));
    EXPECT_FALSE(match("A*B*C", "aXXcYYb"));
    EXPECT_TRUE(match("*A", "banana"));
    EXPECT_FALSE(match("*N", "banana"));
    EXPECT_TRUE(match("*?", "a"));
    EXPECT_FALSE(match("*?", ""));
}

TEST(WildcardStar, ManyStarsNeverBlowUp) {
    const QByteArray as(200, 'a');
    bool any = false;
    for (int i = 0; i < 100; ++i)
        any = any || match("*a*a*a*a*a*b", as);
    EXPECT_FALSE(any);
    EXPECT_TRUE(match("*a*a*a*a*a*b", as + "b"));
    EXPECT_FALSE(match("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", QByteArray(5000, 'a')));
    // An exponential matcher would not come back from these; CTest's timeout catches it.
}

TEST(WildcardNonAscii, FoldsDecodedCharacters) {
    EXPECT_TRUE(match("CAF\xc3\x89.TXT", "caf\xc3\xa9.txt"));       // É and é
    EXPECT_TRUE(match("\xd0\x9f\xd0\xa0\xd0\x98*", "\xd0\xbf\xd1\x80\xd0\xb8\xd0\xbc")); // ПРИ* and прим
    EXPECT_FALSE(match("CAFE.TXT", "caf\xc3\xa9.txt"));
    EXPECT_TRUE(match("*\xc3\xa9", "caf\xc3\x89"));
}

TEST(WildcardNonAscii, NamesThatAreNotUtf8CompareByBytes) {
    const QByteArray latin1("caf\xe9.txt"); // é in Latin-1: no valid UTF-8
    EXPECT_TRUE(match("CAF?.TXT", latin1));
    EXPECT_TRUE(match("*.TXT", latin1));
    EXPECT_FALSE(match("CAF\xc3\xa9.TXT", latin1));
    EXPECT_FALSE(match("CAF??.TXT", latin1));
}
