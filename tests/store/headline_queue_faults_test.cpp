// The queue when the platform says no: no lock, no heap, no block, a block
// that cannot grow or cannot be resized where it stands.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "queue_test_support.h"
#include "store/headline_queue.h"

namespace velmora {
namespace {

using testing::drainTexts;
using testing::repeated;
using testing::SmallStepQueue;

TEST_F(SmallStepQueue, FailedGrowthRefusesTheItemAndKeepsTheWaitingOnes) {
    const Text a = repeated(300, 'a');
    const Text b = repeated(300, 'b');
    ASSERT_TRUE(queue.addText(a));
    ASSERT_TRUE(queue.addText(b));
    Text taken;
    ASSERT_TRUE(queue.takeText(taken));

    failNextQueueCalls(QueueFault::Growth);
    EXPECT_FALSE(queue.addText(repeated(start - 200, 'c')));  // does not fit even at the front
    const HeadlineQueue::Layout after = queue.layout();
    EXPECT_EQ(queue.count(), 1);
    EXPECT_EQ(after.capacity, start);
    EXPECT_EQ(after.blockSize, start);
    EXPECT_EQ(after.readOffset, 0);  // the move to the front stays
    EXPECT_EQ(after.writeOffset, 304);

    EXPECT_TRUE(queue.addText("d"));
    EXPECT_EQ(drainTexts(queue), (std::vector<Text>{b, "d"}));
}

TEST_F(SmallStepQueue, FailedShrinkInCompactionKeepsTheBlockAndItsItems) {
    const Text a = repeated(1100, 'a');
    ASSERT_TRUE(queue.addText(a));
    ASSERT_TRUE(queue.addText("b"));
    ASSERT_TRUE(queue.addText("c"));
    const std::int32_t before = queue.layout().capacity;

    failNextQueueCalls(QueueFault::InPlaceResize);
    Text taken;
    ASSERT_TRUE(queue.takeText(taken));  // 1104 dead bytes: compacts
    EXPECT_EQ(taken, a);
    const HeadlineQueue::Layout after = queue.layout();
    EXPECT_EQ(after.readOffset, 0);
    EXPECT_EQ(after.writeOffset, 10);
    EXPECT_EQ(after.capacity, before);
    EXPECT_EQ(after.blockSize, before);

    // The whole block is still there to be filled.
    const Text filler = repeated(before - 10 - 4, 'e');
    ASSERT_TRUE(queue.addText(filler));
    EXPECT_EQ(queue.layout().capacity, before);
    EXPECT_EQ(drainTexts(queue), (std::vector<Text>{"b", "c", filler}));
}

TEST_F(SmallStepQueue, FailedShrinkInClearEmptiesTheQueueAndKeepsTheTrueSize) {
    ASSERT_TRUE(queue.addText(repeated(start, 'a')));  // grows the block
    const std::int32_t grown = queue.layout().capacity;
    ASSERT_GT(grown, start);
    failNextQueueCalls(QueueFault::InPlaceResize);
    queue.clear();
    EXPECT_EQ(queue.count(), 0);
    EXPECT_EQ(queue.layout().capacity, grown);
    EXPECT_EQ(queue.layout().blockSize, grown);
    ASSERT_TRUE(queue.addText("next"));
    EXPECT_EQ(drainTexts(queue), std::vector<Text>{"next"});
}

// With the step raised above the block, clear asks the block to get larger
// where it stands, which the heap may or may not grant.
TEST_F(SmallStepQueue, ClearWithAStepAboveTheBlockKeepsCapacityTrue) {
    ASSERT_TRUE(queue.addText("a"));
    queue.setStep(2 * start + 4096);
    queue.clear();
    const HeadlineQueue::Layout after = queue.layout();
    EXPECT_EQ(after.capacity, after.blockSize);
    const Text filler = repeated(after.capacity - 4, 'f');  // fills exactly what capacity claims
    ASSERT_TRUE(queue.addText(filler));
    EXPECT_EQ(drainTexts(queue), std::vector<Text>{filler});
}

// The index of waiting items only speeds up the duplicate scan: when it
// cannot grow, the queue drops it and scans the block itself.
TEST(HeadlineQueueFaults, IndexThatCannotGrowLeavesRefusalExact) {
    HeadlineQueue queue;
    const std::int32_t firstRoom = queue.layout().indexCapacity;
    ASSERT_GT(firstRoom, 0);
    auto title = [](int i) { return Text("title " + std::to_string(i)); };
    const int titles = firstRoom + 10;
    failNextQueueCalls(QueueFault::Growth);  // the block has room: this growth is the index's
    for (int i = 0; i < titles; ++i) ASSERT_TRUE(queue.addText(title(i), true)) << i;
    clearQueueFaults();
    EXPECT_EQ(queue.layout().indexCapacity, 0);
    for (int i = 0; i < titles; ++i) EXPECT_FALSE(queue.addText(title(i), true)) << i;
    Text taken;
    ASSERT_TRUE(queue.takeText(taken));
    EXPECT_EQ(taken, title(0));
    EXPECT_TRUE(queue.addText(title(0), true));
    EXPECT_EQ(queue.count(), titles);
}

struct StartCase {
    const char* name;
    QueueFault fault;
};

class WithoutResources : public ::testing::TestWithParam<StartCase> {
protected:
    void TearDown() override { clearQueueFaults(); }
};

TEST_P(WithoutResources, QueueIsEmptyAndRefusesEveryAdd) {
    failNextQueueCalls(GetParam().fault);
    HeadlineQueue queue;
    EXPECT_FALSE(queue.addText("a"));
    EXPECT_FALSE(queue.addText("a", true));
    EXPECT_FALSE(queue.addBytes(ByteBuffer("b", 1)));
    EXPECT_FALSE(queue.addInteger(1));
    EXPECT_EQ(queue.count(), 0);
    Text text = "stale";
    EXPECT_FALSE(queue.takeText(text));
    EXPECT_EQ(text, Text());
    ByteBuffer bytes("b", 1);
    EXPECT_FALSE(queue.takeBytes(bytes));
    EXPECT_EQ(bytes, ByteBuffer());
    std::int32_t number = 5;
    EXPECT_FALSE(queue.takeInteger(number));
    EXPECT_EQ(number, 0);
    queue.setStep(2048);
    queue.clear();
    EXPECT_EQ(queue.layout().capacity, 0);
    EXPECT_EQ(queue.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, WithoutResources,
                         ::testing::Values(StartCase{"NoLock", QueueFault::LockCreation},
                                           StartCase{"NoHeap", QueueFault::HeapCreation},
                                           StartCase{"NoBlock", QueueFault::BlockAllocation}),
                         testing::CaseName());

}  // namespace
}  // namespace velmora
