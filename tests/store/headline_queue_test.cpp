#include "store/headline_queue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "queue_test_support.h"

namespace velmora {
namespace {

using testing::drainTexts;
using testing::repeated;
using testing::SmallStepQueue;

// ---- first in, first out, across growth and compaction ----------------------

struct OrderCase {
    const char* name;
    std::int32_t step;
    std::int32_t longest;  // item i is "<i>:" and then i * 37 % longest bytes
    int takeEvery;         // one take after every so many adds; 0: all takes at the end
    int growths;           // adds go on until the block has grown this often; 0: 200 adds, no growth
};

class Order : public ::testing::TestWithParam<OrderCase> {};

TEST_P(Order, ItemsComeOutInTheOrderTheyWentIn) {
    const OrderCase& c = GetParam();
    HeadlineQueue queue;
    queue.setStep(c.step);
    auto item = [&c](int i) { return Text(std::to_string(i) + ":") + repeated(i * 37 % c.longest, 'a' + i % 26); };

    int growths = 0;
    bool compacted = false;
    int added = 0;
    int taken = 0;
    auto takeAndCheck = [&] {
        Text out;
        ASSERT_TRUE(queue.takeText(out));
        EXPECT_EQ(out, item(taken)) << "take " << taken;
        ++taken;
        compacted = compacted || (queue.count() > 0 && queue.layout().readOffset == 0);
    };
    const int fixedAdds = c.growths == 0 ? 200 : 100000;
    while (added < fixedAdds && (c.growths == 0 || growths < c.growths)) {
        const std::int32_t before = queue.layout().capacity;
        ASSERT_TRUE(queue.addText(item(added)));
        ++added;
        if (queue.layout().capacity > before) ++growths;
        if (c.takeEvery > 0 && added % c.takeEvery == 0) takeAndCheck();
    }
    while (queue.count() > 0) takeAndCheck();
    EXPECT_EQ(taken, added);
    EXPECT_EQ(growths, c.growths);
    EXPECT_EQ(compacted, c.growths > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Order,
    ::testing::Values(OrderCase{"NeitherGrowsNorCompacts", HeadlineQueue::kDefaultStep, 40, 0, 0},
                      OrderCase{"GrowsThenCompactsWhileDraining", 1024, 3000, 0, 3},
                      OrderCase{"GrowsAndCompactsBetweenAddsAndTakes", 1024, 600, 2, 3},
                      OrderCase{"ItemsLargerThanAStep", 1024, 5000, 3, 2}),
    testing::CaseName());

TEST(HeadlineQueue, TakeFromAnEmptyQueueFailsAndEmptiesTheOutputEveryTime) {
    HeadlineQueue queue;
    Text text = "stale";
    ByteBuffer bytes("ab", 2);
    std::int32_t number = 99;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(queue.takeText(text));
        EXPECT_EQ(text, Text());
        EXPECT_FALSE(queue.takeBytes(bytes));
        EXPECT_EQ(bytes, ByteBuffer());
        EXPECT_FALSE(queue.takeInteger(number));
        EXPECT_EQ(number, 0);
    }
    EXPECT_EQ(queue.count(), 0);
}

// ---- refusal of duplicates -------------------------------------------------

struct Step {
    char op;  // 'a': addText, 't': takeText
    const char* text;
    bool refuse;  // for adds
    bool result;
};

struct DuplicateCase {
    const char* name;
    std::vector<Step> steps;
    std::int32_t finalCount;
};

class Duplicates : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(Duplicates, OnlyAnEqualWaitingTextIsRefused) {
    const DuplicateCase& c = GetParam();
    HeadlineQueue queue;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        if (step.op == 'a') {
            const std::int32_t before = queue.count();
            EXPECT_EQ(queue.addText(Text(step.text), step.refuse), step.result) << "step " << i;
            EXPECT_EQ(queue.count(), before + (step.result ? 1 : 0)) << "step " << i;
        } else {
            Text taken = "stale";
            EXPECT_EQ(queue.takeText(taken), step.result) << "step " << i;
            EXPECT_EQ(taken, Text(step.text)) << "step " << i;
        }
    }
    EXPECT_EQ(queue.count(), c.finalCount);
}

constexpr bool R = true;   // refuse duplicates
constexpr bool D = false;  // the default: append again

INSTANTIATE_TEST_SUITE_P(
    Cases, Duplicates,
    ::testing::Values(
        DuplicateCase{"EqualWaitingTextRefused", {{'a', "Headline", R, true}, {'a', "Headline", R, false}}, 1},
        DuplicateCase{"LetterCaseCounts",
                      {{'a', "abc", R, true}, {'a', "ABC", R, true}, {'a', "Abc", R, true}, {'a', "abc", R, false}},
                      3},
        DuplicateCase{"DefaultAppendsAgain", {{'a', "A", D, true}, {'a', "A", D, true}, {'a', "A", R, false}}, 2},
        DuplicateCase{"AcceptedAgainOnceTaken", {{'a', "A", R, true}, {'t', "A", D, true}, {'a', "A", R, true}}, 1},
        DuplicateCase{"TakenItemsAreNotLookedAt",
                      {{'a', "A", R, true},
                       {'a', "B", R, true},
                       {'t', "A", D, true},
                       {'a', "A", R, true},
                       {'a', "B", R, false}},
                      2},
        DuplicateCase{"LaterEqualCopyStillWaits",
                      {{'a', "A", D, true}, {'a', "A", D, true}, {'t', "A", D, true}, {'a', "A", R, false}},
                      1},
        DuplicateCase{"EmptyTextIsAnItemOfLengthZero",
                      {{'a', "", R, true},
                       {'a', "", R, false},
                       {'a', "x", R, true},
                       {'t', "", D, true},
                       {'a', "", R, true},
                       {'t', "x", D, true},
                       {'t', "", D, true},
                       {'t', "", D, false}},
                      0},
        DuplicateCase{"SameLengthOtherBytes", {{'a', "ab", R, true}, {'a', "ac", R, true}, {'a', "ba", R, true}}, 3},
        DuplicateCase{"SameEndsOtherMiddle",
                      {{'a', "abcdXefgh", R, true}, {'a', "abcdYefgh", R, true}, {'a', "abcdXefgh", R, false}},
                      2},
        // The second text is the first one's start, and both have the same index key.
        DuplicateCase{"LongerTextWithTheSameKey",
                      {{'a', "abcdaaax\xCD\x07\x05p", R, true},
                       {'a', "abcdaaax", R, true},
                       {'a', "abcdaaax\xCD\x07\x05p", R, false}},
                      2},
        DuplicateCase{"PrefixesDiffer", {{'a', "abc", R, true}, {'a', "ab", R, true}, {'a', "abcd", R, true}}, 3},
        DuplicateCase{"DoubleByteTextsCompareByteForByte",
                      {{'a', "\xD6\xD0\xB9\xFA", R, true},
                       {'a', "\xD6\xD0\xB9\xFB", R, true},
                       {'a', "\xD6\xD0\xB9\xFA", R, false}},
                      2}),
    testing::CaseName());

TEST(HeadlineQueue, ByteBuffersKeepTheirNulBytesAndAreRefusedExactly) {
    HeadlineQueue queue;
    const ByteBuffer first(std::vector<std::uint8_t>{0, 1, 0});
    const ByteBuffer second(std::vector<std::uint8_t>{0, 1, 1});
    EXPECT_TRUE(queue.addBytes(first, true));
    EXPECT_FALSE(queue.addBytes(first, true));
    EXPECT_TRUE(queue.addBytes(second, true));
    EXPECT_TRUE(queue.addBytes(ByteBuffer(), true));
    EXPECT_FALSE(queue.addBytes(ByteBuffer(), true));
    ByteBuffer taken;
    for (const ByteBuffer& expected : {first, second, ByteBuffer()}) {
        ASSERT_TRUE(queue.takeBytes(taken));
        EXPECT_EQ(taken, expected);
    }
    EXPECT_FALSE(queue.takeBytes(taken));
}

// A text never holds a NUL: taken as a text, a byte item ends at its first NUL.
TEST(HeadlineQueue, ByteItemTakenAsTextEndsAtItsFirstNul) {
    HeadlineQueue queue;
    ASSERT_TRUE(queue.addBytes(ByteBuffer("ab\0cd", 5)));
    ASSERT_TRUE(queue.addBytes(ByteBuffer("\0x", 2)));
    Text taken = "a much longer text than any item";
    ASSERT_TRUE(queue.takeText(taken));
    EXPECT_EQ(taken, Text("ab"));
    ASSERT_TRUE(queue.takeText(taken));
    EXPECT_EQ(taken, Text());
}

TEST(HeadlineQueue, IntegersAreFourByteLittleEndianItems) {
    HeadlineQueue queue;
    EXPECT_TRUE(queue.addInteger(7, true));
    EXPECT_FALSE(queue.addInteger(7, true));
    EXPECT_TRUE(queue.addInteger(-1, true));
    EXPECT_TRUE(queue.addInteger(0x01020304));
    EXPECT_EQ(queue.layout().writeOffset, 24);
    std::int32_t value = 0;
    ASSERT_TRUE(queue.takeInteger(value));
    EXPECT_EQ(value, 7);
    ASSERT_TRUE(queue.takeInteger(value));
    EXPECT_EQ(value, -1);
    ByteBuffer raw;
    ASSERT_TRUE(queue.takeBytes(raw));
    EXPECT_EQ(raw, ByteBuffer(std::vector<std::uint8_t>{0x04, 0x03, 0x02, 0x01}));
}

// The integer operations meet texts: they stay inside each item, whatever its length.
TEST(HeadlineQueue, IntegerScanLooksOnlyAtFourByteItems) {
    HeadlineQueue queue;
    ASSERT_TRUE(queue.addText("hello world"));
    EXPECT_TRUE(queue.addInteger(0x6C6C6568, true));  // the bytes "hell" inside the text
    EXPECT_TRUE(queue.addText("abcd"));
    EXPECT_FALSE(queue.addInteger(0x64636261, true));  // a waiting 4-byte item "abcd"
    EXPECT_EQ(queue.count(), 3);
}

TEST(HeadlineQueue, TakeIntegerReadsNoFurtherThanTheItem) {
    HeadlineQueue queue;
    ASSERT_TRUE(queue.addText("abcdefgh"));
    ASSERT_TRUE(queue.addText("ab"));
    ASSERT_TRUE(queue.addText(""));
    ASSERT_TRUE(queue.addInteger(5));
    std::int32_t value = 99;
    for (const std::int32_t expected : {0x64636261, 0x6261, 0, 5}) {
        ASSERT_TRUE(queue.takeInteger(value));
        EXPECT_EQ(value, expected);
    }
    EXPECT_EQ(queue.count(), 0);
}

// After a compaction the free bytes behind the last item still hold old data.
TEST_F(SmallStepQueue, ShortTextBeforeStaleBytesIsReadAsItsOwnBytesOnly) {
    ASSERT_TRUE(queue.addText(repeated(1100, 'x')));
    ASSERT_TRUE(queue.addText("ab"));
    Text taken;
    ASSERT_TRUE(queue.takeText(taken));
    ASSERT_EQ(queue.layout().readOffset, 0);  // compacted: "ab" is at the front, 'x' bytes behind it
    EXPECT_TRUE(queue.addInteger(0x78786261, true));
    std::int32_t value = 0;
    ASSERT_TRUE(queue.takeInteger(value));
    EXPECT_EQ(value, 0x6261);
    ASSERT_TRUE(queue.takeInteger(value));
    EXPECT_EQ(value, 0x78786261);
}

// ---- growth --------------------------------------------------------------

struct GrowthCase {
    const char* name;
    bool takeFirst;           // take A before C arrives, leaving dead bytes at the front
    std::int32_t shortOfStart;  // C is this many bytes shorter than the block
    bool grows;
};

class Growth : public SmallStepQueue, public ::testing::WithParamInterface<GrowthCase> {};

// A and B are 300-byte texts, 304 bytes each in the block.
TEST_P(Growth, GrowsByStepPlusItemOnlyWhenMovingToTheFrontIsNotEnough) {
    const GrowthCase& c = GetParam();
    const Text a = repeated(300, 'a');
    const Text b = repeated(300, 'b');
    const Text itemC = repeated(start - c.shortOfStart, 'c');
    ASSERT_TRUE(queue.addText(a));
    ASSERT_TRUE(queue.addText(b));
    Text taken;
    if (c.takeFirst) {
        ASSERT_TRUE(queue.takeText(taken));
    }
    if (!c.grows) failNextQueueCalls(QueueFault::Growth);  // proves that no reallocation is asked for
    ASSERT_TRUE(queue.addText(itemC));
    clearQueueFaults();
    const HeadlineQueue::Layout after = queue.layout();
    const std::int32_t waitingBefore = c.takeFirst ? 304 : 608;
    EXPECT_EQ(after.capacity, c.grows ? start + 1024 + itemC.length() + 4 : start);
    EXPECT_EQ(after.blockSize, after.capacity);
    EXPECT_EQ(after.writeOffset, waitingBefore + itemC.length() + 4);
    EXPECT_EQ(after.readOffset, 0);
    std::vector<Text> expected{b, itemC};
    if (!c.takeFirst) expected.insert(expected.begin(), a);
    EXPECT_EQ(drainTexts(queue), expected);
}

// Before C: 608 bytes written, 304 of them waiting when A was taken.
INSTANTIATE_TEST_SUITE_P(Cases, Growth,
                         ::testing::Values(GrowthCase{"MovingSuffices", true, 400, false},
                                           GrowthCase{"MovingIsNotEnough", true, 200, true},
                                           GrowthCase{"NothingToMove", false, 400, true},
                                           GrowthCase{"FitsExactly", false, 612, false},
                                           GrowthCase{"OneByteOver", false, 611, true}),
                         testing::CaseName());

struct OverflowCase {
    const char* name;
    std::int32_t step;
};

class GrowthOverflow : public ::testing::TestWithParam<OverflowCase> {};

// A block past the 32-bit range is never asked for: the add is refused and nothing moves.
TEST_P(GrowthOverflow, RefusesTheItemAndKeepsTheQueue) {
    HeadlineQueue queue;
    ASSERT_TRUE(queue.addText("kept"));
    queue.setStep(GetParam().step);
    const HeadlineQueue::Layout before = queue.layout();
    EXPECT_FALSE(queue.addText(repeated(HeadlineQueue::kDefaultStep, 'z')));
    const HeadlineQueue::Layout after = queue.layout();
    EXPECT_EQ(after.capacity, before.capacity);
    EXPECT_EQ(after.blockSize, before.capacity);
    EXPECT_EQ(after.writeOffset, before.writeOffset);
    EXPECT_EQ(queue.count(), 1);
    EXPECT_EQ(drainTexts(queue), std::vector<Text>{"kept"});
}

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// The block is 1 048 576 bytes and the item needs 1 048 580.
INSTANTIATE_TEST_SUITE_P(Cases, GrowthOverflow,
                         ::testing::Values(OverflowCase{"LargestStep", kMax},
                                           OverflowCase{"WrapsToASmallSize", kMax - HeadlineQueue::kDefaultStep},
                                           OverflowCase{"OneByteTooMany", kMax - 2 * HeadlineQueue::kDefaultStep - 3}),
                         testing::CaseName());

// ---- compaction ----------------------------------------------------------

// With the first step of 1 MiB: A fills the first block exactly.
TEST(HeadlineQueue, CompactsOnlyWhenMoreThanAStepIsDead) {
    constexpr std::int32_t step = HeadlineQueue::kDefaultStep;
    HeadlineQueue queue;
    const Text a = repeated(step - 4, 'a');
    const Text b = repeated(10, 'b');
    const Text c = repeated(20, 'c');
    for (const Text& item : {a, b, c}) ASSERT_TRUE(queue.addText(item));
    ASSERT_EQ(queue.layout().capacity, step + step + 14);

    Text taken;
    ASSERT_TRUE(queue.takeText(taken));
    EXPECT_EQ(queue.layout().readOffset, step);  // exactly one step dead: left alone
    EXPECT_EQ(queue.layout().capacity, step + step + 14);

    ASSERT_TRUE(queue.takeText(taken));
    EXPECT_EQ(taken, b);
    const HeadlineQueue::Layout compacted = queue.layout();
    EXPECT_EQ(compacted.readOffset, 0);
    EXPECT_EQ(compacted.writeOffset, 24);
    EXPECT_EQ(compacted.capacity, 24 + step);
    EXPECT_EQ(compacted.blockSize, 24 + step);
    EXPECT_EQ(drainTexts(queue), std::vector<Text>{c});
}

// ---- clear and setStep ----------------------------------------------------

TEST(HeadlineQueue, ClearOnAnEmptyQueueChangesNothing) {
    HeadlineQueue queue;
    ASSERT_TRUE(queue.addText("a"));
    Text taken;
    ASSERT_TRUE(queue.takeText(taken));
    queue.setStep(4096);
    const HeadlineQueue::Layout before = queue.layout();
    queue.clear();
    const HeadlineQueue::Layout after = queue.layout();
    EXPECT_EQ(after.capacity, HeadlineQueue::kDefaultStep);
    EXPECT_EQ(after.readOffset, before.readOffset);
    EXPECT_EQ(after.writeOffset, before.writeOffset);
}

TEST(HeadlineQueue, ClearDropsEveryItemAndShrinksTheBlockToAStep) {
    HeadlineQueue queue;
    ASSERT_TRUE(queue.addText(repeated(HeadlineQueue::kDefaultStep, 'a')));  // grows the block
    for (const char* title : {"one", "two", "three"}) ASSERT_TRUE(queue.addText(title, true));
    Text taken;
    ASSERT_TRUE(queue.takeText(taken));
    queue.clear();
    const HeadlineQueue::Layout after = queue.layout();
    EXPECT_EQ(queue.count(), 0);
    EXPECT_EQ(after.capacity, HeadlineQueue::kDefaultStep);
    EXPECT_EQ(after.blockSize, HeadlineQueue::kDefaultStep);
    EXPECT_EQ(after.readOffset, 0);
    EXPECT_EQ(after.writeOffset, 0);
    EXPECT_FALSE(queue.takeText(taken));
    EXPECT_TRUE(queue.addText("two", true));  // what was cleared is no longer waiting
    EXPECT_EQ(drainTexts(queue), std::vector<Text>{"two"});
}

struct StepCase {
    std::optional<std::int32_t> requested;
    std::int32_t step;
};

class SetStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(SetStep, ClampsToTheSmallestStepAndLeavesTheBlockAlone) {
    HeadlineQueue queue;
    queue.setStep(4096);
    queue.setStep(GetParam().requested);
    EXPECT_EQ(queue.layout().step, GetParam().step);
    EXPECT_EQ(queue.layout().capacity, HeadlineQueue::kDefaultStep);
}

INSTANTIATE_TEST_SUITE_P(Cases, SetStep,
                         ::testing::Values(StepCase{100, 1024}, StepCase{std::nullopt, 1048576}, StepCase{4096, 4096},
                                           StepCase{1023, 1024}, StepCase{1024, 1024}, StepCase{0, 1024},
                                           StepCase{-5, 1024}, StepCase{kMax, kMax}));

}  // namespace
}  // namespace velmora
