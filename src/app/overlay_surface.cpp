#include "app/overlay_surface.h"

#include "app/guarded_queue.h"
#include "app/overlay_window.h"
#include "app/trans_label.h"

namespace velmora {

void OverlaySurface::attach(HWND overlay, const std::array<HWND, 8>& laneLabels) {
    for (std::size_t i = 0; i < labels_.size(); ++i) labels_[i].store(laneLabels[i]);
    overlay_.store(overlay);
}

HWND OverlaySurface::label(int laneIndex) const {
    if (ending() || laneIndex < 0 || laneIndex >= static_cast<int>(labels_.size())) return nullptr;
    return labels_[static_cast<std::size_t>(laneIndex)].load();
}

int OverlaySurface::screenWidth() const { return OverlayWindow::screenWidth(); }

int OverlaySurface::labelLeft(int laneIndex) const {
    HWND window = label(laneIndex);
    return window == nullptr ? 0 : TransLabel(window).left();
}

int OverlaySurface::labelWidth(int laneIndex) const {
    HWND window = label(laneIndex);
    return window == nullptr ? 0 : TransLabel(window).width();
}

void OverlaySurface::setLabelLeft(int laneIndex, int x) {
    if (HWND window = label(laneIndex)) TransLabel(window).setLeft(x);
}

void OverlaySurface::setLabelText(int laneIndex, const Text& text) {
    if (HWND window = label(laneIndex)) TransLabel(window).setText(text);
}

void OverlaySurface::setLabelTextColour(int laneIndex, std::uint32_t colour) {
    if (HWND window = label(laneIndex)) TransLabel(window).setTextColour(colour);
}

void OverlaySurface::setTopmost(bool on) {
    HWND window = overlay_.load();
    if (window == nullptr || ending()) return;
    SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void OverlaySurface::showNormal() {
    HWND window = overlay_.load();
    if (window == nullptr || ending()) return;
    if (IsWindowVisible(window) && (IsIconic(window) || IsZoomed(window))) ShowWindow(window, SW_SHOWNORMAL);
}

bool OverlaySurface::takeHeadline(Text& out) {
    out = Text();
    return !ending() && queue_.takeText(out);
}

}  // namespace velmora
