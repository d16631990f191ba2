// The bundled sample news service (run beside this test by the e2e runner,
// its titles changing every 2 s) through the program's own harvest, and the
// loopback build of the program showing what it serves.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "common/text_ops.h"
#include "common/wide.h"
#include "driver/program_driver.h"
#include "harvest/harvest.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

constexpr char kServiceHost[] = "127.0.0.1:18936";

// Every title of one harvest, by the keyword whose search gave it.
std::map<int, std::vector<Text>> harvestOnce() {
    std::map<int, std::vector<Text>> found;
    int keyword = 0;
    std::vector<Text> all;
    harvestCycle(kServiceHost, [&](const Text& title) { all.push_back(title); });
    for (const Text& title : all) {
        for (keyword = 0; keyword < static_cast<int>(harvestKeywords.size()); ++keyword) {
            if (findText(title, harvestKeywords[static_cast<std::size_t>(keyword)]) > 0) break;
        }
        found[keyword].push_back(title);
    }
    return found;
}

TEST(SampleService, AnswersEveryKeywordWithTitlesInTheServicesLayout) {
    const std::map<int, std::vector<Text>> found = harvestOnce();
    for (int keyword = 0; keyword < 8; ++keyword) {
        ASSERT_TRUE(found.count(keyword)) << "no title for keyword " << keyword + 1;
        EXPECT_EQ(found.at(keyword).size(), 10u) << "keyword " << keyword + 1;
        for (const Text& title : found.at(keyword)) {
            EXPECT_GT(title.length(), 8) << title;
            EXPECT_EQ(findText(title, "<"), -1) << "only the highlight tags were in it: " << title;
        }
    }
    EXPECT_FALSE(found.count(8)) << "every title holds the keyword it was found for";
}

TEST(SampleService, BringsFreshTitlesAsTimeGoesBy) {
    std::set<Text> first;
    for (const auto& [keyword, titles] : harvestOnce()) first.insert(titles.begin(), titles.end());
    Sleep(2500);
    int fresh = 0;
    for (const auto& [keyword, titles] : harvestOnce()) {
        for (const Text& title : titles) fresh += first.count(title) ? 0 : 1;
    }
    EXPECT_GE(fresh, 8);
}

TEST(SampleService, TheLoopbackBuildShowsItsHeadlines) {
    std::set<std::wstring> served;
    for (const auto& [keyword, titles] : harvestOnce()) {
        for (const Text& title : titles) served.insert(toWide(title));
    }
    test::ProgramDriver program;
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.dismissStartupHint());
    ASSERT_NE(program.waitForOverlay(), nullptr);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_TRUE(test::waitUntil([&] { return program.labelLeft(1) < screenWidth; }, 20s)) << "lane 1 runs";
    const std::wstring shown = test::windowText(program.label(1));
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(shown.find(L"<em>"), std::wstring::npos);
    // What lane 1 shows came from the service (titles may have moved on since).
    bool fromService = served.count(shown) > 0;
    for (const wchar_t* keyword : {L"死亡", L"发明", L"科学家", L"天文", L"发现", L"中国", L"女子", L"男子"}) {
        fromService = fromService || shown.find(keyword) != std::wstring::npos;
    }
    EXPECT_TRUE(fromService) << "lane 1 shows a headline of the service";
}

}  // namespace
}  // namespace velmora
