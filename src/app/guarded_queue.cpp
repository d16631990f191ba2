#include "app/guarded_queue.h"

#include <new>

namespace velmora {

void GuardedHeadlineQueue::create() {
    std::lock_guard lock(mutex_);
    if (open_ || closed_) return;
    queue_.reset(new (std::nothrow) HeadlineQueue());
    open_ = queue_ != nullptr;
}

HeadlineQueue* GuardedHeadlineQueue::enter() {
    std::lock_guard lock(mutex_);
    if (!open_) return nullptr;
    ++inside_;
    return queue_.get();
}

void GuardedHeadlineQueue::leave() {
    std::lock_guard lock(mutex_);
    if (--inside_ == 0) everyoneLeft_.notify_all();
}

// Leaves the gate on every way out of a queue operation.
class GuardedHeadlineQueue::Pass {
public:
    explicit Pass(GuardedHeadlineQueue& gate) : gate_(gate), queue_(gate.enter()) {}
    ~Pass() {
        if (queue_ != nullptr) gate_.leave();
    }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    HeadlineQueue* queue() const { return queue_; }

private:
    GuardedHeadlineQueue& gate_;
    HeadlineQueue* queue_;
};

bool GuardedHeadlineQueue::addText(const Text& text, bool refuseDuplicates) {
    const Pass pass(*this);
    return pass.queue() != nullptr && pass.queue()->addText(text, refuseDuplicates);
}

bool GuardedHeadlineQueue::takeText(Text& out) {
    out = Text();
    const Pass pass(*this);
    return pass.queue() != nullptr && pass.queue()->takeText(out);
}

void GuardedHeadlineQueue::destroy() {
    std::unique_ptr<HeadlineQueue> doomed;
    {
        std::unique_lock lock(mutex_);
        open_ = false;
        closed_ = true;
        everyoneLeft_.wait(lock, [this] { return inside_ == 0; });
        doomed = std::move(queue_);
    }
}

bool GuardedHeadlineQueue::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

}  // namespace velmora
