#include <gtest/gtest.h>

#include <vector>

#include "fake_lane_surface.h"
#include "lanes/lane_busy.h"
#include "lanes/lanes.h"

namespace velmora {
namespace {

using testing::Call;
using testing::FakeLaneSurface;
using testing::Op;
using testing::waitFor;
using testing::waitForLanesFree;

// Workers of these tests wait in takeHeadline until the gate opens, so the
// busy marks show which lanes have a worker.
class LaneSchedulerTick : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(waitForLanesFree());
        surface.closeGate();
    }
    void TearDown() override {
        surface.openGate();
        EXPECT_TRUE(waitForLanesFree());  // the fake must outlive every worker
    }

    std::vector<int> busyLanes() const {
        std::vector<int> lanes;
        for (int lane = 0; lane < kLaneCount; ++lane)
            if (laneBusy(lane)) lanes.push_back(lane);
        return lanes;
    }
    void parkOnly(std::initializer_list<int> lanes) {
        for (int lane = 0; lane < kLaneCount; ++lane) surface.setLeft(lane, 17);
        for (int lane : lanes) surface.setLeft(lane, surface.screenWidth());
        surface.clearCalls();
    }

    FakeLaneSurface surface{3, 2};
};

TEST_F(LaneSchedulerTick, PutsTheOverlayOnTopAndShowsItFirst) {
    parkOnly({});
    LaneScheduler(surface);
    const std::vector<Call> calls = surface.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], (Call{Op::SetTopmost, -1, 1}));
    EXPECT_EQ(calls[1], (Call{Op::ShowNormal}));
}

TEST_F(LaneSchedulerTick, StartsOneWorkerForTheFirstParkedLaneFromTheTop) {
    parkOnly({2, 4, 6});
    LaneScheduler(surface);
    EXPECT_EQ(busyLanes(), (std::vector<int>{2}));
}

TEST_F(LaneSchedulerTick, EightTicksFillEightLanesOneEachAndANinthStartsNothing) {
    for (int tick = 1; tick <= kLaneCount; ++tick) {
        LaneScheduler(surface);
        EXPECT_EQ(busyLanes().size(), static_cast<std::size_t>(tick));
        EXPECT_TRUE(laneBusy(tick - 1));  // lanes fill from the top, one per tick
    }
    surface.clearCalls();
    LaneScheduler(surface);
    EXPECT_EQ(busyLanes().size(), 8u);
    EXPECT_TRUE(surface.callsOf(Op::LabelLeft).empty());  // busy lanes are not even looked at
}

TEST_F(LaneSchedulerTick, ALaneWhoseWorkerHasNotStartedMovingIsNotStartedTwice) {
    // Lane 1's worker waits before its first step: its label still reads parked.
    LaneScheduler(surface);
    ASSERT_EQ(busyLanes(), (std::vector<int>{0}));
    LaneScheduler(surface);
    EXPECT_EQ(busyLanes(), (std::vector<int>{0, 1}));
    surface.openGate();
    ASSERT_TRUE(waitForLanesFree());
    EXPECT_EQ(surface.callsOf(Op::Take).size(), 2u);  // two workers, not three
}

TEST_F(LaneSchedulerTick, NoLaneParkedStartsNothing) {
    parkOnly({});
    LaneScheduler(surface);
    EXPECT_TRUE(busyLanes().empty());
    EXPECT_EQ(surface.callsOf(Op::LabelLeft).size(), 8u);
    EXPECT_EQ(surface.callsOf(Op::ScreenWidth).size(), 8u);  // read afresh for every lane
}

TEST_F(LaneSchedulerTick, LaneParkedAtAnOldScreenWidthIsNoLongerIdle) {
    parkOnly({0, 1});
    surface.setScreenWidth(5);
    surface.setLeft(1, 5);  // lane 2 parked again after the change
    LaneScheduler(surface);
    EXPECT_EQ(busyLanes(), (std::vector<int>{1}));
}

TEST_F(LaneSchedulerTick, EndingSurfaceGetsNoCallAndNoWorker) {
    surface.setEnding();
    LaneScheduler(surface);
    EXPECT_TRUE(surface.calls().empty());
    EXPECT_TRUE(busyLanes().empty());
}

TEST(LaneScheduler, EmptyQueueStartsLaneOneEveryTickAndNoLabelMoves) {
    ASSERT_TRUE(waitForLanesFree());
    FakeLaneSurface surface{3, 2};
    for (int tick = 0; tick < 5; ++tick) {
        LaneScheduler(surface);
        ASSERT_TRUE(waitForLanesFree());
    }
    EXPECT_EQ(surface.callsOf(Op::Take).size(), 5u);
    EXPECT_TRUE(surface.callsOf(Op::SetLeft).empty());
    EXPECT_TRUE(surface.callsOf(Op::SetText).empty());
    // Each tick looked at lane 1 only: it was idle every time.
    for (const Call& call : surface.callsOf(Op::LabelLeft)) EXPECT_EQ(call.lane, 0);
}

TEST(LaneScheduler, HeadlinesGoToLaneOneFirstThenDownTheLanes) {
    ASSERT_TRUE(waitForLanesFree());
    FakeLaneSurface surface{300, 2};  // runs long enough to keep their lanes
    for (const char* headline : {"one", "two", "three"}) surface.addHeadline(headline);
    for (int tick = 0; tick < 3; ++tick) {
        LaneScheduler(surface);
        ASSERT_TRUE(waitFor([&] { return surface.callsOf(Op::SetText).size() == static_cast<std::size_t>(tick + 1); }));
    }
    const std::vector<Call> texts = surface.callsOf(Op::SetText);
    EXPECT_EQ(texts, (std::vector<Call>{{Op::SetText, 0, 0, "one"}, {Op::SetText, 1, 0, "two"}, {Op::SetText, 2, 0, "three"}}));
    surface.setEnding();
    EXPECT_TRUE(waitForLanesFree());
}

}  // namespace
}  // namespace velmora
