#pragma once
// A LaneSurface that records every call, with a screen a few pixels wide so
// that a whole run takes milliseconds.
#include <windows.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <ostream>
#include <utility>
#include <vector>

#include "lanes/lane_busy.h"
#include "lanes/lane_surface.h"

namespace velmora::testing {

enum class Op { ScreenWidth, LabelLeft, LabelWidth, SetLeft, SetText, SetColour, SetTopmost, ShowNormal, Take };

struct Call {
    Call(Op op_, int lane_ = -1, std::int64_t value_ = 0, Text text_ = {})
        : op(op_), lane(lane_), value(value_), text(std::move(text_)) {}

    Op op;
    int lane;            // -1 for calls that name no lane
    std::int64_t value;  // the value given or returned
    Text text;           // setText's text, the headline taken

    friend bool operator==(const Call&, const Call&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Call& call) {
    static const char* const names[] = {"screenWidth", "labelLeft", "labelWidth", "setLeft", "setText",
                                        "setColour",   "setTopmost", "showNormal", "take"};
    return out << names[static_cast<int>(call.op)] << "(lane " << call.lane << ", " << call.value << ", \"" << call.text
               << "\")";
}

class FakeLaneSurface : public LaneSurface {
public:
    explicit FakeLaneSurface(int screenWidth = 3, int labelWidth = 2) : screenWidth_(screenWidth) {
        lefts_.fill(screenWidth);
        widths_.fill(labelWidth);
    }

    int screenWidth() const override {
        const std::lock_guard lock(mutex_);
        beginCall();
        return endCall({Op::ScreenWidth, -1, screenWidth_}), screenWidth_;
    }
    int labelLeft(int lane) const override {
        const std::lock_guard lock(mutex_);
        beginCall();
        const int x = lefts_.at(static_cast<unsigned>(lane));
        return endCall({Op::LabelLeft, lane, x}), x;
    }
    int labelWidth(int lane) const override {
        const std::lock_guard lock(mutex_);
        beginCall();
        const int width = widths_.at(static_cast<unsigned>(lane));
        return endCall({Op::LabelWidth, lane, width}), width;
    }
    void setLabelLeft(int lane, int x) override {
        const std::lock_guard lock(mutex_);
        beginCall();
        lefts_.at(static_cast<unsigned>(lane)) = x;
        endCall({Op::SetLeft, lane, x});
    }
    void setLabelText(int lane, const Text& text) override { record({Op::SetText, lane, 0, text}); }
    void setLabelTextColour(int lane, std::uint32_t colour) override { record({Op::SetColour, lane, colour}); }
    void setTopmost(bool on) override { record({Op::SetTopmost, -1, on ? 1 : 0}); }
    void showNormal() override { record({Op::ShowNormal}); }

    bool takeHeadline(Text& out) override {
        waitAtGate();
        const std::lock_guard lock(mutex_);
        beginCall();
        out = Text();
        const bool taken = !queue_.empty();
        if (taken) {
            out = queue_.front();
            queue_.pop_front();
        }
        endCall({Op::Take, -1, taken ? 1 : 0, out});
        return taken;
    }
    bool ending() const override { return ending_.load(); }

    // --- steering the fake ---
    void addHeadline(const Text& text) {
        const std::lock_guard lock(mutex_);
        queue_.push_back(text);
    }
    void setScreenWidth(int width) {
        const std::lock_guard lock(mutex_);
        screenWidth_ = width;
    }
    void setLeft(int lane, int x) {
        const std::lock_guard lock(mutex_);
        lefts_.at(static_cast<unsigned>(lane)) = x;
    }
    int left(int lane) const {
        const std::lock_guard lock(mutex_);
        return lefts_.at(static_cast<unsigned>(lane));
    }
    void setEnding() { ending_ = true; }
    // ending() turns true right after the call numbered `count` (from 1).
    void endAfterCalls(int count) { endAfter_ = count; }
    // The screen width reported from the call after the one numbered `count` on.
    void changeScreenWidthAfterCalls(int count, int width) {
        widthChangeAfter_ = count;
        newWidth_ = width;
    }
    // Before the call after the one numbered `count`, lane's label is moved by dx
    // (as by someone else).
    void nudgeLabelAfterCalls(int count, int lane, int dx) {
        nudgeAfter_ = count;
        nudgeLane_ = lane;
        nudgeBy_ = dx;
    }
    // takeHeadline waits until the gate is opened.
    void closeGate() {
        const std::lock_guard lock(gateMutex_);
        gateOpen_ = false;
    }
    void openGate() {
        {
            const std::lock_guard lock(gateMutex_);
            gateOpen_ = true;
        }
        gateChanged_.notify_all();
    }

    std::vector<Call> calls() const {
        const std::lock_guard lock(mutex_);
        return log_;
    }
    std::vector<Call> callsOf(Op op) const {
        std::vector<Call> found;
        for (const Call& call : calls())
            if (call.op == op) found.push_back(call);
        return found;
    }
    void clearCalls() {
        const std::lock_guard lock(mutex_);
        log_.clear();
        callCount_ = 0;
    }

private:
    void record(Call call) const {
        const std::lock_guard lock(mutex_);
        beginCall();
        endCall(std::move(call));
    }
    // Both under the lock, around every call.
    void beginCall() const {
        ++callCount_;
        if (widthChangeAfter_ > 0 && callCount_ > widthChangeAfter_) screenWidth_ = newWidth_;
        if (nudgeAfter_ > 0 && callCount_ == nudgeAfter_ + 1) lefts_.at(static_cast<unsigned>(nudgeLane_)) += nudgeBy_;
    }
    void endCall(Call call) const {
        log_.push_back(std::move(call));
        if (endAfter_ > 0 && callCount_ >= endAfter_) ending_ = true;
    }
    void waitAtGate() {
        std::unique_lock lock(gateMutex_);
        gateChanged_.wait(lock, [this] { return gateOpen_; });
    }

    mutable std::mutex mutex_;
    mutable int screenWidth_;
    mutable std::array<int, kLaneCount> lefts_{};
    std::array<int, kLaneCount> widths_{};
    std::deque<Text> queue_;
    mutable std::vector<Call> log_;
    mutable int callCount_ = 0;
    mutable std::atomic<bool> ending_{false};
    int endAfter_ = 0;
    int widthChangeAfter_ = 0;
    int newWidth_ = 0;
    int nudgeAfter_ = 0;
    int nudgeLane_ = 0;
    int nudgeBy_ = 0;

    std::mutex gateMutex_;
    std::condition_variable gateChanged_;
    bool gateOpen_ = true;
};

// Waits (a few seconds at most) until no lane carries a busy mark.
inline bool waitForLanesFree(DWORD timeoutMs = 5000) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    for (;;) {
        bool anyBusy = false;
        for (int lane = 0; lane < kLaneCount; ++lane) anyBusy = anyBusy || laneBusy(lane);
        if (!anyBusy) return true;
        if (GetTickCount64() > until) return false;
        Sleep(1);
    }
}

// Waits until `done()` holds, a few seconds at most.
template <typename Condition>
bool waitFor(Condition done, DWORD timeoutMs = 5000) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > until) return false;
        Sleep(1);
    }
    return true;
}

}  // namespace velmora::testing
