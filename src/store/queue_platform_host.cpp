// Host: a standard mutex and ordinary memory. A block keeps what it was given
// and shrinks in place by using less of it, so it never moves on a shrink.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "store/queue_platform.h"

namespace velmora {

struct QueueLock::State {
    std::mutex mutex;
};

QueueLock::QueueLock() {
    if (!queueFaultDue(QueueFault::LockCreation)) state_.reset(new (std::nothrow) State);
}

QueueLock::~QueueLock() = default;

void QueueLock::lock() { state_->mutex.lock(); }

void QueueLock::unlock() { state_->mutex.unlock(); }

namespace {

struct Block {
    std::uint8_t* data;
    std::size_t size;      // what the owner sees
    std::size_t reserved;  // what was allocated
};

}  // namespace

struct QueueHeap::State {
    State() = default;
    ~State() {
        for (const Block& block : blocks) std::free(block.data);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    Block* find(const std::uint8_t* data) {
        auto found = std::find_if(blocks.begin(), blocks.end(), [data](const Block& b) { return b.data == data; });
        return found == blocks.end() ? nullptr : &*found;
    }

    std::vector<Block> blocks;
};

// Ordinary memory needs no reservation up front.
QueueHeap::QueueHeap(std::int32_t /*initialSize*/) {
    if (!queueFaultDue(QueueFault::HeapCreation)) state_.reset(new (std::nothrow) State);
}

QueueHeap::~QueueHeap() = default;

std::uint8_t* QueueHeap::allocateZeroed(std::int32_t size) {
    if (!state_ || size < 0 || queueFaultDue(QueueFault::BlockAllocation)) return nullptr;
    const auto bytes = static_cast<std::size_t>(size);
    auto* data = static_cast<std::uint8_t*>(std::calloc(bytes > 0 ? bytes : 1, 1));
    if (data == nullptr) return nullptr;
    state_->blocks.push_back(Block{data, bytes, bytes});
    return data;
}

std::uint8_t* QueueHeap::reallocateZeroed(std::uint8_t* data, std::int32_t size) {
    if (!state_ || size < 0 || queueFaultDue(QueueFault::Growth)) return nullptr;
    Block* block = state_->find(data);
    if (block == nullptr) return nullptr;
    const auto bytes = static_cast<std::size_t>(size);
    if (bytes > block->reserved) {
        auto* moved = static_cast<std::uint8_t*>(std::realloc(block->data, bytes));
        if (moved == nullptr) return nullptr;
        block->data = moved;
        block->reserved = bytes;
    }
    if (bytes > block->size) std::memset(block->data + block->size, 0, bytes - block->size);
    block->size = bytes;
    return block->data;
}

bool QueueHeap::resizeInPlace(std::uint8_t* data, std::int32_t size) {
    if (!state_ || size < 0 || queueFaultDue(QueueFault::InPlaceResize)) return false;
    Block* block = state_->find(data);
    if (block == nullptr || static_cast<std::size_t>(size) > block->reserved) return false;
    block->size = static_cast<std::size_t>(size);
    return true;
}

void QueueHeap::release(std::uint8_t* data) {
    if (!state_) return;
    std::vector<Block>& blocks = state_->blocks;
    const auto found = std::find_if(blocks.begin(), blocks.end(), [data](const Block& b) { return b.data == data; });
    if (found == blocks.end()) return;
    std::free(found->data);
    blocks.erase(found);
}

std::int32_t QueueHeap::blockSize(const std::uint8_t* data) const {
    if (!state_) return 0;
    const Block* block = state_->find(data);
    return block == nullptr ? 0 : static_cast<std::int32_t>(block->size);
}

void QueueHeap::destroy() { state_.reset(); }

}  // namespace velmora
