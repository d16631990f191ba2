// Whole harvest cycles against a loopback search service that serves one
// page per keyword.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "harvest/harvest.h"
#include "harvest_test_support.h"
#include "http/loopback_server.h"
#include "store/headline_queue.h"

namespace velmora {
namespace {

using namespace std::string_literals;
using testing::local;
using testing::localTexts;
using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::ScriptedResponse;

// The keywords as the service receives them: UTF-8, percent-escaped.
const std::vector<std::string> kKeywordsOnTheWire = {
    "%E6%AD%BB%E4%BA%A1", "%E5%8F%91%E6%98%8E", "%E7%A7%91%E5%AD%A6%E5%AE%B6", "%E5%A4%A9%E6%96%87",
    "%E5%8F%91%E7%8E%B0", "%E4%B8%AD%E5%9B%BD", "%E5%A5%B3%E5%AD%90", "%E7%94%B7%E5%AD%90",
};

// The pieces joined. (Built with += : GCC 12 warns falsely on "literal" + std::string.)
std::string joined(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text += piece;
    return text;
}

std::string expectedRequestLine(const std::string& keyword) {
    return joined({"GET /s?tn=baidurt&rtt=4&wd=", keyword, "&pnw=1&pbl=0&pbs=0&bsst=1&ie=utf-8 HTTP/1.1"});
}

// Which keyword a request searches for (0 to 7), or -1.
int keywordOf(const RecordedRequest& request) {
    for (std::size_t i = 0; i < kKeywordsOnTheWire.size(); ++i) {
        if (request.requestLine.find(joined({"&wd=", kKeywordsOnTheWire[i], "&"})) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

ScriptedResponse page(std::string body, int delayMs = 0) {
    ScriptedResponse response;
    response.headerLines.push_back("Content-Type: text/html; charset=utf-8");
    response.body = std::move(body);
    response.delayMs = delayMs;
    return response;
}

Text hostOf(const LoopbackServer& server) {
    return Text(joined({"127.0.0.1:", std::to_string(server.port())}));
}

std::vector<Text> drain(HeadlineQueue& queue) {
    std::vector<Text> titles;
    for (Text title; queue.takeText(title);) titles.push_back(title);
    return titles;
}

TEST(HarvestAddress, HoldsTheKeywordAsItsCodePage936Characters) {
    EXPECT_EQ(requestAddress("www.example.test", harvestKeywords[0]),
              Text("http://www.example.test/s?tn=baidurt&rtt=4&wd=\xCB\xC0\xCD\xF6&pnw=1&pbl=0&pbs=0&bsst=1&ie=utf-8"));
    const std::vector<std::string> keywords = {"死亡", "发明", "科学家", "天文", "发现", "中国", "女子", "男子"};
    EXPECT_EQ(std::vector<Text>(harvestKeywords.begin(), harvestKeywords.end()), localTexts(keywords));
}

TEST(HarvestCycle, SendsTheEightSearchesInOrder) {
    LoopbackServer server([](const RecordedRequest&) { return page("<p>nothing</p>"s); });
    harvestCycle(hostOf(server), [](const Text&) {});
    const std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 8u);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].requestLine, expectedRequestLine(kKeywordsOnTheWire[i]));
        EXPECT_TRUE(requests[i].body.empty());
    }
}

// One page per keyword, each showing one of the cycle's cases.
ScriptedResponse casePage(const RecordedRequest& request) {
    switch (keywordOf(request)) {
        case 0:
            return page("<div class=\"result\">\n<h3 class=\"t\"><a href=\"http://n/1\" target=\"_blank\">科学家<em>发现</em>彗星</a></h3>\n"
                        "<div class=\"c-summary\">摘要 &gt; 更多</div>\n</div>\n"s);
        case 1: {  // a failed request
            ScriptedResponse response;
            response.closeAtOnce = true;
            return response;
        }
        case 2:
            return page("<h3><a href=\"a\">甲</a></h3><h3><a href=\"b\">乙</a></h3>\n"s);
        case 3: {  // an error page
            ScriptedResponse response = page("<html><body>Not Found</body></html>"s);
            response.status = 404;
            response.reason = "Not Found";
            return response;
        }
        case 4:
            return page("<H3><A HREF=\"c\">大写<EM>标签</EM></A></H3>\n"s);
        case 5:  // the first keyword's title again, and one of its own
            return page("<h3 class=\"t\"><a href=\"http://n/1\" target=\"_blank\">科学家<em>发现</em>彗星</a></h3>\n"
                        "<h3><a>中国新闻</a></h3>\n"s);
        case 6:
            return page("<h3><a>零前</a></h3>\n\0<h3><a>零后</a></h3>\n"s);
        default:
            return page(""s);
    }
}

TEST(HarvestCycle, QueuesEachPagesTitlesAndGoesOnPastFailures) {
    LoopbackServer server(casePage);
    HeadlineQueue queue;
    harvestCycle(hostOf(server), queue);
    EXPECT_EQ(server.requests().size(), 8u);
    EXPECT_EQ(drain(queue), localTexts({
                                "<a href=\"http://n/1\" target=\"_blank\">科学家发现彗星",
                                "<a href=\"a\">甲</a></h3><h3><a href=\"b\">乙",
                                "<A HREF=\"c\">大写<EM>标签</EM>",
                                "<a>中国新闻",
                                "<a>零前",
                            }));
}

TEST(HarvestCycle, GivesNothingWhenNoServiceAnswers) {
    unsigned short port = 0;
    { port = LoopbackServer([](const RecordedRequest&) { return ScriptedResponse(); }).port(); }  // now closed
    std::vector<Text> titles;
    harvestCycle(Text(joined({"127.0.0.1:", std::to_string(port)})), [&titles](const Text& title) { titles.push_back(title); });
    EXPECT_TRUE(titles.empty());
}

// Every keyword's page holds a title shared by all keywords and one of its own.
ScriptedResponse overlappingPage(const RecordedRequest& request) {
    const int keyword = keywordOf(request);
    return page(joined({"<h3><a>共同标题</a></h3>\n<h3><a>标题", std::to_string(keyword), "</a></h3>\n"}), 30);
}

TEST(HarvestCycle, ThreeCyclesAtOnceLeaveEachTitleWaitingOnce) {
    LoopbackServer server(overlappingPage);
    HeadlineQueue queue;
    const Text host = hostOf(server);
    std::vector<std::thread> cycles;
    for (int i = 0; i < 3; ++i) cycles.emplace_back([&] { harvestCycle(host, queue); });
    for (std::thread& cycle : cycles) cycle.join();
    ASSERT_EQ(server.requests().size(), 24u);

    std::vector<Text> titles = drain(queue);
    std::vector<std::string> expected = {"<a>共同标题"};
    for (int i = 0; i < 8; ++i) expected.push_back(joined({"<a>标题", std::to_string(i)}));
    std::vector<Text> wanted = localTexts(expected);
    std::sort(titles.begin(), titles.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(titles, wanted);
}

// What a worker's sink saw, shared with the worker thread.
struct SinkRecord {
    std::mutex mutex;
    std::vector<Text> titles;
    bool onCallingThread = false;
};

TEST(HarvestWorker, RunsACycleOnAThreadOfItsOwnAndReturnsAtOnce) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    LoopbackServer server([released](const RecordedRequest& request) {
        released.wait_for(std::chrono::seconds(20));  // holds the first answer until the test lets it go
        return page(joined({"<h3><a>标题", std::to_string(keywordOf(request)), "</a></h3>\n"}));
    });
    auto record = std::make_shared<SinkRecord>();
    const DWORD caller = GetCurrentThreadId();
    startHarvestWorker(hostOf(server), [record, caller](const Text& title) {
        std::lock_guard lock(record->mutex);
        record->titles.push_back(title);
        record->onCallingThread = record->onCallingThread || GetCurrentThreadId() == caller;
    });
    {
        std::lock_guard lock(record->mutex);
        EXPECT_TRUE(record->titles.empty());  // the worker is still waiting for its first page
    }
    release.set_value();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::size_t seen = 0;
    while (seen < 8 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard lock(record->mutex);
        seen = record->titles.size();
    }
    std::lock_guard lock(record->mutex);
    ASSERT_EQ(record->titles.size(), 8u);
    EXPECT_EQ(record->titles.back(), local("<a>标题7"));
    EXPECT_FALSE(record->onCallingThread);
}

}  // namespace
}  // namespace velmora
