#pragma once
// The lanes' view of the overlay: the screen width, the eight lane labels,
// the window's place on the screen and the headline queue. It lives until the
// process exits (workers may outlast the window) and holds only window
// handles, never the window objects. From the moment the overlay starts being
// destroyed, ending() is true and every operation does nothing (reads give 0),
// so no worker touches a label again.
#include <windows.h>

#include <array>
#include <atomic>

#include "lanes/lane_surface.h"

namespace velmora {

class GuardedHeadlineQueue;

class OverlaySurface final : public LaneSurface {
public:
    explicit OverlaySurface(GuardedHeadlineQueue& queue) : queue_(queue) {}

    // Called on the user-interface thread before any worker can start.
    void attach(HWND overlay, const std::array<HWND, 8>& laneLabels);
    void markEnding() { ending_.store(true); }

    int screenWidth() const override;
    int labelLeft(int laneIndex) const override;
    int labelWidth(int laneIndex) const override;
    void setLabelLeft(int laneIndex, int x) override;
    void setLabelText(int laneIndex, const Text& text) override;
    void setLabelTextColour(int laneIndex, std::uint32_t colour) override;
    void setTopmost(bool on) override;
    void showNormal() override;
    bool takeHeadline(Text& out) override;
    bool ending() const override { return ending_.load(); }

private:
    HWND label(int laneIndex) const;

    GuardedHeadlineQueue& queue_;
    std::atomic<HWND> overlay_{nullptr};
    std::array<std::atomic<HWND>, 8> labels_{};
    std::atomic<bool> ending_{false};
};

}  // namespace velmora
