#pragma once
// What the lanes need of the overlay: the screen width, the eight lane
// labels and the window's place on the screen. The overlay provides it.
// Every operation may be called from any thread and has taken effect when it
// returns. Lanes are given by laneIndex 0 to 7 (lane 1 is index 0).
#include <cstdint>

#include "common/text.h"

namespace velmora {

class LaneSurface {
public:
    virtual ~LaneSurface() = default;

    virtual int screenWidth() const = 0;
    virtual int labelLeft(int laneIndex) const = 0;
    virtual int labelWidth(int laneIndex) const = 0;
    virtual void setLabelLeft(int laneIndex, int x) = 0;
    virtual void setLabelText(int laneIndex, const Text& text) = 0;
    virtual void setLabelTextColour(int laneIndex, std::uint32_t colour) = 0;  // COLORREF 0x00BBGGRR
    virtual void setTopmost(bool on) = 0;
    virtual void showNormal() = 0;

    // The oldest waiting headline, into `out`; false (and `out` empty) when none waits.
    virtual bool takeHeadline(Text& out) = 0;
    // True once the overlay is going away: from then on a worker touches
    // neither a label nor the queue again, and ends quietly.
    virtual bool ending() const = 0;
};

}  // namespace velmora
