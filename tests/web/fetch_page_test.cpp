// The page fetch against a real HTTP server on 127.0.0.1, checked on the wire.
#include "web/fetch_page.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/win_handle.h"
#include "loopback_server.h"

namespace velmora {
namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::ScriptedResponse;
using namespace std::chrono_literals;

const char* const kUserAgentLine = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const char* const kContentTypeLine = "Content-Type: application/x-www-form-urlencoded";

std::string nameOf(const std::string& line) {
    std::string name = line.substr(0, line.find(':'));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

// The header lines of ours: those the request object adds to carry the
// exchange (Host, Connection, Content-Length) left out.
std::vector<std::string> ourLines(const RecordedRequest& request) {
    std::vector<std::string> lines;
    for (const auto& line : request.headerLines) {
        const std::string name = nameOf(line);
        if (name != "host" && name != "connection" && name != "content-length") lines.push_back(line);
    }
    return lines;
}

bool hasLineNamed(const RecordedRequest& request, const std::string& name) {
    return std::any_of(request.headerLines.begin(), request.headerLines.end(),
                       [&](const std::string& line) { return nameOf(line) == name; });
}

std::string bodyOf(const ByteBuffer& body) { return std::string(body.bytes().begin(), body.bytes().end()); }

std::vector<std::string> fiveDefaults(const std::string& url) {
    return {"Accept: */*", "Referer: " + url, "Accept-Language: zh-cn", kUserAgentLine, kContentTypeLine};
}

ScriptedResponse answerWith(std::string body, int status = 200, std::vector<std::string> headerLines = {}) {
    ScriptedResponse response;
    response.status = status;
    response.reason = status == 200 ? "OK" : "Other";
    response.body = std::move(body);
    response.headerLines = std::move(headerLines);
    return response;
}

Text textOf(const std::string& text) { return Text(text); }

// A port nothing listens on: one a server had a moment ago.
unsigned short closedPort() {
    LoopbackServer gone([](const RecordedRequest&) { return ScriptedResponse{}; });
    return gone.port();
}

TEST(FetchPage, APlainGetCarriesExactlyTheFiveDefaultLinesAndNoCookie) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("page"); });
    const std::string url = server.url("/s?tn=baidurt&wd=1");

    EXPECT_EQ(bodyOf(fetchPage(textOf(url), 0)), "page");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "GET /s?tn=baidurt&wd=1 HTTP/1.1");
    EXPECT_EQ(ourLines(requests[0]), fiveDefaults(url));
    EXPECT_FALSE(hasLineNamed(requests[0], "cookie"));
    EXPECT_EQ(requests[0].body, "");
}

TEST(FetchPage, AnEmptyHeaderBlockIsCompletedWithTheFiveDefaults) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("page"); });
    const std::string url = server.url("/p");
    FetchExchange exchange;
    fetchPage(textOf(url), 0, exchange);

    std::string joined;
    for (const auto& line : fiveDefaults(url)) joined += (joined.empty() ? "" : "\r\n") + line;
    EXPECT_EQ(exchange.headers, textOf(joined));
    EXPECT_EQ(ourLines(server.requests().at(0)), fiveDefaults(url));
}

struct HeaderBlockCase {
    const char* name;
    const char* given;
    std::vector<std::string> givenOnTheWire;  // the caller's lines as sent
    bool acceptAdded;
};

class HeaderBlock : public ::testing::TestWithParam<HeaderBlockCase> {};

TEST_P(HeaderBlock, KeepsTheCallersLinesFirstAndAddsOnlyMissingDefaults) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("ok"); });
    const std::string url = server.url("/h");
    FetchExchange exchange;
    exchange.headers = GetParam().given;
    fetchPage(textOf(url), 0, exchange);

    std::vector<std::string> added;
    if (GetParam().acceptAdded) added.push_back("Accept: */*");
    for (const auto& line : {"Referer: " + url, std::string("Accept-Language: zh-cn"), std::string(kUserAgentLine),
                             std::string(kContentTypeLine)}) {
        added.push_back(line);
    }
    std::string completed = GetParam().given;
    for (const auto& line : added) completed.append("\r\n").append(line);
    EXPECT_EQ(exchange.headers, textOf(completed));

    std::vector<std::string> expected = GetParam().givenOnTheWire;
    expected.insert(expected.end(), added.begin(), added.end());
    auto wire = ourLines(server.requests().at(0));
    if (std::string(GetParam().name) == "LowerCaseAcceptGetsTheDefault") {
        // Header names are case-insensitive on the wire: the request object
        // may let the second "Accept" take the place of the first.
        EXPECT_NE(std::find(wire.begin(), wire.end(), "Accept: */*"), wire.end());
        return;
    }
    // A request object adds an "Accept: */*" of its own ahead of the rest
    // when the block sets none (Wine's does).
    if (!GetParam().acceptAdded && std::string(GetParam().given).rfind("Accept:", 0) != 0 && !wire.empty() &&
        wire.front() == "Accept: */*") {
        wire.erase(wire.begin());
    }
    EXPECT_EQ(wire, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, HeaderBlock,
    ::testing::Values(HeaderBlockCase{"AcceptGivenIsSentFirst", "Accept: text/html", {"Accept: text/html"}, false},
                      HeaderBlockCase{"AcceptInsideAnotherNameAddsNoAccept", "X-Accept: 1", {"X-Accept: 1"}, false},
                      HeaderBlockCase{"LowerCaseAcceptGetsTheDefault", "accept: x", {"accept: x"}, true},
                      // The block stays as the caller wrote it; names and values are sent trimmed.
                      HeaderBlockCase{"SpacesAroundNamesAndValuesGo", "  X-Pad :  v  \r\n\r\nX-Two: a:b",
                                      {"X-Pad: v", "X-Two: a:b"}, true}),
    [](const auto& test) { return std::string(test.param.name); });

struct MethodCase {
    std::int32_t code;
    const char* name;
};

class Method : public ::testing::TestWithParam<MethodCase> {};

TEST_P(Method, ChoosesTheRequestMethod) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("body"); });
    FetchExchange exchange;
    const ByteBuffer body = fetchPage(textOf(server.url("/m")), GetParam().code, exchange);
    EXPECT_EQ(server.requests().at(0).requestLine, std::string(GetParam().name) + " /m HTTP/1.1");
    EXPECT_EQ(exchange.status, 200);
    EXPECT_EQ(bodyOf(body), std::string(GetParam().name) == "HEAD" ? "" : "body");
}

INSTANTIATE_TEST_SUITE_P(Codes, Method,
                         ::testing::Values(MethodCase{0, "GET"}, MethodCase{1, "POST"}, MethodCase{2, "HEAD"},
                                           MethodCase{5, "GET"}, MethodCase{-1, "GET"}));

class Body : public ::testing::Test {
protected:
    RecordedRequest post(FetchExchange exchange) {
        LoopbackServer server([](const RecordedRequest&) { return answerWith("done"); });
        fetchPage(textOf(server.url("/form")), 1, exchange);
        return server.requests().at(0);
    }
};

TEST_F(Body, ATextBodyIsSent) {
    FetchExchange exchange;
    exchange.bodyText = "a=1&b=two";
    EXPECT_EQ(post(exchange).body, "a=1&b=two");
}

TEST_F(Body, ATextBodyIsCode936TextWhateverTheSystemCodePage) {
    // The request object sends a text body as UTF-8.
    FetchExchange exchange;
    exchange.bodyText = "wd=\xD6\xD0\xB9\xFA";
    EXPECT_EQ(post(exchange).body, "wd=\xE4\xB8\xAD\xE5\x9B\xBD");
}

TEST_F(Body, AByteBodyIsSentByteForByte) {
    const std::vector<std::uint8_t> bytes = {0x00, 0xFF, 0x80, 'x', 0x00, '\r', '\n', 0xD6};
    FetchExchange exchange;
    exchange.bodyBytes = ByteBuffer(bytes);
    EXPECT_EQ(post(exchange).body, std::string(bytes.begin(), bytes.end()));
}

TEST_F(Body, BytesWinWhenBothAreGiven) {
    FetchExchange exchange;
    exchange.bodyText = "text";
    exchange.bodyBytes = ByteBuffer("bytes", 5);
    EXPECT_EQ(post(exchange).body, "bytes");
}

TEST(FetchPage, TheKeywordOfASearchAddressCrossesAsCodePage936) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("ok"); });
    const Text url = textOf(server.url("/s?wd=")) + Text("\xD6\xD0\xB9\xFA");
    fetchPage(url, 0);
    const auto request = server.requests().at(0);
    // The request object sends the address UTF-8 encoded and escaped, and header values as UTF-8.
    EXPECT_EQ(request.requestLine, "GET /s?wd=%E4%B8%AD%E5%9B%BD HTTP/1.1");
    EXPECT_EQ(ourLines(request).at(1), "Referer: " + server.url("/s?wd=") + "\xE4\xB8\xAD\xE5\x9B\xBD");
}

TEST(Cookies, SetCookieLinesAreNormalisedCollectedAndMerged) {
    LoopbackServer server([](const RecordedRequest&) {
        return answerWith("ok", 200, {"set-cookie: id=42; path=/", "SET-COOKIE: lang=en"});
    });
    FetchExchange exchange;
    exchange.cookies = "lang=zh; uid=7";
    fetchPage(textOf(server.url("/c")), 0, exchange);

    EXPECT_EQ(ourLines(server.requests().at(0)).at(0), "Cookie: lang=zh; uid=7");
    const std::string headers = exchange.responseHeaders.str();
    EXPECT_NE(headers.find("Set-Cookie: id=42; path=/\r\n"), std::string::npos) << headers;
    EXPECT_NE(headers.find("Set-Cookie: lang=en\r\n"), std::string::npos) << headers;
    EXPECT_EQ(headers.find("set-cookie"), std::string::npos);
    EXPECT_EQ(headers.find("SET-COOKIE"), std::string::npos);
    EXPECT_EQ(exchange.newCookies, Text("id=42;lang=en"));
    EXPECT_EQ(exchange.cookies, Text("id=42; lang=en; uid=7"));
    EXPECT_EQ(exchange.status, 200);
}

TEST(Cookies, ADeletedCookieDisappears) {
    LoopbackServer server([](const RecordedRequest&) {
        return answerWith("ok", 200, {"Set-Cookie: uid=deleted; path=/"});
    });
    FetchExchange exchange;
    exchange.cookies = "uid=7; a=1";
    fetchPage(textOf(server.url("/c")), 0, exchange);
    EXPECT_EQ(exchange.cookies, Text("a=1"));
    EXPECT_EQ(exchange.newCookies, Text("uid=deleted"));
}

TEST(Cookies, ASetCookieLineWithoutEqualsGivesANameAlone) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("ok", 200, {"Set-Cookie: flag"}); });
    FetchExchange exchange;
    exchange.cookies = "flag=old; b=2";
    fetchPage(textOf(server.url("/c")), 0, exchange);
    EXPECT_EQ(exchange.newCookies, Text("flag"));
    EXPECT_EQ(exchange.cookies, Text("flag; b=2"));
}

TEST(Cookies, TheCookieStringCarriesOverTwoRequests) {
    LoopbackServer server([](const RecordedRequest& request) {
        return request.requestLine.find("/first") != std::string::npos
                   ? answerWith("1", 200, {"Set-Cookie: sid=abc; HttpOnly", "Set-Cookie: theme=dark"})
                   : answerWith("2", 200, {"Set-Cookie: theme=deleted; path=/", "Set-Cookie: seen=1"});
    });
    FetchExchange exchange;
    fetchPage(textOf(server.url("/first")), 0, exchange);
    EXPECT_EQ(exchange.cookies, Text("sid=abc; theme=dark"));

    exchange.headers = "";
    fetchPage(textOf(server.url("/second")), 0, exchange);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(hasLineNamed(requests[0], "cookie"));
    EXPECT_EQ(ourLines(requests[1]).at(0), "Cookie: sid=abc; theme=dark");
    EXPECT_EQ(exchange.cookies, Text("seen=1; sid=abc"));
}

TEST(Response, AnErrorPageComesBackWithItsStatus) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("<h1>not here</h1>", 404); });
    FetchExchange exchange;
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/missing")), 0, exchange)), "<h1>not here</h1>");
    EXPECT_EQ(exchange.status, 404);
    EXPECT_EQ(exchange.responseHeaders.view().substr(0, 9), "HTTP/1.1 ");
}

TEST(Response, ABodyHoldingZeroBytesComesBackWhole) {
    const std::string bytes("a\0b\0\0c\xFF", 7);
    LoopbackServer server([&](const RecordedRequest&) { return answerWith(bytes); });
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/z")), 0)), bytes);
}

TEST(Response, AnEmptyBodyIsTheEmptyBuffer) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith(""); });
    FetchExchange exchange;
    EXPECT_TRUE(fetchPage(textOf(server.url("/e")), 0, exchange).empty());
    EXPECT_EQ(exchange.status, 200);
}

TEST(Response, AMultiMegabyteBodyComesBackWhole) {
    std::string bytes(9u << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131) >> 3);
    LoopbackServer server([&](const RecordedRequest&) { return answerWith(bytes); });
    const ByteBuffer body = fetchPage(textOf(server.url("/big")), 0);
    ASSERT_EQ(body.size(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_TRUE(bodyOf(body) == bytes);
}

class Redirect : public ::testing::Test {
protected:
    LoopbackServer server{[](const RecordedRequest& request) {
        if (request.requestLine.find("/old") != std::string::npos) return answerWith("moved", 302, {"Location: /new"});
        return answerWith("new page");
    }};
};

TEST_F(Redirect, IsFollowed) {
    FetchExchange exchange;
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/old")), 0, exchange)), "new page");
    EXPECT_EQ(exchange.status, 200);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].requestLine, "GET /new HTTP/1.1");
}

TEST_F(Redirect, IsNotFollowedWithNoRedirect) {
    FetchExchange exchange;
    exchange.noRedirect = true;
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/old")), 0, exchange)), "moved");
    EXPECT_EQ(exchange.status, 302);
    EXPECT_NE(exchange.responseHeaders.str().find("Location: /new"), std::string::npos);
    EXPECT_EQ(server.requests().size(), 1u);
}

// What a failed exchange leaves: no body, no status, no response headers
// and no new cookies; the header block completed and the cookie string as
// the merge alone leaves it.
void expectFailedExchange(const ByteBuffer& body, const FetchExchange& exchange, const Text& url) {
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(exchange.status, 0);
    EXPECT_EQ(exchange.responseHeaders, Text());
    EXPECT_EQ(exchange.newCookies, Text());
    EXPECT_EQ(exchange.cookies, Text("a=1; c=3"));
    EXPECT_EQ(exchange.headers.view().substr(0, 24), "Accept: */*\r\nReferer: " + url.str().substr(0, 2));
    EXPECT_NE(exchange.headers.str().find(kContentTypeLine), std::string::npos);
}

FetchExchange withCookiesToClean() {
    FetchExchange exchange;
    exchange.cookies = "a = 1; a=2; b=deleted; c=3";
    exchange.newCookies = "stale";
    exchange.responseHeaders = "stale";
    exchange.status = 99;
    return exchange;
}

TEST(Failure, AServerThatNeverAnswersTimesOutWithinSeconds) {
    LoopbackServer server([](const RecordedRequest&) {
        ScriptedResponse response;
        response.neverAnswer = true;
        return response;
    });
    const Text url = textOf(server.url("/never"));
    FetchExchange exchange = withCookiesToClean();
    exchange.timeoutSeconds = 1;
    const auto started = std::chrono::steady_clock::now();
    const ByteBuffer body = fetchPage(url, 0, exchange);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 8s);
    EXPECT_EQ(server.requests().size(), 1u);
    expectFailedExchange(body, exchange, url);
}

TEST(Failure, AnAnswerWithinTheTimeOutArrives) {
    LoopbackServer server([](const RecordedRequest&) {
        ScriptedResponse response = answerWith("late but fine");
        response.delayMs = 300;
        return response;
    });
    FetchExchange exchange;
    exchange.timeoutSeconds = 1;
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/slow")), 0, exchange)), "late but fine");
}

TEST(Failure, TheRequestObjectsOwnTimeOutsServeForMinusOne) {
    LoopbackServer server([](const RecordedRequest&) {
        ScriptedResponse response = answerWith("fine");
        response.delayMs = 1500;
        return response;
    });
    FetchExchange exchange;
    exchange.timeoutSeconds = -1;
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/x")), 0, exchange)), "fine");
}

TEST(Failure, AnUnreachableServerGivesNothingButTheHeadersAreCompleted) {
    const Text url = textOf("http://127.0.0.1:" + std::to_string(closedPort()) + "/x");
    FetchExchange exchange = withCookiesToClean();
    exchange.timeoutSeconds = 1;
    const auto started = std::chrono::steady_clock::now();
    const ByteBuffer body = fetchPage(url, 0, exchange);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 8s);
    expectFailedExchange(body, exchange, url);
}

TEST(Failure, AConnectionClosedWithoutAnAnswerGivesNothing) {
    LoopbackServer server([](const RecordedRequest&) {
        ScriptedResponse response;
        response.closeAtOnce = true;
        return response;
    });
    const Text url = textOf(server.url("/gone"));
    FetchExchange exchange = withCookiesToClean();
    exchange.timeoutSeconds = 2;
    expectFailedExchange(fetchPage(url, 0, exchange), exchange, url);
}

TEST(Failure, AMalformedAddressGivesNothing) {
    FetchExchange exchange = withCookiesToClean();
    expectFailedExchange(fetchPage("not an address", 0, exchange), exchange, "not an address");
}

TEST(BadInput, AHeaderValueWithALineBreakInsideStartsNoHeaderOfItsOwn) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("ok"); });
    FetchExchange exchange;
    exchange.headers = Text("X-A: 1\nInjected: yes\r\nX-B: 2\rAlso: no\r\nX-C: 3");
    exchange.cookies = "a=1\nInjected:";
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/i")), 0, exchange)), "ok");

    const auto request = server.requests().at(0);
    EXPECT_FALSE(hasLineNamed(request, "injected"));
    EXPECT_FALSE(hasLineNamed(request, "also"));
    EXPECT_FALSE(hasLineNamed(request, "x-a"));
    EXPECT_FALSE(hasLineNamed(request, "x-b"));
    EXPECT_FALSE(hasLineNamed(request, "cookie"));
    EXPECT_EQ(ourLines(request).at(0), "X-C: 3");
    const std::string given = "X-A: 1\nInjected: yes\r\nX-B: 2\rAlso: no\r\nX-C: 3";
    EXPECT_EQ(exchange.headers.view().substr(0, given.size()), given);
}

TEST(BadInput, AHeaderLineWithoutAColonIsRefusedAndTheRestIsSent) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("ok"); });
    FetchExchange exchange;
    exchange.headers = "garbage\r\nX-B: 2";
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/g")), 0, exchange)), "ok");
    EXPECT_EQ(ourLines(server.requests().at(0)).at(0), "X-B: 2");
}

TEST(BadInput, AnEnormousSetCookieHeaderGivesADefinedResult) {
    const std::string value(200000, 'v');
    LoopbackServer server([&](const RecordedRequest&) {
        return answerWith("ok", 200, {"Set-Cookie: big=" + value + "; path=/", "Set-Cookie: small=1"});
    });
    FetchExchange exchange;
    exchange.cookies = "old=1";
    const ByteBuffer body = fetchPage(textOf(server.url("/huge")), 0, exchange);
    ASSERT_EQ(exchange.status, 200);
    EXPECT_EQ(bodyOf(body), "ok");
    // The request object may cut a very long header line (Wine's keeps its
    // first 1460 bytes); whatever it hands over is taken as it stands: the
    // big cookie (whole or cut), the small one, then the old one.
    const std::string& cookies = exchange.cookies.str();
    const std::string tail = "; small=1; old=1";
    ASSERT_GT(cookies.size(), tail.size() + 4);
    EXPECT_EQ(cookies.substr(cookies.size() - tail.size()), tail);
    const std::string big = cookies.substr(0, cookies.size() - tail.size());
    EXPECT_EQ(big.rfind("big=v", 0), 0u);
    EXPECT_LE(big.size(), 4 + value.size());
    EXPECT_EQ(big.find_first_not_of('v', 4), std::string::npos);
}

TEST(Threads, FourFetchesAtOnceEachGetTheirOwnBody) {
    LoopbackServer server([](const RecordedRequest& request) {
        ScriptedResponse response = answerWith("body of " + request.requestLine.substr(4, 3));
        response.delayMs = 200;
        return response;
    });
    std::array<std::string, 4> bodies;
    std::array<std::int32_t, 4> statuses{};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 3; ++round) {
                FetchExchange exchange;
                const std::string path = "/t" + std::to_string(i);
                bodies[static_cast<std::size_t>(i)] += bodyOf(fetchPage(textOf(server.url(path)), 0, exchange)) + ";";
                statuses[static_cast<std::size_t>(i)] = exchange.status;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < 4; ++i) {
        const std::string one = "body of /t" + std::to_string(i) + ";";
        EXPECT_EQ(bodies[static_cast<std::size_t>(i)], one + one + one);
        EXPECT_EQ(statuses[static_cast<std::size_t>(i)], 200);
    }
    EXPECT_EQ(server.requests().size(), 12u);
}

TEST(LentObject, IsUsedForTheRequestAndStaysTheCallers) {
    LoopbackServer server([](const RecordedRequest& request) {
        return answerWith(request.requestLine.substr(4, 2), 200, {"Set-Cookie: s=1"});
    });
    const ComApartment apartment;
    const AutomationObject request = AutomationObject::create(L"WinHttp.WinHttpRequest.5.1");
    ASSERT_FALSE(request.empty());

    FetchExchange exchange;
    exchange.requestObject = request;
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/a")), 0, exchange)), "/a");
    // The caller's object still holds the exchange it carried.
    EXPECT_EQ(request.get(L"Status").toInt32(), 200);
    EXPECT_EQ(bodyOf(request.get(L"ResponseBody").toBytes()), "/a");

    exchange.headers = "";
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/b")), 0, exchange)), "/b");
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST(LentObject, ThatRefersToNothingGivesTheOutcomeOfAFailedExchange) {
    LoopbackServer server([](const RecordedRequest&) { return answerWith("never seen"); });
    const Text url = textOf(server.url("/x"));
    FetchExchange exchange = withCookiesToClean();
    exchange.requestObject = AutomationObject();
    expectFailedExchange(fetchPage(url, 0, exchange), exchange, url);
    EXPECT_TRUE(server.requests().empty());
}

// Each fetch initialises COM for itself and undoes exactly that, so the
// calling thread's apartment is as it was before.
class Apartment : public ::testing::Test {
protected:
    LoopbackServer server{[](const RecordedRequest&) { return answerWith("ok"); }};

    template <typename Check>
    void onNewThread(Check check) {
        std::thread([&] { check(); }).join();
    }
    std::string fetch() { return bodyOf(fetchPage(textOf(server.url("/a")), 0)); }
};

TEST_F(Apartment, AThreadWithoutComIsLeftWithoutIt) {
    onNewThread([&] {
        EXPECT_EQ(fetch(), "ok");
        // Nothing is left initialised: any apartment model may be chosen now.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    });
}

TEST_F(Apartment, ACallersSingleThreadedApartmentStays) {
    onNewThread([&] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(fetch(), "ok");
        EXPECT_EQ(fetch(), "ok");
        // Still initialised once by the caller.
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    });
}

TEST_F(Apartment, ACallersMultiThreadedApartmentIsNotTornDown) {
    onNewThread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(fetch(), "ok");
        // The fetch's own initialisation did not take, so it undid nothing.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    });
}

// Credentials: the request object sends "Authorization" for the server
// (target 0) when the server asks for it, never for credentials meant for a proxy.
class Credentials : public ::testing::Test {
protected:
    LoopbackServer server{[](const RecordedRequest& request) {
        if (hasLineNamed(request, "authorization")) return answerWith("welcome");
        return answerWith("who are you", 401, {"WWW-Authenticate: Basic realm=\"v\""});
    }};

    bool sawAuthorization(const std::string& line) const {
        for (const auto& request : server.requests()) {
            if (std::find(request.headerLines.begin(), request.headerLines.end(), line) != request.headerLines.end()) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(Credentials, ForTheServerAreSentWithAProxyGiven) {
    FetchExchange exchange;
    exchange.proxy = textOf("127.0.0.1:" + std::to_string(server.port()));
    exchange.proxyUser = "user";
    exchange.proxyPassword = "pw";
    exchange.proxyCredentialTarget = 0;
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/private")), 0, exchange)), "welcome");
    EXPECT_EQ(exchange.status, 200);
    EXPECT_TRUE(sawAuthorization("Authorization: Basic dXNlcjpwdw=="));
}

TEST_F(Credentials, ForTheProxyByDefaultAreNotSentToTheServer) {
    FetchExchange exchange;
    exchange.proxy = textOf("127.0.0.1:" + std::to_string(server.port()));
    exchange.proxyUser = "user";
    exchange.proxyPassword = "pw";
    fetchPage(textOf(server.url("/private")), 0, exchange);
    EXPECT_EQ(exchange.status, 401);
    EXPECT_FALSE(sawAuthorization("Authorization: Basic dXNlcjpwdw=="));
}

TEST_F(Credentials, AreIgnoredWithoutAProxy) {
    FetchExchange exchange;
    exchange.proxyUser = "user";
    exchange.proxyPassword = "pw";
    exchange.proxyCredentialTarget = 0;
    EXPECT_EQ(bodyOf(fetchPage(textOf(server.url("/private")), 0, exchange)), "who are you");
    EXPECT_EQ(exchange.status, 401);
    EXPECT_FALSE(sawAuthorization("Authorization: Basic dXNlcjpwdw=="));
}

TEST(Proxy, TheRequestGoesThroughTheNamedProxyWithItsCredentials) {
    LoopbackServer origin([](const RecordedRequest&) { return answerWith("from the origin"); });
    LoopbackServer proxy([](const RecordedRequest& request) {
        if (hasLineNamed(request, "proxy-authorization")) return answerWith("from the proxy");
        return answerWith("", 407, {"Proxy-Authenticate: Basic realm=\"p\""});
    });
    FetchExchange exchange;
    exchange.proxy = textOf("127.0.0.1:" + std::to_string(proxy.port()));
    exchange.proxyUser = "pu";
    exchange.proxyPassword = "pp";
    const std::string url = origin.url("/via");
    const ByteBuffer body = fetchPage(textOf(url), 0, exchange);
    if (proxy.requests().empty() && !origin.requests().empty()) {
        GTEST_SKIP() << "this platform's request object ignores \"SetProxy\" and went straight to the server";
    }
    EXPECT_EQ(bodyOf(body), "from the proxy");
    EXPECT_TRUE(origin.requests().empty());
    const auto requests = proxy.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().requestLine, "GET " + url + " HTTP/1.1");
    EXPECT_NE(std::find(requests.back().headerLines.begin(), requests.back().headerLines.end(),
                        "Proxy-Authorization: Basic cHU6cHA="),
              requests.back().headerLines.end());
}

}  // namespace
}  // namespace velmora
