// A long run of mixed adds and takes checked against a plain model of the
// waiting items, with and without the index of waiting items, so that the
// index's moves and growth, the block's growth and compaction all meet the
// duplicate scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <tuple>

#include "queue_test_support.h"
#include "store/headline_queue.h"

namespace velmora {
namespace {

// A small generator of its own, so that every platform sees the same run.
class Dice {
public:
    explicit Dice(std::uint32_t seed) : state_(seed) {}
    std::uint32_t below(std::uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) % bound;
    }

private:
    std::uint32_t state_;
};

// Titles 0, 1, 2 ... of 0 to 40 bytes, many of one length, many alike at the
// start, and a family of one length alike at both ends.
std::string modelTitle(std::uint32_t number) {
    if (number % 97 == 0) return std::string();
    if (number % 5 == 0) {
        char alike[24];
        std::snprintf(alike, sizeof alike, "same%012utail", static_cast<unsigned>(number));
        return alike;
    }
    std::string title = std::to_string(number % 7);
    title.insert(title.begin(), 't');
    title.resize(1 + (number * 13) % 40, static_cast<char>('a' + number % 3));
    return title + std::to_string(number);
}

class AgainstModel : public ::testing::TestWithParam<std::tuple<std::int32_t, bool>> {
protected:
    void TearDown() override { clearQueueFaults(); }
};

TEST_P(AgainstModel, EveryAddAndTakeGivesWhatTheModelSays) {
    const auto [step, withIndex] = GetParam();
    // The block is the heap's first allocation and the index its second.
    if (!withIndex) failNextQueueCalls(QueueFault::BlockAllocation, 1, 1);
    HeadlineQueue queue;
    clearQueueFaults();
    ASSERT_EQ(queue.layout().indexCapacity > 0, withIndex);
    queue.setStep(step);

    std::deque<std::string> waiting;
    std::uint32_t nextTitle = 1;
    Dice dice(20240611);
    Text out;
    for (int op = 0; op < 12000; ++op) {
        const std::uint32_t roll = dice.below(100);
        // Takes run a little behind adds, so that the queue fills and drains by turns.
        const bool draining = (op / 3000) % 2 == 1;
        if (roll < (draining ? 55u : 30u)) {
            const bool taken = queue.takeText(out);
            ASSERT_EQ(taken, !waiting.empty()) << "op " << op;
            if (taken) {
                ASSERT_EQ(out.str(), waiting.front()) << "op " << op;
                waiting.pop_front();
            }
            continue;
        }
        std::string title;
        bool refuse = true;
        if (roll < 70 || waiting.empty()) {
            title = modelTitle(nextTitle++);
        } else if (roll < 85) {
            title = waiting[dice.below(static_cast<std::uint32_t>(waiting.size()))];  // still waiting
        } else if (roll < 95) {
            title = modelTitle(1 + dice.below(nextTitle - 1));  // waiting, taken or both
        } else {
            title = waiting[dice.below(static_cast<std::uint32_t>(waiting.size()))];
            refuse = false;  // an equal copy goes in
        }
        const bool expected = !refuse || std::find(waiting.begin(), waiting.end(), title) == waiting.end();
        ASSERT_EQ(queue.addText(Text(title), refuse), expected) << "op " << op << " title '" << title << "'";
        if (expected) waiting.push_back(title);
        ASSERT_EQ(queue.count(), static_cast<std::int32_t>(waiting.size()));
    }
    for (const std::string& title : waiting) {
        ASSERT_TRUE(queue.takeText(out));
        EXPECT_EQ(out.str(), title);
    }
    EXPECT_FALSE(queue.takeText(out));
}

INSTANTIATE_TEST_SUITE_P(Cases, AgainstModel,
                         ::testing::Combine(::testing::Values(HeadlineQueue::kMinimumStep, HeadlineQueue::kDefaultStep),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<std::int32_t, bool>>& tested) {
                             return "Step" + std::to_string(std::get<0>(tested.param)) +
                                    (std::get<1>(tested.param) ? "WithIndex" : "WalkingTheBlock");
                         });

}  // namespace
}  // namespace velmora
