// The test server itself, spoken to over a plain socket.
#include "loopback_server.h"

#include <winsock2.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

namespace velmora::testing {
namespace {

// Sends `bytes` to the server and reads until it closes (3 s at most per read).
std::string exchange(unsigned short port, const std::string& bytes, bool closeWriting = true) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    std::string answer;
    if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        send(client, bytes.data(), static_cast<int>(bytes.size()), 0);
        if (closeWriting) shutdown(client, SD_SEND);
        DWORD timeout = 3000;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        char buffer[4096];
        int got;
        while ((got = recv(client, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<std::size_t>(got));
    }
    closesocket(client);
    WSACleanup();
    return answer;
}

TEST(LoopbackServer, RecordsRequestsExactlyAndAnswersAsScripted) {
    LoopbackServer server([](const RecordedRequest& request) {
        ScriptedResponse response;
        response.status = 201;
        response.reason = "Made";
        response.headerLines = {"X-One: 1", "set-cookie: a=b; path=/"};
        response.body = "got " + request.body;
        return response;
    });
    ASSERT_NE(server.port(), 0);
    const std::string answer =
        exchange(server.port(), "POST /p?q=1 HTTP/1.1\r\nHost: x\r\nweird :  spaced \r\nContent-Length: 3\r\n\r\nabc");

    EXPECT_EQ(answer, "HTTP/1.1 201 Made\r\nX-One: 1\r\nset-cookie: a=b; path=/\r\nContent-Length: 7\r\n\r\ngot abc");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /p?q=1 HTTP/1.1");
    EXPECT_EQ(requests[0].headerLines, (std::vector<std::string>{"Host: x", "weird :  spaced ", "Content-Length: 3"}));
    EXPECT_EQ(requests[0].body, "abc");
}

TEST(LoopbackServer, ServesSeveralRequestsOnOneConnection) {
    LoopbackServer server([](const RecordedRequest& request) {
        ScriptedResponse response;
        response.body = request.requestLine;
        return response;
    });
    const std::string answer = exchange(server.port(), "GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\r\n\r\n");
    EXPECT_NE(answer.find("GET /a HTTP/1.1"), std::string::npos);
    EXPECT_NE(answer.find("GET /b HTTP/1.1"), std::string::npos);
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.connectionCount(), 1u);
}

TEST(LoopbackServer, ClosesAtOnceWhenToldTo) {
    LoopbackServer server([](const RecordedRequest&) {
        ScriptedResponse response;
        response.closeAtOnce = true;
        return response;
    });
    EXPECT_EQ(exchange(server.port(), "GET / HTTP/1.1\r\n\r\n"), "");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(LoopbackServer, StopsPromptlyWhileAConnectionWaitsForAnAnswerThatNeverComes) {
    const auto started = std::chrono::steady_clock::now();
    {
        LoopbackServer server([](const RecordedRequest&) {
            ScriptedResponse response;
            response.neverAnswer = true;
            return response;
        });
        // The client gives up after its own receive time-out (3 s); the
        // server's connection thread is still waiting when it is destroyed.
        EXPECT_EQ(exchange(server.port(), "GET / HTTP/1.1\r\n\r\n", false), "");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(LoopbackServer, ListensOnAFixedPortWhenAskedTo) {
    unsigned short port;
    {
        LoopbackServer any([](const RecordedRequest&) { return ScriptedResponse{}; });
        port = any.port();
    }
    LoopbackServer fixed([](const RecordedRequest&) { return ScriptedResponse{}; }, port);
    EXPECT_EQ(fixed.port(), port);
    EXPECT_NE(exchange(fixed.port(), "GET / HTTP/1.1\r\n\r\n").find("HTTP/1.1 200 OK"), std::string::npos);
}

}  // namespace
}  // namespace velmora::testing
