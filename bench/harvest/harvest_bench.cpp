// Extraction time per page: the reduction to heading lines, the component's
// "Execute" and the reading of every title, beside the same extraction over
// the whole page (the baseline), measured in the same run on the same pages.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "harvest/title_extraction.h"
#include "regex/regex_matcher.h"

namespace velmora {
namespace {

// Code page 936 words for the generated mark-up: "科学家", "发现", "中国", "新闻".
const std::string kScientist = "\xBF\xC6\xD1\xA7\xBC\xD2";
const std::string kDiscovery = "\xB7\xA2\xCF\xD6";
const std::string kChina = "\xD6\xD0\xB9\xFA";
const std::string kNews = "\xD0\xC2\xCE\xC5";

std::string repeated(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

// An inline script or style of `length` characters: a ">" every 20, no heading.
std::string tagSoup(std::size_t length) {
    const std::string piece = "<i class=\"x12345\">ab";  // 20 characters, one ">"
    std::string soup = repeated(piece, length / piece.size() + 1);
    soup.resize(length);
    return soup;
}

// One search result as the service lays it out: about 3 KB over 14 lines.
std::vector<std::string> result(int n) {
    const std::string id = std::to_string(n);
    const std::string summary = repeated(kChina + kNews + kScientist + kDiscovery + "&nbsp;", 12);
    return {
        "<div class=\"result-op c-container new-pmd\" srcid=\"200\" id=\"" + id + "\" tpl=\"news-normal\">",
        "<div class=\"c-row\"><div class=\"c-span-last\">",
        "<h3 class=\"news-title_1YtI1\"><a href=\"http://news.example.test/a/" + id +
            ".html\" target=\"_blank\" class=\"news-title-font_1xS-F\" data-click=\"{&quot;f0&quot;:&quot;77A717EA&quot;,"
            "&quot;f1&quot;:&quot;9F63F1E4&quot;,&quot;f2&quot;:&quot;4CA6DE6E&quot;}\"><em>" +
            kScientist + "</em>" + kDiscovery + kChina + kNews + id + "</a></h3>",
        "<div class=\"c-row c-gap-top-small\">",
        "<div class=\"c-span3\"><a class=\"c-img c-img3 c-img-radius-large\" href=\"http://news.example.test/a/" + id +
            ".html\" target=\"_blank\"><img class=\"c-img\" src=\"http://img.example.test/it/u=" + id +
            ".jpg\" aria-hidden=\"false\" alt=\"\"><span class=\"c-img-border c-img-radius-large\"></span></a></div>",
        "<div class=\"c-span9 c-span-last\">",
        "<span class=\"c-font-normal c-color-text\" aria-label=\"" + summary + "\">" + summary + "<em>" + kChina +
            "</em>" + summary + "</span>",
        "<div class=\"news-source\"><span class=\"c-color-gray c-font-normal c-gap-right\">" + kNews +
            "</span><span class=\"c-color-gray2 c-font-normal\">3 hours ago</span></div>",
        "</div>",
        "</div>",
        "</div></div>",
        "<div class=\"c-tools\" data-tools=\"{&quot;title&quot;:&quot;" + kNews + id +
            "&quot;,&quot;url&quot;:&quot;http://news.example.test/a/" + id + ".html&quot;}\"><i class=\"c-icon\">&#xe62b;</i></div>",
        "<div class=\"c-more\"><a href=\"/ns?word=related&amp;rn=" + id + "\">" + kNews + " &gt;&gt;</a></div>",
        "</div>",
    };
}

std::string lines(const std::vector<std::string>& pieces, const char* end) {
    std::string text;
    for (const std::string& piece : pieces) text += piece + end;
    return text;
}

// About `size` bytes of result mark-up: a head with `scripts` inline scripts
// of `scriptSize` characters each on a line of their own, results, a footer.
// With `end` "" the whole page stands on one line, as a minified page does.
std::string resultPage(std::size_t size, int scripts, std::size_t scriptSize, const char* end) {
    std::string page = std::string("<!DOCTYPE html>") + end + "<html><head><meta charset=\"utf-8\"><title>" + kNews +
                       "</title>" + end;
    for (int i = 0; i < scripts; ++i) page += "<script>" + tagSoup(scriptSize) + "</script>" + end;
    page += std::string("</head><body><div id=\"content_left\">") + end;
    for (int n = 1; page.size() < size * 6 / 10; ++n) page += lines(result(n), end);
    page += std::string("</div><div id=\"foot\">") + end;
    while (page.size() + 40 < size) page += "<p class=\"f\"><a href=\"/more\">" + kNews + "</a></p>" + end;
    return page + "</div></body></html>" + end;
}

// One heading, then the rest of a line of 80 000 characters with a ">" every 20.
std::string longTagLine() {
    const std::string heading = "<h3><a href=\"http://news.example.test/a/1.html\">" + kNews + "</a></h3>";
    return heading + tagSoup(80000 - heading.size());
}

struct Timing {
    double milliseconds = 0;
    std::vector<Text> titles;
};

Timing timeExtraction(RegexMatcher& matcher, const Text& page, bool reduce, int runs) {
    std::vector<double> each;
    Timing timing;
    for (int i = 0; i < runs; ++i) {
        std::vector<Text> titles;
        const auto start = std::chrono::steady_clock::now();
        collectTitles(matcher, reduce ? headingLines(page) : page, [&titles](const Text& t) { titles.push_back(t); });
        each.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        timing.titles = std::move(titles);
    }
    std::sort(each.begin(), each.end());
    timing.milliseconds = each[each.size() / 2];  // the median
    return timing;
}

// One reduced extraction split into its steps, in milliseconds.
struct Steps {
    double reduce = 0;
    double execute = 0;
    double read = 0;
};

Steps timeSteps(RegexMatcher& matcher, const Text& page) {
    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
    Steps steps;
    auto start = Clock::now();
    const Text kept = headingLines(page);
    steps.reduce = since(start);
    start = Clock::now();
    matcher.execute(titlePattern, kept);
    steps.execute = since(start);
    start = Clock::now();
    for (std::int32_t i = 1, n = matcher.matchCount(); i <= n; ++i) withoutHighlightTags(matcher.subMatchText(i, 1));
    steps.read = since(start);
    return steps;
}

struct BenchPage {
    const char* name;
    std::string bytes;
    int baselineRuns;  // 0: the whole-page extraction would take far too long
};

}  // namespace
}  // namespace velmora

int main() {
    using namespace velmora;
    const BenchPage pages[] = {
        {"1 MB minified on a single line", resultPage(1 << 20, 12, 20000, ""), 0},
        {"1 MB multi-line result mark-up", resultPage(1 << 20, 0, 0, "\n"), 3},
        {"200 KB result page, 6 inline scripts of 6 KB", resultPage(200 << 10, 6, 6000, "\r\n"), 3},
        {"80 000 characters on one line, '>' every 20", longTagLine(), 1},
    };
    RegexMatcher matcher;
    std::printf("Extraction per page: reduced to heading lines (median of 21) against the whole page (baseline).\n");
    std::printf("%-46s %8s %8s %6s %13s %22s %11s %s\n", "page", "bytes", "kept", "titles", "reduced (ms)",
                "reduce/execute/read", "whole (ms)", "whole / reduced");
    bool allFast = true;
    for (const BenchPage& page : pages) {
        const Text text(page.bytes);
        const Timing reduced = timeExtraction(matcher, text, true, 21);
        allFast = allFast && reduced.milliseconds < 20.0;
        const Steps steps = timeSteps(matcher, text);
        std::printf("%-46s %8d %8d %6zu %13.2f %8.2f/%6.2f/%6.2f", page.name, text.length(), headingLines(text).length(),
                    reduced.titles.size(), reduced.milliseconds, steps.reduce, steps.execute, steps.read);
        if (page.baselineRuns == 0) {
            std::printf(" %11s %s\n", "-", "(not run: minutes)");
            continue;
        }
        const Timing whole = timeExtraction(matcher, text, false, page.baselineRuns);
        std::printf(" %11.1f %.0fx%s\n", whole.milliseconds, whole.milliseconds / reduced.milliseconds,
                    whole.titles == reduced.titles ? "" : "  TITLES DIFFER");
    }
    std::printf("every page under 20 ms: %s\n", allFast ? "yes" : "no");
    return 0;
}
