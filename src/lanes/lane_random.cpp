#include "lanes/lane_random.h"

namespace velmora {

std::atomic<std::uint32_t> seedCounter{0};

std::uint32_t takeLaneSeed(std::uint32_t tickCount) {
    std::uint32_t counter = seedCounter.load(std::memory_order_relaxed);
    std::uint32_t seed = 0;
    do {
        seed = tickCount + counter;
    } while (!seedCounter.compare_exchange_weak(counter, counter + (seed & 0xFFu) + 100u, std::memory_order_relaxed));
    return seed;
}

LaneLook drawLaneLook(LaneRandom& random) {
    const auto red = static_cast<std::uint32_t>(random.draw(0, 255));
    const auto green = static_cast<std::uint32_t>(random.draw(0, 255));
    const auto blue = static_cast<std::uint32_t>(random.draw(0, 255));
    const int stepDelay = random.draw(5, 10);
    return {red + green * 256u + blue * 65536u, stepDelay};
}

}  // namespace velmora
