#include "loopback_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace velmora::testing {

namespace {

// How often blocked waits look whether the server is stopping.
constexpr long kPollMicroseconds = 20'000;

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view headerNameOf(std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return {};
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

std::string_view headerValueOf(std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return {};
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    return value;
}

bool hasHeader(const std::vector<std::string>& lines, std::string_view name) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return sameLetters(headerNameOf(line), name); });
}

// True when `socket` has something to read (or was closed) within one poll.
bool readable(SOCKET socket) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{0, kPollMicroseconds};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

}  // namespace

struct LoopbackServer::Connection {
    SOCKET socket = INVALID_SOCKET;
    std::thread thread;
};

LoopbackServer::LoopbackServer(Handler handler, unsigned short port)
    : handler_(std::move(handler)), listener_(INVALID_SOCKET) {
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsockStarted_) return;

    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return;
    if (port != 0) {
        // A fixed port must be usable again at once after an earlier run.
        BOOL reuse = TRUE;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, SOMAXCONN) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(listener);
        return;
    }
    listener_ = listener;
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    if (acceptThread_.joinable()) acceptThread_.join();
    // No new connection can appear now; each thread ends within one poll.
    for (auto& connection : connections_) {
        if (connection->thread.joinable()) connection->thread.join();
    }
    if (listener_ != INVALID_SOCKET) closesocket(static_cast<SOCKET>(listener_));
    if (winsockStarted_) WSACleanup();
}

unsigned short LoopbackServer::port() const { return port_; }

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t LoopbackServer::connectionCount() const {
    std::lock_guard lock(mutex_);
    return connectionCount_;
}

void LoopbackServer::acceptLoop() {
    const auto listener = static_cast<SOCKET>(listener_);
    while (!stopping_) {
        if (!readable(listener)) continue;
        SOCKET accepted = accept(listener, nullptr, nullptr);
        if (accepted == INVALID_SOCKET) continue;
        std::lock_guard lock(mutex_);
        auto& connection = connections_.emplace_back(std::make_unique<Connection>());
        connection->socket = accepted;
        ++connectionCount_;
        Connection* raw = connection.get();
        connection->thread = std::thread([this, raw] { serve(*raw); });
    }
}

bool LoopbackServer::waitUnlessStopped(int ms) {
    std::unique_lock lock(mutex_);
    if (ms < 0) {
        stopped_.wait(lock, [this] { return stopping_.load(); });
        return false;
    }
    return !stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

bool LoopbackServer::receiveMore(Connection& connection, std::string& pending) {
    while (!stopping_) {
        if (!readable(connection.socket)) continue;
        char buffer[65536];
        const int got = recv(connection.socket, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        pending.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    return false;
}

bool LoopbackServer::readRequest(Connection& connection, std::string& pending, RecordedRequest& request) {
    std::size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (!receiveMore(connection, pending)) return false;
    }
    const std::string head = pending.substr(0, end);
    pending.erase(0, end + 4);

    std::size_t start = 0;
    std::vector<std::string> lines;
    while (start <= head.size()) {
        const std::size_t next = std::min(head.find("\r\n", start), head.size());
        lines.push_back(head.substr(start, next - start));
        start = next + 2;
    }
    request.requestLine = lines.front();
    request.headerLines.assign(lines.begin() + 1, lines.end());

    std::size_t length = 0;
    for (const auto& line : request.headerLines) {
        if (sameLetters(headerNameOf(line), "Content-Length")) {
            length = std::strtoul(std::string(headerValueOf(line)).c_str(), nullptr, 10);
        }
    }
    while (pending.size() < length) {
        if (!receiveMore(connection, pending)) return false;
    }
    request.body = pending.substr(0, length);
    pending.erase(0, length);
    return true;
}

bool LoopbackServer::sendAll(Connection& connection, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 1 << 20));
        const int done = send(connection.socket, bytes.data() + sent, chunk, 0);
        if (done <= 0) return false;
        sent += static_cast<std::size_t>(done);
    }
    return true;
}

void LoopbackServer::serve(Connection& connection) {
    std::string pending;
    RecordedRequest request;
    // One connection may carry several requests (keep-alive).
    while (readRequest(connection, pending, request)) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        const ScriptedResponse response = handler_ ? handler_(request) : ScriptedResponse{};
        if (response.neverAnswer) {
            waitUnlessStopped(-1);
            break;
        }
        if (response.delayMs > 0 && !waitUnlessStopped(response.delayMs)) break;
        if (response.closeAtOnce) break;

        std::string answer = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
        for (const auto& line : response.headerLines) answer += line + "\r\n";
        if (!hasHeader(response.headerLines, "Content-Length")) {
            answer += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
        }
        answer += "\r\n";
        const bool head = request.requestLine.rfind("HEAD ", 0) == 0;
        if (!head) answer += response.body;
        if (!sendAll(connection, answer)) break;
        request = {};
    }
    shutdown(connection.socket, SD_BOTH);
    closesocket(connection.socket);
}

}  // namespace velmora::testing
