// The text steps of a page fetch: method names, default headers, time-outs
// and the cookies of a response.
#include "web/fetch_text.h"

#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "web/header_lines.h"

namespace velmora {
namespace {

const char* const kDefaultsAfterAccept =
    "\r\nReferer: http://h/p"
    "\r\nAccept-Language: zh-cn"
    "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"
    "\r\nContent-Type: application/x-www-form-urlencoded";

struct MethodCase {
    std::int32_t code;
    const char* name;
};

class Method : public ::testing::TestWithParam<MethodCase> {};

TEST_P(Method, NamesTheCodeAndTakesEveryOtherCodeForGet) {
    EXPECT_EQ(methodName(GetParam().code), Text(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Codes, Method,
                         ::testing::Values(MethodCase{0, "GET"}, MethodCase{1, "POST"}, MethodCase{2, "HEAD"},
                                           MethodCase{5, "GET"}, MethodCase{-1, "GET"}, MethodCase{3, "GET"},
                                           MethodCase{std::numeric_limits<std::int32_t>::min(), "GET"}));

struct DefaultsCase {
    const char* given;
    std::string completed;
};

class DefaultHeaders : public ::testing::TestWithParam<DefaultsCase> {};

TEST_P(DefaultHeaders, AddOnlyWhatTheBlockDoesNotName) {
    EXPECT_EQ(withDefaultHeaders(GetParam().given, "http://h/p"), Text(GetParam().completed));
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, DefaultHeaders,
    ::testing::Values(
        DefaultsCase{"", std::string("Accept: */*") + kDefaultsAfterAccept},
        DefaultsCase{"Accept: text/html", std::string("Accept: text/html") + kDefaultsAfterAccept},
        // "Accept:" occurs inside "X-Accept:", so no Accept is added.
        DefaultsCase{"X-Accept: 1", std::string("X-Accept: 1") + kDefaultsAfterAccept},
        // The search is case-sensitive: "accept:" is not "Accept:".
        DefaultsCase{"accept: x", std::string("accept: x\r\nAccept: */*") + kDefaultsAfterAccept},
        DefaultsCase{"Referer: r\r\nUser-Agent: u",
                     "Referer: r\r\nUser-Agent: u\r\nAccept: */*\r\nAccept-Language: zh-cn"
                     "\r\nContent-Type: application/x-www-form-urlencoded"},
        DefaultsCase{"Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nUser-Agent: u\r\nContent-Type: c",
                     "Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nUser-Agent: u\r\nContent-Type: c"}));

TEST(DefaultHeaders, RefererIsTheAddressAsGiven) {
    const Text url("http://h/s?wd=\xD6\xD0\xB9\xFA");
    const TextArray lines = requestHeaderLines(withDefaultHeaders("", url));
    ASSERT_EQ(lines.count(), 5);
    EXPECT_EQ(headerValue(lines[2]), url);
}

struct LinesCase {
    const char* block;
    TextArray lines;
};

class HeaderBlockLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(HeaderBlockLines, AreTheNonEmptyLinesBetweenLineBreaks) {
    EXPECT_EQ(requestHeaderLines(GetParam().block), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Blocks, HeaderBlockLines,
                         ::testing::Values(LinesCase{"A: 1", TextArray{"A: 1"}},
                                           LinesCase{"A: 1\r\nB: 2", TextArray{"A: 1", "B: 2"}},
                                           LinesCase{"\r\nA: 1\r\n\r\nB: 2\r\n", TextArray{"A: 1", "B: 2"}},
                                           // A lone LF or CR does not end a line.
                                           LinesCase{"A: 1\nB: 2\rC", TextArray{"A: 1\nB: 2\rC"}},
                                           LinesCase{"no colon\r\nB: 2", TextArray{"no colon", "B: 2"}}));

TEST(HeaderBlockLines, PartsWithALineBreakAreNotSafeToHandOn) {
    EXPECT_TRUE(isSafeHeaderPart("text/html; q=0.9"));
    EXPECT_TRUE(isSafeHeaderPart(""));
    EXPECT_FALSE(isSafeHeaderPart("1\nInjected: yes"));
    EXPECT_FALSE(isSafeHeaderPart("1\rInjected: yes"));
    EXPECT_FALSE(isSafeHeaderPart("http://h/\r\nInjected: yes"));
}

struct TimeoutCase {
    std::int32_t seconds;
    std::optional<std::int32_t> milliseconds;
    std::optional<std::int32_t> waitSeconds;
};

class Timeouts : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(Timeouts, FollowTheRule) {
    EXPECT_EQ(timeoutMilliseconds(GetParam().seconds), GetParam().milliseconds);
    EXPECT_EQ(exchangeWaitSeconds(GetParam().seconds), GetParam().waitSeconds);
}

constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(Seconds, Timeouts,
                         ::testing::Values(TimeoutCase{-1, std::nullopt, std::nullopt},
                                           TimeoutCase{0, 15000, 60}, TimeoutCase{-5, 15000, 60},
                                           TimeoutCase{std::numeric_limits<std::int32_t>::min(), 15000, 60},
                                           TimeoutCase{1, 1000, 4}, TimeoutCase{20, 20000, 80},
                                           TimeoutCase{2147483, 2147483000, 8589932},
                                           // A thousandfold beyond 32 bits is held at the largest value.
                                           TimeoutCase{2147484, kLargest, 8589935},
                                           TimeoutCase{kLargest, kLargest, 8589935}));

TEST(ResponseCookies, SetCookieIsSpelledOneWayWhateverItsLetterCase) {
    EXPECT_EQ(normaliseSetCookie("set-cookie: a=1\r\nSET-COOKIE: b=2\r\nsEt-CoOkIe: c\r\nX-Set-cookie-Info: 1"),
              Text("Set-Cookie: a=1\r\nSet-Cookie: b=2\r\nSet-Cookie: c\r\nX-Set-Cookie-Info: 1"));
    EXPECT_EQ(normaliseSetCookie(""), Text());
}

struct CookieLinesCase {
    const char* headers;
    const char* pairs;
};

class ResponseCookiePairs : public ::testing::TestWithParam<CookieLinesCase> {};

TEST_P(ResponseCookiePairs, AreTakenFromEachSetCookieLine) {
    EXPECT_EQ(responseCookies(normaliseSetCookie(GetParam().headers)), Text(GetParam().pairs));
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ResponseCookiePairs,
    ::testing::Values(
        CookieLinesCase{"HTTP/1.1 200 OK\r\nset-cookie: id=42; path=/\r\nSET-COOKIE: lang=en\r\n\r\n", "id=42; lang=en"},
        CookieLinesCase{"Set-Cookie: uid=deleted; path=/", "uid=deleted"},
        CookieLinesCase{"Content-Length: 3\r\nX-A: b", ""},
        CookieLinesCase{"", ""},
        // A line without "=" gives a name alone.
        CookieLinesCase{"Set-Cookie: flag", "flag"},
        CookieLinesCase{"Set-Cookie: flag; HttpOnly", "flag"},
        // Without ";" every "Set-Cookie:" goes from the line; with one, the text after the first.
        CookieLinesCase{"Set-Cookie:Set-Cookie: a=1", "a=1"},
        CookieLinesCase{"Set-Cookie:   \xA1\xA1v=\xD6\xD0 ; x", "v=\xD6\xD0"},
        // A line that names the header without its colon gives an empty pair.
        CookieLinesCase{"X-Set-Cookie-Info: a; b\r\nSet-Cookie: k=1", "; k=1"}));

TEST(ResponseCookies, TheCookieCasesOfOneResponseMergeAsCallersExpect) {
    const Text headers = normaliseSetCookie("set-cookie: id=42; path=/\r\nSET-COOKIE: lang=en");
    Text newCookies = responseCookies(headers);
    Text cookies("lang=zh; uid=7");
    mergeCookies(cookies, newCookies);
    EXPECT_EQ(newCookies, Text("id=42;lang=en"));
    EXPECT_EQ(cookies, Text("id=42; lang=en; uid=7"));

    Text gone = responseCookies("Set-Cookie: uid=deleted; path=/");
    Text jar("uid=7; a=1");
    mergeCookies(jar, gone);
    EXPECT_EQ(jar, Text("a=1"));
}

TEST(ResponseCookies, AnEnormousSetCookieHeaderIsTakenWhole) {
    const std::string value(1 << 20, 'v');
    const Text pairs = responseCookies(normaliseSetCookie(Text("SET-COOKIE: big=" + value + "; path=/\r\nX: 1")));
    EXPECT_EQ(pairs.length(), 4 + static_cast<std::int32_t>(value.size()));
    EXPECT_EQ(pairs.view().substr(0, 6), "big=vv");
}

TEST(ResponseCookies, ManySetCookieLinesAllCount) {
    std::string headers;
    for (int i = 0; i < 20000; ++i) {
        headers.append("Set-Cookie: c").append(std::to_string(i)).append("=").append(std::to_string(i)).append("; path=/\r\n");
    }
    Text newCookies = responseCookies(normaliseSetCookie(Text(headers)));
    Text cookies;
    mergeCookies(cookies, newCookies);
    EXPECT_EQ(cookies.view().substr(0, 14), "c0=0; c1=1; c2");
    EXPECT_EQ(cookies.view().substr(cookies.view().size() - 12), "c19999=19999");
}

}  // namespace
}  // namespace velmora
