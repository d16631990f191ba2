// Throughput of HeadlineQueue beside a plain baseline measured in the same run:
// a std::deque<std::string> under a std::mutex with a linear duplicate scan.
// At each size the queue holds that many waiting titles; a round adds a batch
// with refusal on (every other title a copy of a waiting one, so half are
// refused) and then takes as many as were accepted, so the size holds steady.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "common/text.h"
#include "store/headline_queue.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBatch = 64;
constexpr int kRepeats = 3;
constexpr std::int64_t kScanBudget = 40'000'000;  // waiting items visited per measurement, roughly

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A headline-like title: 20 to 60 bytes of double-byte characters, ending in
// the number that makes it unique.
std::string title(std::int64_t number) {
    std::uint64_t state = mix(static_cast<std::uint64_t>(number));
    const std::string digits = std::to_string(number);
    const std::size_t length = 20 + state % 41;
    std::string text;
    while (text.size() + 2 + digits.size() <= length) {
        state = mix(state);
        text += static_cast<char>(0xB0 + state % 0x40);
        text += static_cast<char>(0xA1 + (state >> 8) % 0x5E);
    }
    return text + digits;
}

class BaselineQueue {
public:
    bool add(const std::string& text, bool refuseDuplicates) {
        std::lock_guard guard(mutex_);
        if (refuseDuplicates && std::find(items_.begin(), items_.end(), text) != items_.end()) return false;
        items_.push_back(text);
        return true;
    }
    bool take(std::string& out) {
        std::lock_guard guard(mutex_);
        if (items_.empty()) {
            out.clear();
            return false;
        }
        out = std::move(items_.front());
        items_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::deque<std::string> items_;
};

struct HeadlineQueueUnderTest {
    using Item = velmora::Text;
    static Item make(std::int64_t number) { return Item(title(number)); }
    bool add(const Item& item, bool refuse) { return queue.addText(item, refuse); }
    bool take(Item& out) { return queue.takeText(out); }
    velmora::HeadlineQueue queue;
};

struct BaselineUnderTest {
    using Item = std::string;
    static Item make(std::int64_t number) { return title(number); }
    bool add(const Item& item, bool refuse) { return queue.add(item, refuse); }
    bool take(Item& out) { return queue.take(out); }
    BaselineQueue queue;
};

struct Throughput {
    double add = 0;   // items per second
    double take = 0;  // items per second
    bool correct = true;
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Items per second from the mean time of the middle 80% of the rounds: a
// round that the machine's other work interrupted is dropped, and the mean
// smooths out a coarse clock (Wine's ticks in 100 ns).
double perSecond(std::vector<Clock::duration>& rounds, int itemsPerRound) {
    std::sort(rounds.begin(), rounds.end());
    const std::size_t trim = rounds.size() / 10;
    Clock::duration total{};
    for (std::size_t i = trim; i < rounds.size() - trim; ++i) total += rounds[i];
    const double meanSeconds = seconds(total) / static_cast<double>(rounds.size() - 2 * trim);
    return itemsPerRound / meanSeconds;
}

template <typename Subject>
Throughput measure(std::int64_t waiting) {
    Subject subject;
    std::int64_t head = 0;  // the oldest waiting title
    std::int64_t tail = 0;  // the next new title
    for (; tail < waiting; ++tail) subject.add(Subject::make(tail), false);

    const std::int64_t rounds = std::max<std::int64_t>(50, kScanBudget / (waiting * kBatch));
    std::uint64_t chooser = 12345;
    std::vector<Clock::duration> addTimes;
    std::vector<Clock::duration> takeTimes;
    Throughput result;
    std::vector<typename Subject::Item> batch(kBatch);
    typename Subject::Item out;
    for (std::int64_t round = 0; round < rounds; ++round) {
        for (int i = 0; i < kBatch; ++i) {
            chooser = mix(chooser);
            const bool copy = i % 2 == 0;
            batch[static_cast<std::size_t>(i)] =
                Subject::make(copy ? head + static_cast<std::int64_t>(chooser % static_cast<std::uint64_t>(tail - head))
                                   : tail++);
        }
        int accepted = 0;
        const auto addStart = Clock::now();
        for (const auto& item : batch) accepted += subject.add(item, true) ? 1 : 0;
        addTimes.push_back(Clock::now() - addStart);

        const auto takeStart = Clock::now();
        for (int i = 0; i < accepted; ++i) subject.take(out);
        takeTimes.push_back(Clock::now() - takeStart);
        head += accepted;
        result.correct = result.correct && accepted == kBatch / 2 && out == Subject::make(head - 1);
    }
    result.add = perSecond(addTimes, kBatch);
    result.take = perSecond(takeTimes, kBatch / 2);
    return result;
}

// Best of a few runs of each, alternating, so that a busy moment of the
// machine does not decide the figure.
template <typename Subject>
void keepBest(Throughput& best, std::int64_t waiting) {
    const Throughput run = measure<Subject>(waiting);
    best.add = std::max(best.add, run.add);
    best.take = std::max(best.take, run.take);
    best.correct = best.correct && run.correct;
}

}  // namespace

int main() {
    std::printf("HeadlineQueue against std::deque<std::string> + std::mutex with a linear duplicate scan\n");
    std::printf("items/s; ratio = queue / baseline (above 1: the queue is faster)\n\n");
    std::printf("%8s | %14s %14s %7s | %14s %14s %7s\n", "waiting", "add queue", "add baseline", "ratio", "take queue",
                "take baseline", "ratio");
    bool allCorrect = true;
    bool neverSlower = true;
    for (const std::int64_t waiting : {10, 1000, 10000}) {
        Throughput queue;
        Throughput baseline;
        for (int repeat = 0; repeat < kRepeats; ++repeat) {
            keepBest<HeadlineQueueUnderTest>(queue, waiting);
            keepBest<BaselineUnderTest>(baseline, waiting);
        }
        const double addRatio = queue.add / baseline.add;
        const double takeRatio = queue.take / baseline.take;
        std::printf("%8lld | %14.0f %14.0f %7.2f | %14.0f %14.0f %7.2f\n", static_cast<long long>(waiting), queue.add,
                    baseline.add, addRatio, queue.take, baseline.take, takeRatio);
        allCorrect = allCorrect && queue.correct && baseline.correct;
        neverSlower = neverSlower && addRatio >= 1.0 && takeRatio >= 1.0;
    }
    std::printf("\nqueue at least as fast as the baseline everywhere: %s\n", neverSlower ? "yes" : "no");
    if (!allCorrect) std::printf("WRONG RESULTS: an add or a take did not give what was expected\n");
    return allCorrect ? 0 : 1;
}
