#pragma once
// The lane workers' random numbers: a small linear congruential generator
// per worker, seeded from a millisecond clock and a counter shared by all
// workers so that workers seeding within the same millisecond still differ.
#include <atomic>
#include <cstdint>

namespace velmora {

// Mixed into every seed; moves on by (seed & 0xFF) + 100 each time one is taken.
extern std::atomic<std::uint32_t> seedCounter;

// seed = tickCount + seedCounter, with the counter moved on in the same
// atomic step, so two workers never take the same counter value.
std::uint32_t takeLaneSeed(std::uint32_t tickCount);

class LaneRandom {
public:
    explicit LaneRandom(std::uint32_t seed) : state_(seed) {}

    // x <- x * 214013 + 2531011 (mod 2^32); yields bits 16 to 30: 0..32767.
    std::uint32_t next() {
        state_ = state_ * 214013u + 2531011u;
        return (state_ >> 16) & 0x7FFFu;
    }
    // lo + (r mod (hi - lo + 1)): both ends can come out. Needs lo <= hi.
    int draw(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1)); }

private:
    std::uint32_t state_;
};

// What one run draws, in this order.
struct LaneLook {
    std::uint32_t colour;  // COLORREF 0x00BBGGRR
    int stepDelay;         // milliseconds after each one-pixel step, 5..10
};
LaneLook drawLaneLook(LaneRandom& random);

}  // namespace velmora
