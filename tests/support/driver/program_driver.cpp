#include "program_driver.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

namespace velmora::test {
namespace {

using Clock = std::chrono::steady_clock;

std::wstring fromUtf8(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// A Unix path (as CMake knows the build) seen through Wine's Z: drive.
std::wstring windowsPath(std::wstring_view path) {
    std::wstring result;
    result.reserve(path.size() + 2);
    if (!path.empty() && path.front() == L'/') result.append(L"Z:");
    for (wchar_t character : path) result.push_back(character == L'/' ? L'\\' : character);
    return result;
}

bool fileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring folderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

struct ReleaseScreenDc {
    void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
struct DeleteMemoryDc {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK collectProcessWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<ProcessWindows*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId) search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK findStaticText(HWND child, LPARAM context) {
    auto* text = reinterpret_cast<std::wstring*>(context);
    if (className(child) != L"Static" || (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return TRUE;
    *text = windowText(child);
    return text->empty();
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (Clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

std::wstring windowText(HWND window) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 2000, &copied)) {
        return {};
    }
    return std::wstring(buffer, std::min<std::size_t>(copied, std::size(buffer) - 1));
}

std::wstring className(HWND window) {
    wchar_t buffer[256] = {};
    const int length = GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return std::wstring(buffer, static_cast<std::size_t>(std::max(length, 0)));
}

RECT rectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    HWND parent = GetAncestor(window, GA_PARENT);
    if (parent != nullptr && parent != GetDesktopWindow()) {
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

// ---- ProgramDriver ---------------------------------------------------------

std::wstring ProgramDriver::defaultProgramPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring beside = folderOf(self) + L"velmora-loopback.exe";
    if (fileExists(beside)) return beside;
    return windowsPath(fromUtf8(VELMORA_LOOPBACK_PROGRAM));
}

ProgramDriver::ProgramDriver(std::wstring programPath) : programPath_(std::move(programPath)) {}

ProgramDriver::~ProgramDriver() { kill(); }

bool ProgramDriver::start() {
    kill();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + programPath_ + L"\"";
    const std::wstring folder = folderOf(programPath_);
    if (!CreateProcessW(programPath_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        return false;
    }
    UniqueHandle thread(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    return true;
}

bool ProgramDriver::running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ProgramDriver::waitForExit(std::chrono::milliseconds timeout) {
    if (!process_) return std::nullopt;
    if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
}

void ProgramDriver::kill() {
    if (!process_) return;
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
    process_.reset();
    processId_ = 0;
}

std::vector<HWND> ProgramDriver::topLevelWindows() const {
    ProcessWindows search{processId_, {}};
    if (processId_ == 0) return {};
    EnumWindows(collectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ProgramDriver::findMessageBox(std::wstring_view title) const {
    for (HWND window : topLevelWindows()) {
        if (className(window) == L"#32770" && windowText(window) == title) return window;
    }
    return nullptr;
}

HWND ProgramDriver::waitForMessageBox(std::wstring_view title, std::chrono::milliseconds timeout) {
    HWND box = nullptr;
    waitUntil([&] { return (box = findMessageBox(title)) != nullptr && IsWindowVisible(box); }, timeout);
    return box != nullptr && IsWindowVisible(box) ? box : nullptr;
}

std::wstring ProgramDriver::messageBoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(box, findStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

bool ProgramDriver::pressButton(HWND box, int buttonId) {
    HWND button = GetDlgItem(box, buttonId);
    if (button == nullptr) return false;
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool ProgramDriver::dismissStartupHint(std::chrono::milliseconds timeout) {
    HWND hint = waitForMessageBox(kStartupHintTitle, timeout);
    if (hint == nullptr || !pressButton(hint, IDOK)) return false;
    return waitUntil([&] { return !IsWindow(hint); }, std::chrono::seconds(5));
}

HWND ProgramDriver::overlay() const {
    for (HWND window : topLevelWindows()) {
        if (className(window) == kOverlayClass) return window;
    }
    return nullptr;
}

HWND ProgramDriver::waitForOverlay(std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    waitUntil([&] { return (found = overlay()) != nullptr && IsWindowVisible(found); }, timeout);
    return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

std::vector<HWND> ProgramDriver::labels() const {
    HWND parent = overlay();
    if (parent == nullptr) return {};
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (className(child) == kLabelClass) found.push_back(child);
    }
    std::sort(found.begin(), found.end(), [](HWND a, HWND b) { return rectInParent(a).top < rectInParent(b).top; });
    return found;
}

HWND ProgramDriver::label(int lane) const {
    const std::vector<HWND> all = labels();
    if (lane < 1 || lane > static_cast<int>(all.size())) return nullptr;
    return all[static_cast<std::size_t>(lane - 1)];
}

std::optional<RECT> ProgramDriver::labelRect(int lane) const {
    HWND window = label(lane);
    if (window == nullptr) return std::nullopt;
    return rectInParent(window);
}

std::optional<int> ProgramDriver::labelLeft(int lane) const {
    const std::optional<RECT> rect = labelRect(lane);
    if (!rect) return std::nullopt;
    return static_cast<int>(rect->left);
}

bool ProgramDriver::postTrayEvent(UINT mouseMessage) const {
    HWND window = overlay();
    return window != nullptr && PostMessageW(window, kTrayCallbackMessage, kTrayIconId, static_cast<LPARAM>(mouseMessage));
}

bool ProgramDriver::postEscape(HWND target) const {
    if (target == nullptr) target = overlay();
    if (target == nullptr) return false;
    const UINT scanCode = MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | static_cast<LPARAM>(scanCode << 16);
    const LPARAM up = down | static_cast<LPARAM>(0xC0000000u);
    return PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, down) && PostMessageW(target, WM_KEYUP, VK_ESCAPE, up);
}

bool ProgramDriver::typeEscape() const {
    HWND window = overlay();
    if (window == nullptr) return false;
    SetForegroundWindow(window);
    if (!waitUntil([&] { return GetForegroundWindow() == window; }, std::chrono::seconds(2))) return false;
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, keys, sizeof(INPUT)) == 2;
}

bool displayClick(int x, int y) {
    std::wstring commandLine =
        L"Z:\\usr\\bin\\xdotool mousemove " + std::to_wstring(x) + L" " + std::to_wstring(y) + L" click 1";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return false;
    }
    // Wine hands out no handle that can be waited on for a Unix program: the
    // caller waits for the click's effect instead.
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    return true;
}

bool trayIconPresent(HWND owner, UINT id) {
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof probe;
    probe.hWnd = owner;
    probe.uID = id;
    probe.uFlags = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

// ---- ScreenCapture ---------------------------------------------------------

ScreenCapture ScreenCapture::take() {
    return take(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

ScreenCapture ScreenCapture::take(const RECT& area) {
    ScreenCapture capture;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return capture;
    std::unique_ptr<HDC__, ReleaseScreenDc> screen(GetDC(nullptr));
    std::unique_ptr<HDC__, DeleteMemoryDc> memory(CreateCompatibleDC(screen.get()));
    if (!screen || !memory) return capture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    std::unique_ptr<void, DeleteGdiObject> bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) return capture;
    HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    const bool copied = BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    if (copied) {
        const auto* first = static_cast<const std::uint32_t*>(bits);
        capture.pixels_.assign(first, first + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        capture.width_ = width;
        capture.height_ = height;
    }
    SelectObject(memory.get(), previous);
    return capture;
}

COLORREF ScreenCapture::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const std::uint32_t value = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

int ScreenCapture::countPixels(const RECT& area, const std::function<bool(COLORREF)>& test) const {
    int count = 0;
    for (int y = std::max(0, static_cast<int>(area.top)); y < std::min(height_, static_cast<int>(area.bottom)); ++y) {
        for (int x = std::max(0, static_cast<int>(area.left)); x < std::min(width_, static_cast<int>(area.right)); ++x) {
            if (test(pixel(x, y))) ++count;
        }
    }
    return count;
}

int ScreenCapture::countPixels(const std::function<bool(COLORREF)>& test) const {
    return countPixels(RECT{0, 0, width_, height_}, test);
}

bool ScreenCapture::saveBmp(const std::wstring& path) const {
    if (empty()) return false;
    std::unique_ptr<std::FILE, CloseFile> file(_wfopen(path.c_str(), L"wb"));
    if (!file) return false;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width_;
    header.biHeight = -height_;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const DWORD pixelBytes = static_cast<DWORD>(pixels_.size() * sizeof(std::uint32_t));
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + pixelBytes;
    return std::fwrite(&fileHeader, sizeof fileHeader, 1, file.get()) == 1 &&
           std::fwrite(&header, sizeof header, 1, file.get()) == 1 &&
           std::fwrite(pixels_.data(), 1, pixelBytes, file.get()) == pixelBytes;
}

// ---- FakeNewsService -------------------------------------------------------

std::string resultPage(const std::vector<std::wstring>& titles) {
    std::string page =
        "<!DOCTYPE html>\n<html>\n<head><meta charset=\"utf-8\"><title>news</title></head>\n<body>\n"
        "<div id=\"content_left\">\n";
    int number = 0;
    for (const std::wstring& title : titles) {
        ++number;
        const std::string n = std::to_string(number);
        page.append("<div class=\"result\" id=\"").append(n).append("\">\n<h3 class=\"c-title\">\n");
        page.append("<a href=\"http://news.example.com/").append(n).append(".html\"\n");
        page.append("    data-click=\"{'f0':'77A717EA','f1':'9F63F1E4'}\"\n");
        page.append("    target=\"_blank\"\n");
        page.append(">").append(toUtf8(title)).append("</a></h3>\n");
        page.append("<div class=\"c-summary\">summary ").append(n).append("</div>\n</div>\n");
    }
    page += "</div>\n</body>\n</html>\n";
    return page;
}

struct FakeNewsService::State {
    State(std::uint16_t port, bool silentService, std::string pageBody) : silent(silentService), page(std::move(pageBody)) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener == INVALID_SOCKET) return;
        BOOL reuse = TRUE;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // The port may still be on its way out from an earlier run: give it a moment.
        bool bound = false;
        for (int attempt = 0; attempt < 50 && !bound; ++attempt) {
            bound = bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            if (!bound) Sleep(100);
        }
        if (!bound || listen(listener, 16) != 0) {
            closesocket(listener);
            listener = INVALID_SOCKET;
            return;
        }
        acceptor = std::thread([this] { serve(); });
    }

    ~State() {
        stopping = true;
        if (acceptor.joinable()) acceptor.join();  // it closes the listener itself
        {
            std::lock_guard lock(mutex);
            for (SOCKET client : heldClients) closesocket(client);
            heldClients.clear();
        }
        if (started) WSACleanup();
    }

    // Accepts while not stopping; no accept is left pending when the listener
    // is closed, so the port is free again at once.
    void serve() {
        while (!stopping) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener, &readable);
            timeval wait{0, 50000};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
            SOCKET client = accept(listener, nullptr, nullptr);
            if (client != INVALID_SOCKET) handle(client);
        }
        closesocket(listener);
    }

    void handle(SOCKET client) {
        DWORD timeoutMs = 5000;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
        std::string request;
        char buffer[2048];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            const int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        record(request);
        if (silent) {
            std::lock_guard lock(mutex);
            if (!stopping) {
                heldClients.push_back(client);
                return;
            }
        } else {
            const std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                         std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page;
            send(client, response.data(), static_cast<int>(response.size()), 0);
            shutdown(client, SD_SEND);
        }
        closesocket(client);
    }

    void record(const std::string& request) {
        const std::size_t lineEnd = request.find("\r\n");
        const std::string line = request.substr(0, lineEnd);
        const std::size_t first = line.find(' ');
        const std::size_t last = line.rfind(' ');
        if (first == std::string::npos || last <= first) return;
        std::lock_guard lock(mutex);
        seen.push_back(line.substr(first + 1, last - first - 1));
    }

    bool started = false;
    bool silent;
    std::string page;
    SOCKET listener = INVALID_SOCKET;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    std::vector<std::string> seen;
    std::vector<SOCKET> heldClients;
    std::thread acceptor;
};

FakeNewsService::FakeNewsService(std::vector<std::wstring> titles, std::uint16_t port)
    : state_(std::make_unique<State>(port, false, resultPage(titles))) {}

FakeNewsService FakeNewsService::silent(std::uint16_t port) {
    FakeNewsService service;
    service.state_ = std::make_unique<State>(port, true, std::string());
    return service;
}

FakeNewsService::~FakeNewsService() = default;
FakeNewsService::FakeNewsService(FakeNewsService&&) noexcept = default;

bool FakeNewsService::listening() const { return state_ && state_->acceptor.joinable(); }

std::vector<std::string> FakeNewsService::requests() const {
    if (!state_) return {};
    std::lock_guard lock(state_->mutex);
    return state_->seen;
}

bool FakeNewsService::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return requests().size() >= count; }, timeout);
}

}  // namespace velmora::test
