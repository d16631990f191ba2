// Conversions between code page 936, UTF-8 and UTF-16 through the platform's converters.
#include "web/codepage.h"

#include <string>

#include <gtest/gtest.h>

namespace velmora {
namespace {

ByteBuffer bytes(std::initializer_list<std::uint8_t> list) { return ByteBuffer(std::vector<std::uint8_t>(list)); }

struct LocalCase {
    const char* name;
    std::string utf8;
    std::string local;
};

class Utf8ToLocal : public ::testing::TestWithParam<LocalCase> {};

TEST_P(Utf8ToLocal, GivesCodePage936Bytes) {
    EXPECT_EQ(utf8ToLocal(Text(GetParam().utf8)), Text(GetParam().local));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ToLocal,
    ::testing::Values(LocalCase{"Empty", "", ""},
                      LocalCase{"AsciiUnchanged", "GET /s?wd=1&x=<em>A</em> ~!", "GET /s?wd=1&x=<em>A</em> ~!"},
                      LocalCase{"TwoChineseCharacters", "\xE4\xB8\xAD\xE5\x9B\xBD", "\xD6\xD0\xB9\xFA"},
                      LocalCase{"MixedWithFullWidthSpace", "a\xE3\x80\x80\xE4\xB8\xAD", "a\xA1\xA1\xD6\xD0"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Utf8ToLocal, ACharacterOutsideCodePage936BecomesItsDefaultCharacter) {
    const Text local = utf8ToLocal(Text("x\xF0\x9F\x98\x80y"));
    ASSERT_GE(local.length(), 3);
    EXPECT_EQ(local.view().front(), 'x');
    EXPECT_EQ(local.view().back(), 'y');
    EXPECT_EQ(local.view().substr(1, local.view().size() - 2).find_first_not_of('?'), std::string_view::npos) << local;
}

TEST(Utf8ToLocal, ConvertsASequenceCutInTheMiddle) {
    // The first character whole, the second cut after two of its three bytes.
    const Text local = utf8ToLocal(Text("\xE4\xB8\xAD\xE5\x9B"));
    ASSERT_GE(local.length(), 3);
    EXPECT_EQ(local.view().substr(0, 2), "\xD6\xD0");
    // The broken end becomes the converter's replacement, not lost text or a crash.
    EXPECT_NE(local.view().substr(2).find_first_not_of('\0'), std::string_view::npos);
}

TEST(Utf8ToLocal, ConvertsASeveralMegabytePage) {
    std::string utf8;
    std::string local;
    const std::string row = "<h3><a>\xE4\xB8\xAD\xE5\x9B\xBD news 123</a></h3>\n";
    const std::string expectedRow = "<h3><a>\xD6\xD0\xB9\xFA news 123</a></h3>\n";
    while (utf8.size() < (6u << 20)) {
        utf8 += row;
        local += expectedRow;
    }
    const Text result = utf8ToLocal(Text(utf8));
    ASSERT_EQ(result.length(), static_cast<std::int32_t>(local.size()));
    EXPECT_TRUE(result.view() == local);
}

TEST(TextToWide, GivesUtf16UnitsWithTheTerminator) {
    EXPECT_EQ(textToWide("ab"), bytes({0x61, 0x00, 0x62, 0x00, 0x00, 0x00}));
    EXPECT_EQ(textToWide("\xE4\xB8\xAD"), bytes({0x2D, 0x4E, 0x00, 0x00}));
    EXPECT_EQ(textToWide("\xD6\xD0", 936), bytes({0x2D, 0x4E, 0x00, 0x00}));
    EXPECT_EQ(textToWide(""), bytes({0x00, 0x00}));
}

TEST(TextToWide, AnUnavailableCodePageGivesTheEmptyBuffer) {
    EXPECT_TRUE(textToWide("ab", 12345).empty());
    EXPECT_TRUE(wideToText(textToWide("ab"), 12345).empty());
}

TEST(WideToText, GivesTheTextBack) {
    EXPECT_EQ(wideToText(bytes({0x61, 0x00, 0x62, 0x00, 0x00, 0x00})), Text("ab"));
    EXPECT_EQ(wideToText(bytes({0x2D, 0x4E, 0xFD, 0x56, 0x00, 0x00}), 936), Text("\xD6\xD0\xB9\xFA"));
    EXPECT_EQ(wideToText(bytes({0x2D, 0x4E, 0xFD, 0x56, 0x00, 0x00}), 65001), Text("\xE4\xB8\xAD\xE5\x9B\xBD"));
}

TEST(WideToText, BadBuffersGiveADefinedText) {
    EXPECT_EQ(wideToText(ByteBuffer()), Text());
    EXPECT_EQ(wideToText(bytes({0x00, 0x00})), Text());
    // Up to the first zero unit only.
    EXPECT_EQ(wideToText(bytes({0x61, 0x00, 0x00, 0x00, 0x62, 0x00, 0x00, 0x00})), Text("a"));
    // No terminator: the buffer is converted whole and never read past its end.
    EXPECT_EQ(wideToText(bytes({0x61, 0x00, 0x62, 0x00})), Text("ab"));
    // An odd last byte is no unit.
    EXPECT_EQ(wideToText(bytes({0x61, 0x00, 0x62})), Text("a"));
}

TEST(WideToText, RoundTripsThroughCodePage936WhateverTheSystemCodePage) {
    const Text local("\xD6\xD0\xB9\xFA abc \xA1\xA1");
    EXPECT_EQ(wideToText(textToWide(local, 936), 936), local);
}

}  // namespace
}  // namespace velmora
