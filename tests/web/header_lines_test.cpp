// Header lines, markers and the cookie merge.
#include "web/header_lines.h"

#include <string>

#include <gtest/gtest.h>

namespace velmora {
namespace {

// "#引号" in code page 936.
const char* const kQuoteEscape = "#\xD2\xFD\xBA\xC5";

struct HeaderLineCase {
    const char* line;
    const char* name;
    const char* value;
};

class HeaderLine : public ::testing::TestWithParam<HeaderLineCase> {};

TEST_P(HeaderLine, SplitsAtTheFirstColonAndTrims) {
    EXPECT_EQ(headerName(GetParam().line), Text(GetParam().name));
    EXPECT_EQ(headerValue(GetParam().line), Text(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(Lines, HeaderLine,
                         ::testing::Values(HeaderLineCase{"X-Note: a:b", "X-Note", "a:b"},
                                           HeaderLineCase{"  Accept :  */*  ", "Accept", "*/*"},
                                           HeaderLineCase{"no colon here", "", ""},
                                           HeaderLineCase{"", "", ""},
                                           HeaderLineCase{"Referer: http://h:8/p", "Referer", "http://h:8/p"},
                                           HeaderLineCase{":", "", ""},
                                           // Tabs and line ends are no spaces: they stay.
                                           HeaderLineCase{"X-A:\t1\r", "X-A", "\t1\r"},
                                           // The full-width space is trimmed like an ASCII one.
                                           HeaderLineCase{"\xA1\xA1X: \xD6\xD0\xA1\xA1", "X", "\xD6\xD0"}));

struct BetweenCase {
    const char* text;
    const char* start;
    const char* end;
    std::int32_t startPosition;
    bool ignoreCase;
    const char* expected;
};

class Between : public ::testing::TestWithParam<BetweenCase> {};

TEST_P(Between, TakesTheTextBetweenTheMarkers) {
    const auto& c = GetParam();
    EXPECT_EQ(textBetween(c.text, c.start, c.end, c.startPosition, c.ignoreCase), Text(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Markers, Between,
    ::testing::Values(BetweenCase{"a[1]b[2]", "[", "]", 1, false, "1"},
                      BetweenCase{"a[1]b[2]", "[", "]", 4, false, "2"},
                      BetweenCase{"A<X>b</x>", "<x>", "</x>", 1, false, ""},
                      BetweenCase{"A<X>b</x>", "<x>", "</x>", 1, true, "b"},
                      BetweenCase{"a[]b", "[", "]", 1, false, ""},
                      BetweenCase{"ab", "b", "x", 1, false, ""},
                      BetweenCase{"say \"word\" now", kQuoteEscape, kQuoteEscape, 1, false, "word"},
                      BetweenCase{"id=\"7\";", "id=#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5;", 1, false, "7"},
                      // An empty start marker is found at the first byte.
                      BetweenCase{"abc]d", "", "]", 1, false, "abc"},
                      // An empty end marker never gives a text.
                      BetweenCase{"a[1]", "[", "", 1, false, ""},
                      BetweenCase{"", "[", "]", 1, false, ""},
                      // A start position past the text finds nothing.
                      BetweenCase{"a[1]", "[", "]", 9, false, ""},
                      // The start marker at the very end leaves nothing to search.
                      BetweenCase{"a[", "[", "]", 1, false, ""},
                      // A marker never matches from the second byte of a double-byte character.
                      BetweenCase{"\xB0[x]\xD6\xD0", "[", "]", 1, false, ""},
                      BetweenCase{"\xD6\xD0[x]", "[", "]", 1, false, "x"},
                      BetweenCase{"Set-Cookie: id=42; path=/", "Set-Cookie:", ";", 1, false, " id=42"}));

TEST(Between, LeavesTheMarkersAlone) {
    const Text start(kQuoteEscape);
    const Text end(kQuoteEscape);
    textBetween("\"a\"", start, end);
    EXPECT_EQ(start, Text(kQuoteEscape));
    EXPECT_EQ(end, Text(kQuoteEscape));
}

struct MergeCase {
    const char* cookies;
    const char* newCookies;
    const char* merged;
    const char* newAfter;  // newCookies on return: its spaces removed
};

class Merge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(Merge, GivesTheMergedStringInPlaceAndAsResult) {
    const auto& c = GetParam();
    Text cookies(c.cookies);
    Text newCookies(c.newCookies);
    const Text result = mergeCookies(cookies, newCookies);
    EXPECT_EQ(cookies, Text(c.merged));
    EXPECT_EQ(result, cookies);
    EXPECT_EQ(newCookies, Text(c.newAfter));
}

INSTANTIATE_TEST_SUITE_P(
    Cookies, Merge,
    ::testing::Values(MergeCase{"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
                      MergeCase{"a=1; b=2", "a=deleted", "b=2", "a=deleted"},
                      MergeCase{"a=1; b=deleted", "", "a=1", ""},
                      MergeCase{"a = 1 ; b=hello world", "", "a=1; b=helloworld", ""},
                      MergeCase{"", "x=1; x=2", "x=1; x=2", "x=1;x=2"},
                      MergeCase{"a=1; a=2", "", "a=1", ""},
                      MergeCase{"a=1; a=1", "", "a=1", ""},
                      MergeCase{"a=1", "A=2", "A=2; a=1", "A=2"},
                      MergeCase{"a=1;b=2", "c=3;", "c=3; a=1; b=2", "c=3;"},
                      MergeCase{"a=1;;b=2", "", "a=1; ; b=2", ""},
                      MergeCase{"a=1;;;b=2", "", "a=1; ; b=2", ""},
                      MergeCase{"", "", "", ""},
                      // New repeats of one entry are exact repeats: the join keeps one.
                      MergeCase{"", "x=1; x=1", "x=1", "x=1;x=1"},
                      // An entry without "=" is a name alone, and is replaced like any other.
                      MergeCase{"flag; a=1", "flag", "flag; a=1", "flag"},
                      MergeCase{"flag=on", "flag", "flag", "flag"},
                      // Full-width spaces go as ASCII ones do.
                      MergeCase{"a=\xA1\xA1" "1", "", "a=1", ""}));

TEST(Merge, ProducesTheCookieStringFormat) {
    Text cookies("k = v ; z=deleted;  q=1 ;k=old; ; x=y z");
    Text newCookies(" n=1 ;m=deleted; n=1");
    const Text merged = mergeCookies(cookies, newCookies);
    EXPECT_EQ(merged, Text("n=1; k=v; q=1; ; x=yz"));
}

TEST(Merge, CopesWithAHugeNumberOfEntries) {
    std::string old;
    std::string fresh;
    for (int i = 0; i < 50000; ++i) {
        old.append("o").append(std::to_string(i)).append("=1; ");
        fresh.append("n").append(std::to_string(i)).append("=2;");
    }
    old += "n7=old";
    Text cookies(old);
    Text newCookies(fresh);
    mergeCookies(cookies, newCookies);
    const std::string& merged = cookies.str();
    EXPECT_EQ(merged.rfind("n0=2; n1=2; ", 0), 0u);
    EXPECT_EQ(merged.find("n7=old"), std::string::npos);
    EXPECT_NE(merged.find("; o49999=1"), std::string::npos);
    EXPECT_NE(merged.substr(merged.size() - 2), "; ");
}

struct CookieNameCase {
    const char* entry;
    const char* name;
};

class CookieName : public ::testing::TestWithParam<CookieNameCase> {};

TEST_P(CookieName, IsTheTrimmedTextBeforeTheFirstEquals) {
    EXPECT_EQ(cookieName(GetParam().entry), Text(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Entries, CookieName,
                         ::testing::Values(CookieNameCase{"id=42", "id"}, CookieNameCase{" id = 42", "id"},
                                           CookieNameCase{"a=b=c", "a"}, CookieNameCase{" flag ", "flag"},
                                           CookieNameCase{"=v", ""}, CookieNameCase{"", ""}));

TEST(CookieList, HasCookieNameComparesNamesByteForByte) {
    const TextArray entries{"a=1", "B=2", "c"};
    EXPECT_TRUE(hasCookieName(entries, "a"));
    EXPECT_TRUE(hasCookieName(entries, "c"));
    EXPECT_FALSE(hasCookieName(entries, "b"));
    EXPECT_FALSE(hasCookieName(TextArray{}, ""));
}

TEST(CookieList, IndexOfTextCountsFromOne) {
    const TextArray list{"x", "y", "x"};
    EXPECT_EQ(indexOfText(list, "x"), 1);
    EXPECT_EQ(indexOfText(list, "y"), 2);
    EXPECT_EQ(indexOfText(list, "X"), -1);
    EXPECT_EQ(indexOfText(TextArray{}, "x"), -1);
}

struct DistinctCase {
    const char* text;
    const char* separator;
    const char* expected;
};

class Distinct : public ::testing::TestWithParam<DistinctCase> {};

TEST_P(Distinct, KeepsEachPieceOnce) {
    EXPECT_EQ(joinDistinct(GetParam().text, GetParam().separator), Text(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Pieces, Distinct,
                         ::testing::Values(DistinctCase{"x; y; x", "; ", "x; y"}, DistinctCase{"", "; ", ""},
                                           DistinctCase{"a", "; ", "a"}, DistinctCase{"a;a;b;a", ";", "a;b"},
                                           DistinctCase{"; a", "; ", "; a"}, DistinctCase{"a; ", "; ", "a"},
                                           DistinctCase{"ab", "", "ab"}));

}  // namespace
}  // namespace velmora
