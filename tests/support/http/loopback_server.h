#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests. It records every request
// exactly as it arrived (request line, header lines in order, body) and
// answers each with whatever the test's handler scripts: status, header
// lines, body and timing. It runs on threads of its own; the destructor
// closes every connection and joins them all, even a connection that was
// told never to answer.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::testing {

struct RecordedRequest {
    std::string requestLine;               // as sent, without its CR LF
    std::vector<std::string> headerLines;  // in order, each without its CR LF
    std::string body;                      // the Content-Length bytes that followed the header
};

struct ScriptedResponse {
    int status = 200;
    std::string reason = "OK";
    // Sent as they stand. A "Content-Length" line of the handler's replaces
    // the one the server would add.
    std::vector<std::string> headerLines;
    std::string body;
    int delayMs = 0;           // wait this long before answering
    bool neverAnswer = false;  // keep the connection open and silent until the server stops
    bool closeAtOnce = false;  // close the connection without a byte of answer
};

class LoopbackServer {
public:
    // Called on the connection's thread; several connections may call it at once.
    using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;

    explicit LoopbackServer(Handler handler, unsigned short port = 0);  // 0: any free port
    ~LoopbackServer();                                                   // stops and joins

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // The port listened on; 0 when the server could not listen.
    unsigned short port() const;
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string url(const std::string& path = "/") const;
    std::vector<RecordedRequest> requests() const;  // in arrival order
    std::size_t connectionCount() const;            // connections accepted so far

private:
    struct Connection;

    void acceptLoop();
    void serve(Connection& connection);
    bool readRequest(Connection& connection, std::string& pending, RecordedRequest& request);
    bool receiveMore(Connection& connection, std::string& pending);
    bool sendAll(Connection& connection, const std::string& bytes);
    // Waits `ms` milliseconds or until the server stops; false when it stopped.
    bool waitUnlessStopped(int ms);

    Handler handler_;
    std::uintptr_t listener_;
    unsigned short port_ = 0;
    bool winsockStarted_ = false;

    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    std::vector<RecordedRequest> requests_;
    std::list<std::unique_ptr<Connection>> connections_;
    std::size_t connectionCount_ = 0;
    std::thread acceptThread_;
};

}  // namespace velmora::testing
