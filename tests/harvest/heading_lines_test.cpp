// The reduction of a page to its heading lines, and proof that the title
// pattern finds the same titles in it as in the whole page.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "harvest_test_support.h"

namespace velmora {
namespace {

struct ReductionCase {
    const char* what;
    Text page;
    Text kept;
};

void PrintTo(const ReductionCase& c, std::ostream* out) { *out << c.what; }

class HeadingLines : public ::testing::TestWithParam<ReductionCase> {};

TEST_P(HeadingLines, KeepOnlyWhatTheTitlePatternCanReach) { EXPECT_EQ(headingLines(GetParam().page), GetParam().kept); }

INSTANTIATE_TEST_SUITE_P(
    Cases, HeadingLines,
    ::testing::Values(
        ReductionCase{"empty page", "", ""},
        ReductionCase{"no heading anywhere", "<p>a</p>\n<a>b</a> </h3>\n</a></h", ""},
        ReductionCase{"line cut after its last heading end", "x>a</a></h3>y>b</a></h3> tail>>\n",
                      "x>a</a></h3>y>b</a></h3>"},
        ReductionCase{"lines without heading dropped, the rest joined by line feeds",
                      "<html>\n<h3>1</a></h3>\r\n<p>\n\n<h3>2</a></h3>", "<h3>1</a></h3>\n<h3>2</a></h3>"},
        ReductionCase{"heading end in any letter case", "a</A></H3>b\nc</a></H3>", "a</A></H3>\nc</a></H3>"},
        ReductionCase{"carriage returns inside a line stay", "a>b\rc>d</a></h3>\re", "a>b\rc>d</a></h3>"},
        ReductionCase{"double-byte text around the heading end", "\xD6\xD0>\xB9\xFA</a></h3>\xD6\xD0",
                      "\xD6\xD0>\xB9\xFA</a></h3>"},
        ReductionCase{"single-byte 0x80 before the heading end", ">\x80</a></h3>", ">\x80</a></h3>"}),
    [](const ::testing::TestParamInfo<ReductionCase>& param) {
        std::string name;
        for (const char* p = param.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

// Makes result-like pages in code page 936 from a fixed seed: headings with
// link attributes and highlight tags, closing tags in any letter case, near
// misses of the heading end, lone carriage returns, CR LF and LF line ends,
// empty lines, several headings on one line and long lines of mark-up.
class PageGenerator {
public:
    explicit PageGenerator(std::uint32_t seed) : state_(seed) {}

    Text page() {
        Text page;
        const std::uint32_t lines = below(25);
        for (std::uint32_t i = 0; i < lines; ++i) {
            page += line();
            page += pick({"\n", "\r\n", "\n", "\n\n", "\r\n"});
        }
        if (below(2) == 0) page += line();  // a last line without a line end
        return page;
    }

private:
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::uint32_t below(std::uint32_t n) { return next() % n; }
    Text pick(std::initializer_list<Text> choices) { return *(choices.begin() + below(static_cast<std::uint32_t>(choices.size()))); }

    Text words() {
        Text words;
        for (std::uint32_t i = below(4) + 1; i > 0; --i) {
            words += pick({"news", "\xD6\xD0\xB9\xFA", "\xBF\xC6\xD1\xA7\xBC\xD2", "\x80", "&gt;", "a>b", " ",
                           "\xA1\xA1", "\xA8\xA1", "\xA3\xC1", "<em>\xB7\xA2\xCF\xD6</em>", "<EM>X</EM>", "<em>"});
        }
        return words;
    }
    Text headingEnd() { return pick({"</a></h3>", "</A></H3>", "</a></H3>", "</A></h3>"}); }
    Text heading() {
        const Text opening = pick({"<h3 class=\"t\"><a href=\"http://n/" + Text(std::to_string(below(100)).c_str()) +
                                       "\" target=\"_blank\">",
                                   "<h3><a>", "<a>", ">", "<H3><A HREF=\"x\">", ""});
        return opening + words() + headingEnd();
    }
    Text markup() {
        return pick({"<div class=\"c\">" + words() + "</div>", "<span>x</span>", "</a></h", "</a>", "</h3>",
                     "</a> </h3>", "<br>", ">", "<", "\r", "\t", words(), "<p>" + words(), "</a></h3"});
    }
    Text line() {
        Text line;
        const std::uint32_t pieces = below(8) == 0 ? 60 + below(100) : below(6);
        for (std::uint32_t i = 0; i < pieces; ++i) line += below(4) == 0 ? heading() : markup();
        return line;
    }

    std::uint32_t state_;
};

TEST(HeadingLines, GiveTheSameTitlesAsTheWholePage) {
    PageGenerator generator(20260611u);
    RegexMatcher matcher;
    std::size_t titles = 0;
    for (int i = 0; i < 250; ++i) {
        const Text page = generator.page();
        const std::vector<Text> whole = testing::titlesOf(matcher, page);
        ASSERT_EQ(testing::titlesOf(matcher, headingLines(page)), whole) << "page " << i << ":\n" << page;
        titles += whole.size();
    }
    EXPECT_GT(titles, 1000u);  // the pages are full of titles, so the comparison has something to compare
}

}  // namespace
}  // namespace velmora
