#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>

#include "store/queue_platform.h"

namespace velmora {
namespace {

struct Pending {
    int succeedFirst = 0;
    int thenFail = 0;
};

struct Faults {
    std::atomic<bool> armed{false};  // lets every call pass at once while no test asked for anything
    std::mutex guard;
    std::array<Pending, 5> pending{};

    Pending& of(QueueFault kind) { return pending[static_cast<std::size_t>(kind)]; }
};

Faults& faults() {
    static Faults all;
    return all;
}

}  // namespace

void failNextQueueCalls(QueueFault kind, int times, int after) {
    Faults& all = faults();
    std::lock_guard hold(all.guard);
    all.of(kind) = Pending{after > 0 ? after : 0, times > 0 ? times : 0};
    all.armed.store(true);
}

void clearQueueFaults() {
    Faults& all = faults();
    std::lock_guard hold(all.guard);
    all.pending = {};
    all.armed.store(false);
}

bool queueFaultDue(QueueFault kind) {
    Faults& all = faults();
    if (!all.armed.load()) return false;
    std::lock_guard hold(all.guard);
    Pending& pending = all.of(kind);
    if (pending.succeedFirst > 0) {
        --pending.succeedFirst;
        return false;
    }
    if (pending.thenFail == 0) return false;
    --pending.thenFail;
    return true;
}

}  // namespace velmora
