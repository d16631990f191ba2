#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "common/text_ops.h"

namespace velmora {
namespace {

TEST(Text, StopsAtTheFirstNulAndComparesUnsigned) {
    EXPECT_EQ(Text(std::string_view("ab\0cd", 5)), Text("ab"));
    EXPECT_EQ(Text::fromBytes("x\0y", 3).length(), 1);
    EXPECT_EQ(Text(static_cast<const char*>(nullptr)), Text());
    EXPECT_LT(Text("a"), Text("\xB0"));  // 0xB0 is above 'a' as an unsigned byte
    EXPECT_NE(Text("abc"), Text("ABC"));
}

TEST(TextArray, IndexesFromOne) {
    TextArray list{"a", "b"};
    EXPECT_EQ(list[1], Text("a"));
    EXPECT_EQ(list[2], Text("b"));
}

TEST(TextArrayDeathTest, IndexOutsideEndsTheProgramWithMinusOne) {
    TextArray list{"a"};
    #ifdef _WIN32
    const int fatalExit = -1;
#else
    const int fatalExit = 255;  // -1 as a POSIX exit status
#endif
    EXPECT_EXIT((void)list[0], ::testing::ExitedWithCode(fatalExit), "");
    EXPECT_EXIT((void)list[2], ::testing::ExitedWithCode(fatalExit), "");
}

struct FindCase {
    const char* text;
    const char* piece;
    int start;
    bool ignoreCase;
    int expected;
};

class FindText : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindText, GivesThePositionOfTheFirstOccurrence) {
    const FindCase& c = GetParam();
    EXPECT_EQ(findText(Text(c.text), Text(c.piece), c.start, c.ignoreCase), c.expected)
        << "text '" << c.text << "' piece '" << c.piece << "' start " << c.start;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindText,
    ::testing::Values(FindCase{"abcabc", "c", 1, false, 3}, FindCase{"abcabc", "c", 4, false, 6},
                      FindCase{"abcabc", "c", 7, false, -1}, FindCase{"abcabc", "c", -3, false, 3},
                      FindCase{"abc", "C", 1, false, -1}, FindCase{"abc", "C", 1, true, 3},
                      FindCase{"ABC", "abc", 1, true, 1}, FindCase{"abc", "", 1, false, 1},
                      FindCase{"abc", "", 3, false, 1}, FindCase{"abc", "", 4, false, -1}, FindCase{"", "", 1, false, -1},
                      FindCase{"", "a", 1, false, -1},
                      // The pair D0 B9 stands across the boundary of 中 (D6 D0) and 国 (B9 FA): not a match.
                      FindCase{"\xD6\xD0\xB9\xFA", "\xD0\xB9", 1, false, -1},
                      FindCase{"\xD6\xD0\xB9\xFA", "\xB9\xFA", 1, false, 3},
                      // 0x41 'A' as a trail byte is no letter: a case-insensitive "a" does not match it.
                      FindCase{"\x81\x41" "a", "A", 1, true, 3}, FindCase{"\x81\x41", "\x41", 1, false, -1},
                      // A search that starts on a trail byte does not match there.
                      FindCase{"\x81\x41\x41", "\x41", 2, false, 3},
                      FindCase{"x\xD6\xD0y", "y", 1, false, 4}));

struct SplitCase {
    const char* text;
    const char* separator;
    TextArray expected;
};

class SplitText : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitText, KeepsEmptyPiecesExceptAfterATrailingSeparator) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(splitText(Text(c.text), Text(c.separator)), c.expected) << "text '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitText,
                         ::testing::Values(SplitCase{"a;b", ";", {"a", "b"}}, SplitCase{"a;", ";", {"a"}},
                                           SplitCase{";a", ";", {"", "a"}}, SplitCase{"a;;b", ";", {"a", "", "b"}},
                                           SplitCase{";", ";", {""}}, SplitCase{"", ";", {}}, SplitCase{"abc", ";", {"abc"}},
                                           SplitCase{"a\r\nb\r\n", "\r\n", {"a", "b"}},
                                           SplitCase{"a; b; c", "; ", {"a", "b", "c"}},
                                           SplitCase{";;", ";", {"", ""}}, SplitCase{"ab", "abc", {"ab"}},
                                           SplitCase{"abc", "", {"abc"}},
                                           SplitCase{"A: 1\r\n\r\nB: 2\r\n", "\r\n", {"A: 1", "", "B: 2"}},
                                           // ";" hidden as a trail byte (0x81 0x3B) does not cut.
                                           SplitCase{"x\x81;y;z", ";", {"x\x81;y", "z"}},
                                           SplitCase{"a;\xB0", ";", {"a", "\xB0"}},
                                           SplitCase{"\xD6\xD0\xD6\xD0", "\xD0\xD6", {"\xD6\xD0\xD6\xD0"}}));

TEST(SplitTextAtScale, CutsAHugeTextIntoAllItsPieces) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text.append("p").append(std::to_string(i)).append(";");
    const TextArray pieces = splitText(Text(text), ";");
    ASSERT_EQ(pieces.count(), 200000);
    EXPECT_EQ(pieces[1], Text("p0"));
    EXPECT_EQ(pieces[200000], Text("p199999"));
}

struct TrimCase {
    const char* text;
    const char* trimmed;
    const char* withoutSpaces;
};

class Spaces : public ::testing::TestWithParam<TrimCase> {};

TEST_P(Spaces, TrimAndRemoveTakeAsciiAndFullWidthSpacesOnly) {
    const TrimCase& c = GetParam();
    EXPECT_EQ(trimSpaces(Text(c.text)), Text(c.trimmed));
    EXPECT_EQ(removeAllSpaces(Text(c.text)), Text(c.withoutSpaces));
}

INSTANTIATE_TEST_SUITE_P(Cases, Spaces,
                         ::testing::Values(TrimCase{"  a b  ", "a b", "ab"}, TrimCase{"\xA1\xA1" "a\xA1\xA1", "a", "a"},
                                           TrimCase{"\ta \r\n", "\ta \r\n", "\ta\r\n"}, TrimCase{"   ", "", ""},
                                           TrimCase{"", "", ""},
                                           // B0 A1 is one character; the A1 after it is no full-width space.
                                           TrimCase{"\xB0\xA1\xA1", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
                                           TrimCase{"\xB0\xA1\xA1\xA1 x", "\xB0\xA1\xA1\xA1 x", "\xB0\xA1x"}));

TEST(TextSlices, LeftRightMiddle) {
    const Text t("abcdef");
    EXPECT_EQ(leftText(t, 2), Text("ab"));
    EXPECT_EQ(leftText(t, 99), t);
    EXPECT_EQ(leftText(t, 0), Text());
    EXPECT_EQ(rightText(t, 2), Text("ef"));
    EXPECT_EQ(rightText(t, 6), t);
    EXPECT_EQ(rightText(t, -1), Text());
    EXPECT_EQ(middleText(t, 2, 3), Text("bcd"));
    EXPECT_EQ(middleText(t, 5, 9), Text("ef"));
    EXPECT_EQ(middleText(t, 7, 1), Text());
    EXPECT_EQ(middleText(t, 0, 1), Text());
    EXPECT_EQ(middleText(t, 1, 0), Text());
}

struct ReplaceCase {
    const char* text;
    const char* from;
    const char* to;
    bool ignoreCase;
    const char* expected;
};

class ReplaceText : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceText, ReplacesEveryOccurrenceAtCharacterStarts) {
    const ReplaceCase& c = GetParam();
    EXPECT_EQ(replaceText(Text(c.text), Text(c.from), Text(c.to), c.ignoreCase), Text(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplaceText,
                         ::testing::Values(ReplaceCase{"a<em>b</em>", "<em>", "", false, "ab</em>"},
                                           ReplaceCase{"<EM>x<em>", "<em>", "", false, "<EM>x"},
                                           ReplaceCase{"<EM>x<em>", "<em>", "", true, "x"},
                                           ReplaceCase{"aaa", "aa", "b", false, "ba"},
                                           ReplaceCase{"abc", "", "x", false, "abc"},
                                           ReplaceCase{"\xD6\xD0\xB9\xFA", "\xD0\xB9", "!", false, "\xD6\xD0\xB9\xFA"},
                                           ReplaceCase{"set-cookie: a", "Set-Cookie", "Set-Cookie", true, "Set-Cookie: a"}));

TEST(JoinTexts, PutsTheSeparatorBetween) {
    EXPECT_EQ(joinTexts({"a", "b", "c"}, "; "), Text("a; b; c"));
    EXPECT_EQ(joinTexts({}, "; "), Text());
}

}  // namespace
}  // namespace velmora
