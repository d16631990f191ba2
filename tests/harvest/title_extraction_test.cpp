// Picking titles out of a page, through the real regular-expression component.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "common/text_ops.h"
#include "harvest_test_support.h"

namespace velmora {
namespace {

using namespace std::string_literals;
using testing::bytesOf;
using testing::local;
using testing::localTexts;

struct PageCase {
    const char* what;
    std::string body;  // UTF-8, as the service sends it
    std::vector<std::string> titles;
};

void PrintTo(const PageCase& c, std::ostream* out) { *out << c.what; }

class PageTitles : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageTitles, AreTheHarvestsTitles) {
    const PageCase& c = GetParam();
    RegexMatcher matcher;
    std::vector<Text> titles;
    extractTitles(matcher, bytesOf(c.body), [&titles](const Text& title) { titles.push_back(title); });
    EXPECT_EQ(titles, localTexts(c.titles));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageTitles,
    ::testing::Values(
        PageCase{"no line holds the heading end", "<h3><a>x</a> </h3>\n<a>y</a>\n<h3>z</h3>\n", {}},
        PageCase{"empty page", "", {}},
        PageCase{"heading with link attributes and highlight tags",
                 "<div class=\"r\">\n<h3 class=\"t\"><a href=\"http://n/1\" target=\"_blank\">科学家<em>发现</em>彗星</a></h3>\n</div>\n",
                 {"<a href=\"http://n/1\" target=\"_blank\">科学家发现彗星"}},
        PageCase{"two headings on one line give one title",
                 "<h3><a href=\"a\">甲</a></h3><h3><a href=\"b\">乙</a></h3> tail > more\n",
                 {"<a href=\"a\">甲</a></h3><h3><a href=\"b\">乙"}},
        PageCase{"closing tags in capitals end a title, capital highlight tags stay",
                 "<H3><A HREF=\"c\">大写<EM>标签</EM>和<em>小写</em></A></H3>\n",
                 {"<A HREF=\"c\">大写<EM>标签</EM>和小写"}},
        PageCase{"one title per line, in page order",
                 "<h3><a>一</a></h3>\r\n<p>摘要</p>\r\n<h3><a>二</a></h3>\r\n<h3><a>一</a></h3>\r\n",
                 {"<a>一", "<a>二", "<a>一"}},
        PageCase{"a zero byte ends the page", "<h3><a>前</a></h3>\n\0<h3><a>后</a></h3>\n"s,
                 {"<a>前"}},
        PageCase{"an empty title is a title", "></a></h3>\n", {""}},
        PageCase{"highlight tags are removed in order, once each",
                 "<h3><a><e<em>m>x</e</em>m></a></h3>\n", {"<a><em>x</em>"}}),
    [](const ::testing::TestParamInfo<PageCase>& param) {
        std::string name;
        for (const char* p = param.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(HighlightTags, OnlyLowerCaseTagsGoAndOnlyWhereACharacterBegins) {
    EXPECT_EQ(withoutHighlightTags("<em>a</em><EM>b</EM>"), Text("a<EM>b</EM>"));
    // A tag right after a double-byte character is found: the walk steps over the whole character.
    EXPECT_EQ(withoutHighlightTags("\xD6\xD0<em>x</em>"), Text("\xD6\xD0x"));
    EXPECT_EQ(withoutHighlightTags(""), Text());
}

TEST(HighlightTags, GoAsReplacingThemWithNothingWould) {
    // 0x80 starts a two-byte character here, so the '<' after it is taken into it.
    for (const Text title : {"\x80<em>x", "<em><em>", "<<em>em>", "</em<em>>", "x<em>\x80", "\xD6\xD0</em>",
                             "<em>", "a<em>b</em>c<em>d</em>", "</em>\x80"}) {
        EXPECT_EQ(withoutHighlightTags(title), replaceText(replaceText(title, "<em>", ""), "</em>", "")) << title;
    }
}

TEST(PageText, EndsAtTheFirstZeroByteAndIsCodePage936) {
    EXPECT_EQ(pageText(bytesOf("中国\0rest"s)), local("中国"));
    EXPECT_EQ(pageText(ByteBuffer()), Text());
    EXPECT_EQ(pageText(bytesOf("\0abc"s)), Text());
}

}  // namespace
}  // namespace velmora
