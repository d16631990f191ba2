// The one-pass split gives what the general split gives.
#include "web/split_pieces.h"

#include <string>

#include <gtest/gtest.h>

#include "common/text_ops.h"

namespace velmora {
namespace {

struct SplitCase {
    const char* text;
    const char* separator;
};

class SplitPieces : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitPieces, GivesTheSamePiecesAsSplitText) {
    EXPECT_EQ(splitPieces(GetParam().text, GetParam().separator), splitText(GetParam().text, GetParam().separator));
}

INSTANTIATE_TEST_SUITE_P(Texts, SplitPieces,
                         ::testing::Values(SplitCase{"a;b;c", ";"}, SplitCase{";a;;b;", ";"}, SplitCase{"", ";"},
                                           SplitCase{"abc", ""}, SplitCase{"x; y; x", "; "}, SplitCase{";;", ";"},
                                           SplitCase{"A: 1\r\n\r\nB: 2\r\n", "\r\n"}, SplitCase{"\r\n", "\r\n"},
                                           // ";" as the trail byte of a double-byte character is no separator.
                                           SplitCase{"\xB0;x;\xD6\xD0", ";"}, SplitCase{"a;\xB0", ";"},
                                           SplitCase{"\xD6\xD0\xD6\xD0", "\xD0\xD6"}, SplitCase{"ab", "abc"}));

TEST(SplitPieces, CutsAHugeTextIntoAllItsPieces) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text.append("p").append(std::to_string(i)).append(";");
    const TextArray pieces = splitPieces(Text(text), ";");
    ASSERT_EQ(pieces.count(), 200000);
    EXPECT_EQ(pieces[1], Text("p0"));
    EXPECT_EQ(pieces[200000], Text("p199999"));
}

}  // namespace
}  // namespace velmora
