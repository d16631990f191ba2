// Windows: a critical section and a private heap without serialisation of its
// own; the queue's critical section orders every call on the heap.
#include <windows.h>

#include <limits>
#include <new>

#include "store/queue_platform.h"

namespace velmora {

struct QueueLock::State {
    State() { InitializeCriticalSection(&section); }
    ~State() { DeleteCriticalSection(&section); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    CRITICAL_SECTION section;
};

QueueLock::QueueLock() {
    if (!queueFaultDue(QueueFault::LockCreation)) state_.reset(new (std::nothrow) State);
}

QueueLock::~QueueLock() = default;

void QueueLock::lock() { EnterCriticalSection(&state_->section); }

void QueueLock::unlock() { LeaveCriticalSection(&state_->section); }

// Owns the heap handle: HeapDestroy releases every block with it.
struct QueueHeap::State {
    explicit State(HANDLE created) : heap(created) {}
    ~State() { HeapDestroy(heap); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    HANDLE heap;
};

QueueHeap::QueueHeap(std::int32_t initialSize) {
    if (queueFaultDue(QueueFault::HeapCreation)) return;
    HANDLE heap = HeapCreate(HEAP_NO_SERIALIZE, static_cast<SIZE_T>(initialSize), 0);
    if (heap == nullptr) return;
    state_.reset(new (std::nothrow) State(heap));
    if (!state_) HeapDestroy(heap);
}

QueueHeap::~QueueHeap() = default;

std::uint8_t* QueueHeap::allocateZeroed(std::int32_t size) {
    if (!state_ || queueFaultDue(QueueFault::BlockAllocation)) return nullptr;
    return static_cast<std::uint8_t*>(HeapAlloc(state_->heap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size)));
}

std::uint8_t* QueueHeap::reallocateZeroed(std::uint8_t* block, std::int32_t size) {
    if (!state_ || queueFaultDue(QueueFault::Growth)) return nullptr;
    return static_cast<std::uint8_t*>(
        HeapReAlloc(state_->heap, HEAP_ZERO_MEMORY | HEAP_NO_SERIALIZE, block, static_cast<SIZE_T>(size)));
}

bool QueueHeap::resizeInPlace(std::uint8_t* block, std::int32_t size) {
    if (!state_ || queueFaultDue(QueueFault::InPlaceResize)) return false;
    return HeapReAlloc(state_->heap, HEAP_REALLOC_IN_PLACE_ONLY | HEAP_NO_SERIALIZE, block,
                       static_cast<SIZE_T>(size)) != nullptr;
}

void QueueHeap::release(std::uint8_t* block) {
    if (state_ && block != nullptr) HeapFree(state_->heap, HEAP_NO_SERIALIZE, block);
}

std::int32_t QueueHeap::blockSize(const std::uint8_t* block) const {
    if (!state_ || block == nullptr) return 0;
    const SIZE_T size = HeapSize(state_->heap, HEAP_NO_SERIALIZE, block);
    if (size == static_cast<SIZE_T>(-1) || size > static_cast<SIZE_T>(std::numeric_limits<std::int32_t>::max())) {
        return 0;
    }
    return static_cast<std::int32_t>(size);
}

void QueueHeap::destroy() { state_.reset(); }

}  // namespace velmora
