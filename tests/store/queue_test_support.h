#pragma once
// Small helpers shared by the queue's tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"
#include "store/headline_queue.h"

namespace velmora::testing {

// Names a parameterised case after its `name` field.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& tested) const {
        return tested.param.name;
    }
};

inline Text repeated(std::int32_t length, char byte) { return Text(std::string(static_cast<std::size_t>(length), byte)); }

// Takes every waiting text, oldest first.
inline std::vector<Text> drainTexts(HeadlineQueue& queue) {
    std::vector<Text> taken;
    Text item;
    while (queue.takeText(item)) taken.push_back(item);
    return taken;
}

// A queue with the smallest step, so that a few small items make it grow and
// compact. Its block is one step where the platform can shrink the first block
// in place and stays as it was where it cannot (Wine keeps a block of 1 MiB),
// so tests size their items from `start`. Faults a test asks for end with it.
class SmallStepQueue : public ::testing::Test {
protected:
    void SetUp() override {
        queue.setStep(HeadlineQueue::kMinimumStep);
        queue.addText("x");
        queue.clear();
        start = queue.layout().capacity;
        ASSERT_EQ(queue.layout().blockSize, start);
    }
    void TearDown() override { clearQueueFaults(); }

    HeadlineQueue queue;
    std::int32_t start = 0;
};

}  // namespace velmora::testing
