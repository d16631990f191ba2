// The matcher against the system's real regular-expression component.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <thread>

#include "regex/regex_matcher.h"

namespace velmora {
namespace {

// Code page 936 texts: "中国", "中", "#引号".
const Text kChina = "\xD6\xD0\xB9\xFA";
const Text kMiddle = "\xD6\xD0";
const Text kQuoteMark = "#\xD2\xFD\xBA\xC5";

struct OptionCase {
    const char* what;
    Text pattern;
    Text subject;
    bool caseSensitive;
    bool multiline;
    bool global;
    std::int32_t matches;
};

void PrintTo(const OptionCase& c, std::ostream* out) { *out << c.what; }

class MatcherOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(MatcherOptions, DecideWhatMatches) {
    const OptionCase& c = GetParam();
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute(c.pattern, c.subject, c.caseSensitive, c.multiline, c.global));
    EXPECT_EQ(matcher.matchCount(), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatcherOptions,
    ::testing::Values(
        OptionCase{"defaults ignore case", "a", "A a", false, true, true, 2},
        OptionCase{"case-sensitive", "a", "A a", true, true, true, 1},
        OptionCase{"defaults are multi-line", "^b", "a\nb\nb", false, true, true, 2},
        OptionCase{"single-line", "^b", "a\nb\nb", false, false, true, 0},
        OptionCase{"not global: at most one", "a", "aaaa", false, true, false, 1},
        OptionCase{"not global, no match", "x", "aaaa", false, true, false, 0},
        OptionCase{"dot stops at a line feed", "a.b", "a\nb", false, true, true, 0},
        OptionCase{"no match spans two lines", ">(.*)<", "x>a\nb<", false, true, true, 0},
        OptionCase{"empty subject", "a+", "", false, true, true, 0},
        OptionCase{"double-byte text", kMiddle, kChina + kChina, false, true, true, 2}),
    [](const ::testing::TestParamInfo<OptionCase>& param) {
        std::string name;
        for (const char* p = param.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(RegexMatcher, ReadsBeforeAnyExecuteAreEmpty) {
    RegexMatcher matcher;
    std::int32_t position = 7;
    EXPECT_EQ(matcher.matchCount(), 0);
    EXPECT_EQ(matcher.matchText(1, &position), Text());
    EXPECT_EQ(position, -1);
    EXPECT_EQ(matcher.subMatchText(1, 1), Text());
    EXPECT_EQ(matcher.subMatchCount(), 0);
    EXPECT_EQ(matcher.pattern(), Text());
    EXPECT_EQ(matcher.replace("x"), Text());
}

TEST(RegexMatcher, HandsOutMatchesAndGroupsFromOne) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute("(\\w)=(\\w+)", "a=1; b=22"));
    ASSERT_EQ(matcher.matchCount(), 2);
    EXPECT_EQ(matcher.matchText(1), Text("a=1"));
    EXPECT_EQ(matcher.matchText(2), Text("b=22"));
    EXPECT_EQ(matcher.subMatchText(2, 1), Text("b"));
    EXPECT_EQ(matcher.subMatchText(2, 2), Text("22"));
    EXPECT_EQ(matcher.subMatchCount(), 2);
    for (std::int32_t outside : {0, -1, 3, INT32_MIN}) {
        EXPECT_EQ(matcher.matchText(outside), Text()) << outside;
        EXPECT_EQ(matcher.subMatchText(outside, 1), Text()) << outside;
        EXPECT_EQ(matcher.subMatchText(1, outside), Text()) << outside;
    }
}

TEST(RegexMatcher, GroupsThatTookNoPartAreEmpty) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute("a(x)?(b)", "ab"));
    EXPECT_EQ(matcher.subMatchText(1, 1), Text());
    EXPECT_EQ(matcher.subMatchText(1, 2), Text("b"));
    ASSERT_TRUE(matcher.execute("ab", "ab"));
    EXPECT_EQ(matcher.subMatchText(1, 1), Text());  // a pattern without groups
    EXPECT_EQ(matcher.subMatchCount(), 0);
}

TEST(RegexMatcher, SubMatchCountLooksAtTheFirstMatch) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute("(a)(b)?", "ab a"));
    EXPECT_EQ(matcher.matchCount(), 2);
    EXPECT_EQ(matcher.subMatchCount(), 2);
    ASSERT_TRUE(matcher.execute("(a)(b)?", "xyz"));
    EXPECT_EQ(matcher.subMatchCount(), 0);
}

TEST(RegexMatcher, QuoteEscapeStandsForADoubleQuoteOnlyWhenAsked) {
    const Text pattern = kQuoteMark + "(\\w+)" + kQuoteMark;
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute(pattern, "say \"hi\" and " + pattern, false, true, true, true));
    EXPECT_EQ(matcher.pattern(), Text("\"(\\w+)\""));
    ASSERT_EQ(matcher.matchCount(), 1);
    EXPECT_EQ(matcher.matchText(1), Text("\"hi\""));

    ASSERT_TRUE(matcher.execute(pattern, "say \"hi\" and " + kQuoteMark + "ho" + kQuoteMark));
    EXPECT_EQ(matcher.pattern(), pattern);
    ASSERT_EQ(matcher.matchCount(), 1);
    EXPECT_EQ(matcher.subMatchText(1, 1), Text("ho"));
}

TEST(RegexMatcher, RefusedPatternGivesFalseAndNoMatches) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute("a", "aaa"));
    EXPECT_FALSE(matcher.execute("(a", "aaa"));
    EXPECT_EQ(matcher.matchCount(), 0);
    EXPECT_EQ(matcher.matchText(1), Text());
    EXPECT_EQ(matcher.subMatchCount(), 0);
    ASSERT_TRUE(matcher.execute("a", "aaa"));  // the next execute starts afresh
    EXPECT_EQ(matcher.matchCount(), 3);
}

TEST(RegexMatcher, DoubleByteTextRoundTripsInCodePage936) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute(kMiddle + "(.)", "x" + kChina + "y"));
    EXPECT_EQ(matcher.matchText(1), kChina);
    EXPECT_EQ(matcher.subMatchText(1, 1), Text("\xB9\xFA"));
    EXPECT_EQ(matcher.pattern(), kMiddle + "(.)");
}

TEST(RegexMatcher, ReplaceUsesTheLastSubjectAndOptions) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute("a(\\d)", kChina + "a1 a2"));
    EXPECT_EQ(matcher.replace("[$1" + kMiddle + "]"), kChina + "[1" + kMiddle + "] [2" + kMiddle + "]");
    ASSERT_TRUE(matcher.execute("a(\\d)", "a1 a2", false, true, false));
    EXPECT_EQ(matcher.replace("<$1>"), Text("<1> a2"));
    ASSERT_TRUE(matcher.execute("x", ""));
    EXPECT_EQ(matcher.replace("y"), Text());
}

// The component counts positions in UTF-16 units; the matcher gives byte
// offsets in the code page 936 subject, so every double-byte character before
// a match moves it by one more byte.
TEST(RegexMatcher, BytePositionsAreExactAfterDoubleByteText) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute("x", kChina + kChina + "xx"));
    std::int32_t position = 0;
    EXPECT_EQ(matcher.matchText(1, &position), Text("x"));
    EXPECT_EQ(position, 8);
    EXPECT_EQ(matcher.matchText(2, &position), Text("x"));
    EXPECT_EQ(position, 9);
    matcher.matchText(3, &position);
    EXPECT_EQ(position, -1);
}

TEST(RegexMatcher, GroupPositionIsTheFirstOccurrenceFromTheMatchStart) {
    RegexMatcher matcher;
    const Text subject = kChina + "k=v;" + kChina + "k=w;" + kMiddle + "(z)";
    ASSERT_TRUE(matcher.execute("(\\w)=(\\w)|(\\()(z)?(y)?", subject));
    ASSERT_EQ(matcher.matchCount(), 3);
    std::int32_t position = 0;
    EXPECT_EQ(matcher.subMatchText(2, 1, &position), Text("k"));
    EXPECT_EQ(position, 12);
    EXPECT_EQ(matcher.subMatchText(2, 2, &position), Text("w"));
    EXPECT_EQ(position, 14);
    EXPECT_EQ(matcher.subMatchText(3, 3, &position), Text("("));
    EXPECT_EQ(position, 18);
    matcher.subMatchText(3, 5, &position);  // took no part
    EXPECT_EQ(position, -1);
    matcher.subMatchText(1, 9, &position);  // no such group
    EXPECT_EQ(position, -1);
    matcher.subMatchText(4, 1, &position);  // no such match
    EXPECT_EQ(position, -1);
}

TEST(RegexMatcher, MatchersOnDifferentThreadsAreIndependent) {
    auto run = [](Text pattern, std::int32_t* count) {
        RegexMatcher matcher;
        for (int i = 0; i < 20; ++i) matcher.execute(pattern, "ab ab ab b");
        *count = matcher.matchCount();
    };
    std::int32_t first = 0;
    std::int32_t second = 0;
    std::thread a(run, Text("ab"), &first);
    std::thread b(run, Text("b"), &second);
    a.join();
    b.join();
    EXPECT_EQ(first, 3);
    EXPECT_EQ(second, 4);
}

}  // namespace
}  // namespace velmora
