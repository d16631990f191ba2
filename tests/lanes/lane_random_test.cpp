#include "lanes/lane_random.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <set>
#include <thread>
#include <vector>

namespace velmora {
namespace {

// Worked by hand from x <- x * 214013 + 2531011 (mod 2^32), output (x >> 16) & 0x7FFF.
struct SeedCase {
    std::uint32_t seed;
    std::array<std::uint32_t, 4> outputs;
    std::uint32_t colour;  // outputs 1..3 mod 256 as red, green, blue
    int stepDelay;         // 5 + output 4 mod 6
};

class LaneRandomTable : public ::testing::TestWithParam<SeedCase> {};

TEST_P(LaneRandomTable, GivesTheOutputsWorkedByHand) {
    LaneRandom random(GetParam().seed);
    for (std::uint32_t expected : GetParam().outputs) EXPECT_EQ(random.next(), expected);
}

TEST_P(LaneRandomTable, DrawsRedGreenBlueThenTheStepDelay) {
    LaneRandom random(GetParam().seed);
    const LaneLook look = drawLaneLook(random);
    EXPECT_EQ(look.colour, GetParam().colour);
    EXPECT_EQ(look.stepDelay, GetParam().stepDelay);
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, LaneRandomTable,
    ::testing::Values(
        // 0 * 214013 + 2531011 = 2531011; 2531011 >> 16 = 38.
        SeedCase{0, {38, 7719, 21238, 2437}, 0xF62726, 6},
        // 1 * 214013 + 2531011 = 2745024; >> 16 = 41.
        SeedCase{1, {41, 18467, 6334, 26500}, 0xBE2329, 9},
        // Bit 31 of the state never reaches the output: these two pairs agree.
        SeedCase{0x7FFFFFFF, {35, 29739, 3374, 11141}, 0x2E2B23, 10},
        SeedCase{0xFFFFFFFF, {35, 29739, 3374, 11141}, 0x2E2B23, 10},
        SeedCase{0x80000000, {38, 7719, 21238, 2437}, 0xF62726, 6},
        SeedCase{123456789, {13259, 26974, 13551, 30354}, 0xEF5ECB, 5},
        SeedCase{0x12345678, {13289, 23359, 19469, 24737}, 0x0D3FE9, 10}));

TEST(LaneRandom, DrawsStayInRangeAndReachBothEnds) {
    std::set<int> delays;
    std::set<std::uint32_t> reds;
    LaneRandom seeds(2024);
    for (int run = 0; run < 20000; ++run) {
        LaneRandom random(seeds.next() * 65536u + seeds.next());
        const LaneLook look = drawLaneLook(random);
        ASSERT_EQ(look.colour & 0xFF000000u, 0u);
        ASSERT_GE(look.stepDelay, 5);
        ASSERT_LE(look.stepDelay, 10);
        delays.insert(look.stepDelay);
        reds.insert(look.colour & 0xFFu);
    }
    EXPECT_EQ(delays, (std::set<int>{5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(reds.size(), 256u);
}

class LaneSeed : public ::testing::Test {
protected:
    void TearDown() override { seedCounter.store(0); }
};

TEST_F(LaneSeed, AddsTheCounterAndMovesItByTheLowByteAndAHundred) {
    seedCounter.store(1000);
    EXPECT_EQ(takeLaneSeed(0x12345), 0x12345u + 1000u);
    EXPECT_EQ(seedCounter.load(), 1000u + ((0x12345u + 1000u) & 0xFFu) + 100u);
}

TEST_F(LaneSeed, WrapsIn32Bits) {
    seedCounter.store(0xFFFFFFF0u);
    EXPECT_EQ(takeLaneSeed(0x20), 0x10u);
    EXPECT_EQ(seedCounter.load(), 0xFFFFFFF0u + 0x10u + 100u);  // wraps to 0x74
}

TEST_F(LaneSeed, SeedsTakenInTheSameMillisecondDiffer) {
    const std::uint32_t first = takeLaneSeed(5000);
    const std::uint32_t second = takeLaneSeed(5000);
    EXPECT_NE(first, second);
}

TEST_F(LaneSeed, WorkersSeedingAtOnceNeverShareACounterValue) {
    constexpr int kThreads = 8;
    constexpr int kSeedsEach = 2000;
    std::vector<std::vector<std::uint32_t>> seeds(kThreads);
    std::vector<std::thread> threads;
    for (auto& mine : seeds)
        threads.emplace_back([&mine] {
            for (int i = 0; i < kSeedsEach; ++i) mine.push_back(takeLaneSeed(777));
        });
    for (auto& thread : threads) thread.join();
    std::set<std::uint32_t> all;
    for (const auto& mine : seeds) all.insert(mine.begin(), mine.end());
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kSeedsEach));
}

}  // namespace
}  // namespace velmora
