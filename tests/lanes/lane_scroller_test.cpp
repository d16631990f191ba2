#include "lanes/lane_scroller.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_lane_surface.h"
#include "lanes/lane_busy.h"
#include "lanes/lane_observer.h"
#include "lanes/lane_random.h"
#include "lanes/lanes.h"

namespace velmora {
namespace {

using testing::Call;
using testing::FakeLaneSurface;
using testing::Op;

std::vector<std::int32_t> delaysAsked;
std::vector<std::int32_t> unitsGiven;

std::uint32_t tickOne() { return 1; }
bool recordDelay(std::int32_t interval, std::int32_t unit) {
    delaysAsked.push_back(interval);
    unitsGiven.push_back(unit);
    return true;
}

// The clock says 1 and the counter starts at 0: seed 1, which draws red 41,
// green 35, blue 190 and a step delay of 9 (worked by hand in lane_random_test).
constexpr std::uint32_t kSeedOneColour = 41 + 35 * 256 + 190 * 65536;
constexpr int kSeedOneDelay = 9;

class LaneScrollerRun : public ::testing::Test {
protected:
    void SetUp() override {
        seedCounter.store(0);
        delaysAsked.clear();
        unitsGiven.clear();
    }
    void TearDown() override { seedCounter.store(0); }

    void run(int lane) { scrollLane(lane, surface, LaneRunner{tickOne, recordDelay}); }

    FakeLaneSurface surface{3, 2};  // three pixels of screen, labels two wide
};

TEST_F(LaneScrollerRun, EmptyQueueTouchesNoLabel) {
    ASSERT_TRUE(claimLane(4));
    run(4);
    EXPECT_EQ(surface.calls(), (std::vector<Call>{{Op::Take, -1, 0}}));
    EXPECT_TRUE(delaysAsked.empty());
    EXPECT_FALSE(laneBusy(4));
}

TEST_F(LaneScrollerRun, ShowsTheHeadlineAndMovesItPixelByPixelOffTheScreen) {
    surface.addHeadline("\xD0\xC2\xCE\xC5");  // 新闻
    surface.addHeadline("second");
    ASSERT_TRUE(claimLane(2));
    run(2);
    const std::vector<Call> expected = {
        {Op::Take, -1, 1, "\xD0\xC2\xCE\xC5"},
        {Op::SetText, 2, 0, "\xD0\xC2\xCE\xC5"},
        {Op::ScreenWidth, -1, 3},
        {Op::SetLeft, 2, 3},
        {Op::SetColour, 2, kSeedOneColour},
        {Op::ScreenWidth, -1, 3},
        {Op::LabelWidth, 2, 2},
        // 3 + 2 steps of one pixel, each from the position just read
        {Op::LabelLeft, 2, 3}, {Op::SetLeft, 2, 2},
        {Op::LabelLeft, 2, 2}, {Op::SetLeft, 2, 1},
        {Op::LabelLeft, 2, 1}, {Op::SetLeft, 2, 0},
        {Op::LabelLeft, 2, 0}, {Op::SetLeft, 2, -1},
        {Op::LabelLeft, 2, -1}, {Op::SetLeft, 2, -2},  // wholly left of the screen
        {Op::ScreenWidth, -1, 3},
        {Op::SetLeft, 2, 3},  // parked: the lane is idle again
    };
    EXPECT_EQ(surface.calls(), expected);
    EXPECT_EQ(delaysAsked, std::vector<std::int32_t>(5, kSeedOneDelay));
    EXPECT_EQ(unitsGiven, std::vector<std::int32_t>(5, 0));
    EXPECT_FALSE(laneBusy(2));
}

TEST_F(LaneScrollerRun, OneRunShowsOneHeadline) {
    surface.addHeadline("a");
    surface.addHeadline("b");
    run(0);
    EXPECT_EQ(surface.callsOf(Op::Take).size(), 1u);
    Text left;
    EXPECT_TRUE(surface.takeHeadline(left));
    EXPECT_EQ(left, Text("b"));
}

TEST_F(LaneScrollerRun, SeedMovesTheCounterSoTheNextRunDrawsAnew) {
    surface.addHeadline("a");
    surface.addHeadline("b");
    run(0);
    EXPECT_EQ(seedCounter.load(), (1u & 0xFFu) + 100u);
    run(1);
    LaneRandom second(1 + 101);
    const std::vector<Call> colours = surface.callsOf(Op::SetColour);
    ASSERT_EQ(colours.size(), 2u);
    EXPECT_EQ(colours[1].value, drawLaneLook(second).colour);
}

TEST_F(LaneScrollerRun, EmptyHeadlineIsShownAndMovedLikeAnyOther) {
    surface.addHeadline("");
    run(7);
    EXPECT_EQ(surface.callsOf(Op::SetText), (std::vector<Call>{{Op::SetText, 7, 0, ""}}));
    EXPECT_EQ(surface.callsOf(Op::LabelLeft).size(), 5u);
    EXPECT_EQ(surface.left(7), 3);
}

TEST_F(LaneScrollerRun, DistanceIsReadOnceAndParkingReadsTheWidthAfresh) {
    surface.addHeadline("wide");
    // The screen grows to 10 pixels after the seventh call, the label width read.
    surface.changeScreenWidthAfterCalls(7, 10);
    run(1);
    EXPECT_EQ(surface.callsOf(Op::LabelWidth).size(), 1u);
    EXPECT_EQ(surface.callsOf(Op::LabelLeft).size(), 5u);  // still 3 + 2 steps
    const std::vector<Call> calls = surface.calls();
    EXPECT_EQ(calls[calls.size() - 3], (Call{Op::SetLeft, 1, -2}));
    EXPECT_EQ(calls.back(), (Call{Op::SetLeft, 1, 10}));  // parked at the new width
}

TEST_F(LaneScrollerRun, EachStepStartsFromWhereTheLabelIsNow) {
    surface.addHeadline("moved");
    // Someone else moves the label 100 to the right after the first step (call 9).
    surface.nudgeLabelAfterCalls(9, 3, 100);
    run(3);
    const std::vector<Call> lefts = surface.callsOf(Op::LabelLeft);
    const std::vector<Call> sets = surface.callsOf(Op::SetLeft);
    ASSERT_EQ(lefts.size(), 5u);
    EXPECT_EQ(lefts[1].value, 102);
    for (std::size_t i = 0; i < lefts.size(); ++i) EXPECT_EQ(sets[i + 1].value, lefts[i].value - 1);
}

TEST_F(LaneScrollerRun, RealClockAndDelayFinishARun) {
    surface.addHeadline("live");
    ASSERT_TRUE(claimLane(5));
    LaneScroller(5, surface);
    EXPECT_EQ(surface.callsOf(Op::LabelLeft).size(), 5u);
    EXPECT_EQ(surface.left(5), 3);
    EXPECT_FALSE(laneBusy(5));
    const std::vector<Call> colours = surface.callsOf(Op::SetColour);
    ASSERT_EQ(colours.size(), 1u);
    EXPECT_EQ(colours[0].value & 0xFF000000, 0);
}

struct ObservedRun {
    int lane;
    LaneLook look;
    std::size_t callsBefore;  // surface calls made when the observer was told
};
std::vector<ObservedRun> observedRuns;
FakeLaneSurface* observedSurface = nullptr;

void observeRun(int lane, const LaneLook& look) {
    observedRuns.push_back({lane, look, observedSurface->calls().size()});
}

TEST_F(LaneScrollerRun, ObserverIsToldOfEachRunWithWhatItDrewBeforeTheFirstStep) {
    observedRuns.clear();
    observedSurface = &surface;
    setLaneRunObserver(observeRun);
    surface.addHeadline("watched");
    run(3);
    run(4);  // nothing waits: not a run
    setLaneRunObserver(nullptr);
    ASSERT_EQ(observedRuns.size(), 1u);
    EXPECT_EQ(observedRuns[0].lane, 3);
    EXPECT_EQ(observedRuns[0].look.colour, kSeedOneColour);
    EXPECT_EQ(observedRuns[0].look.stepDelay, kSeedOneDelay);
    EXPECT_EQ(observedRuns[0].callsBefore, 7u);  // take .. label width; no step yet
}

class LaneIndexOutOfRange : public ::testing::TestWithParam<int> {};

TEST_P(LaneIndexOutOfRange, DoesNothing) {
    FakeLaneSurface surface;
    surface.addHeadline("kept");
    LaneScroller(GetParam(), surface);
    EXPECT_TRUE(surface.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Indexes, LaneIndexOutOfRange, ::testing::Values(-1, 8, 1000));

// ending() turns true after the given number of surface calls: from then on
// the worker makes no call of any kind.
class EndingMidRun : public LaneScrollerRun, public ::testing::WithParamInterface<int> {};

TEST_P(EndingMidRun, StopsTheWorkerQuietly) {
    surface.addHeadline("going");
    surface.endAfterCalls(GetParam());
    ASSERT_TRUE(claimLane(6));
    run(6);
    EXPECT_EQ(surface.calls().size(), static_cast<std::size_t>(GetParam()));
    EXPECT_FALSE(laneBusy(6));
}

// 1: after taking; 2: after setText; 4: after setLeft; 5: after setColour;
// 7: after the width; 8, 9, 12: mid-step; 17: before parking.
INSTANTIATE_TEST_SUITE_P(CallCounts, EndingMidRun, ::testing::Values(1, 2, 4, 5, 7, 8, 9, 12, 17));

TEST_F(LaneScrollerRun, EndingBeforeTheStartTakesNothing) {
    surface.addHeadline("stays");
    surface.setEnding();
    run(0);
    EXPECT_TRUE(surface.calls().empty());
}

}  // namespace
}  // namespace velmora
