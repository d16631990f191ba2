#pragma once
// The program's one headline queue behind a gate. Harvest and lane workers
// are never stopped, so at the end of the program some may still reach for
// the queue while it is being destroyed: every use passes the gate, and the
// destruction first closes the gate and waits for the callers already inside
// (each inside for one short queue operation), then destroys the queue. A
// caller that finds the gate closed does nothing.
#include <condition_variable>
#include <memory>
#include <mutex>

#include "common/text.h"
#include "store/headline_queue.h"

namespace velmora {

class GuardedHeadlineQueue {
public:
    // Makes the queue and opens the gate (a second call changes nothing).
    void create();
    // addText of the queue; false when the gate is closed.
    bool addText(const Text& text, bool refuseDuplicates = false);
    // takeText of the queue; false (and `out` empty) when the gate is closed.
    bool takeText(Text& out);
    // Closes the gate for good, waits until nobody is inside, destroys the queue.
    void destroy();
    bool isOpen() const;

private:
    class Pass;
    HeadlineQueue* enter();
    void leave();

    mutable std::mutex mutex_;
    std::condition_variable everyoneLeft_;
    int inside_ = 0;
    bool open_ = false;
    bool closed_ = false;
    std::unique_ptr<HeadlineQueue> queue_;
};

}  // namespace velmora
