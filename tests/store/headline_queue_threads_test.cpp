// Many workers on one queue at once, with a small step so that growth and
// compaction happen while they run.
#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <cstdint>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "queue_test_support.h"
#include "store/headline_queue.h"

namespace velmora {
namespace {

using testing::drainTexts;

constexpr int kAdders = 8;
constexpr int kTakers = 8;
constexpr int kItems = 100000;
constexpr int kPerAdder = kItems / kAdders;

struct Tag {
    int adder;
    int sequence;
};

Text tagText(int adder, int sequence) { return Text(std::to_string(adder) + ":" + std::to_string(sequence)); }

Tag parseTag(const Text& text) {
    Tag tag{-1, -1};
    const std::string_view view = text.view();
    const auto colon = view.find(':');
    if (colon == std::string_view::npos) return tag;
    std::from_chars(view.data(), view.data() + colon, tag.adder);
    std::from_chars(view.data() + colon + 1, view.data() + view.size(), tag.sequence);
    return tag;
}

TEST(HeadlineQueueThreads, EveryItemIsTakenOnceAndEachAddersOrderHolds) {
    HeadlineQueue queue;
    queue.setStep(HeadlineQueue::kMinimumStep);
    std::latch start(kAdders + kTakers);
    std::atomic<int> takenSoFar{0};
    std::atomic<int> refused{0};  // none expected; counted so that takers never wait for them
    std::vector<std::vector<Tag>> takenBy(kTakers);

    std::vector<std::thread> workers;
    for (int adder = 0; adder < kAdders; ++adder) {
        workers.emplace_back([&, adder] {
            start.arrive_and_wait();
            for (int sequence = 0; sequence < kPerAdder; ++sequence) {
                if (!queue.addText(tagText(adder, sequence))) refused.fetch_add(1);
            }
        });
    }
    for (int taker = 0; taker < kTakers; ++taker) {
        workers.emplace_back([&, taker] {
            std::vector<Tag>& mine = takenBy[static_cast<std::size_t>(taker)];
            mine.reserve(kItems);
            start.arrive_and_wait();
            Text item;
            while (takenSoFar.load() + refused.load() < kItems) {
                if (queue.takeText(item)) {
                    mine.push_back(parseTag(item));
                    takenSoFar.fetch_add(1);
                } else {
                    std::this_thread::yield();
                }
            }
        });
    }
    for (std::thread& worker : workers) worker.join();

    ASSERT_EQ(refused.load(), 0);
    std::vector<int> timesTaken(kItems, 0);
    for (const std::vector<Tag>& taken : takenBy) {
        std::vector<int> lastSeen(kAdders, -1);
        for (const Tag& tag : taken) {
            ASSERT_TRUE(tag.adder >= 0 && tag.adder < kAdders && tag.sequence >= 0 && tag.sequence < kPerAdder);
            ASSERT_GT(tag.sequence, lastSeen[static_cast<std::size_t>(tag.adder)]) << "adder " << tag.adder;
            lastSeen[static_cast<std::size_t>(tag.adder)] = tag.sequence;
            ++timesTaken[static_cast<std::size_t>(tag.adder * kPerAdder + tag.sequence)];
        }
    }
    for (int i = 0; i < kItems; ++i) ASSERT_EQ(timesTaken[static_cast<std::size_t>(i)], 1) << "item " << i;
    EXPECT_EQ(queue.count(), 0);
}

TEST(HeadlineQueueThreads, TitlesAddedByThreeWorkersAtOnceWaitAtMostOnce) {
    constexpr int kWorkers = 3;
    constexpr int kTitles = 2000;
    HeadlineQueue queue;
    queue.setStep(HeadlineQueue::kMinimumStep);
    std::latch start(kWorkers);
    std::vector<std::thread> workers;
    for (int worker = 0; worker < kWorkers; ++worker) {
        workers.emplace_back([&] {
            start.arrive_and_wait();
            for (int title = 0; title < kTitles; ++title) queue.addText(Text("title " + std::to_string(title)), true);
        });
    }
    for (std::thread& worker : workers) worker.join();

    const std::vector<Text> waiting = drainTexts(queue);
    ASSERT_EQ(waiting.size(), static_cast<std::size_t>(kTitles));
    std::vector<int> seen(kTitles, 0);
    for (const Text& text : waiting) {
        int number = -1;
        std::from_chars(text.view().data() + 6, text.view().data() + text.view().size(), number);
        ASSERT_TRUE(number >= 0 && number < kTitles);
        ++seen[static_cast<std::size_t>(number)];
    }
    for (int title = 0; title < kTitles; ++title) EXPECT_EQ(seen[static_cast<std::size_t>(title)], 1) << title;
}

}  // namespace
}  // namespace velmora
