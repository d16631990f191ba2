#pragma once
// The little the headline queue needs from the platform: a lock between
// threads and a private heap holding resizable blocks. On Windows these are a
// critical section and a heap made without serialisation of its own (the
// queue's lock is its only serialisation); on the host, a mutex and ordinary
// memory with the same effects. One source file per platform implements them.
#include <cstdint>
#include <memory>

namespace velmora {

// A mutual-exclusion lock. Creation can fail (no memory for it): the lock is
// then not valid and must not be taken. Meets BasicLockable, so that
// std::lock_guard holds it.
class QueueLock {
public:
    QueueLock();
    ~QueueLock();
    QueueLock(const QueueLock&) = delete;
    QueueLock& operator=(const QueueLock&) = delete;

    bool valid() const { return state_ != nullptr; }
    void lock();
    void unlock();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A private heap. Every block still in it is released with the heap.
// Sizes are bytes; a failed call leaves the block as it was.
class QueueHeap {
public:
    explicit QueueHeap(std::int32_t initialSize);
    ~QueueHeap();
    QueueHeap(const QueueHeap&) = delete;
    QueueHeap& operator=(const QueueHeap&) = delete;

    bool valid() const { return state_ != nullptr; }
    // A new block of `size` zero bytes, or null.
    std::uint8_t* allocateZeroed(std::int32_t size);
    // The block at `size` bytes; it may move and the added bytes are zero.
    // Null on failure, and then the old block is untouched.
    std::uint8_t* reallocateZeroed(std::uint8_t* block, std::int32_t size);
    // Resizes without moving; false when the block cannot stay where it is.
    bool resizeInPlace(std::uint8_t* block, std::int32_t size);
    // Gives the block back to the heap.
    void release(std::uint8_t* block);
    // The usable size of the block as the heap knows it.
    std::int32_t blockSize(const std::uint8_t* block) const;
    // Releases the heap and every block in it now.
    void destroy();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Failures a test can ask for, so that the queue's answers to a platform that
// says no can be proved: of the coming calls of one kind, `after` succeed and
// the `times` after them fail.
enum class QueueFault { LockCreation, HeapCreation, BlockAllocation, Growth, InPlaceResize };
void failNextQueueCalls(QueueFault kind, int times = 1, int after = 0);
void clearQueueFaults();
// For the platform files: true (and one request used up) when this call must fail.
bool queueFaultDue(QueueFault kind);

}  // namespace velmora
