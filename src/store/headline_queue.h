#pragma once
// HeadlineQueue: the thread-safe first-in, first-out queue between the
// harvest workers, which add titles, and the lane workers, which take them.
// All items live back to back in one block: a 32-bit little-endian length,
// then that many bytes. Duplicates of items still waiting can be refused.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/text.h"
#include "store/queue_platform.h"

namespace velmora {

class HeadlineQueue {
public:
    static constexpr std::int32_t kDefaultStep = 1048576;
    static constexpr std::int32_t kMinimumStep = 1024;

    HeadlineQueue();
    ~HeadlineQueue();
    HeadlineQueue(const HeadlineQueue&) = delete;
    HeadlineQueue& operator=(const HeadlineQueue&) = delete;

    bool addText(const Text& text, bool refuseDuplicates = false);
    bool takeText(Text& out);
    bool addBytes(const ByteBuffer& bytes, bool refuseDuplicates = false);
    bool takeBytes(ByteBuffer& out);
    bool addInteger(std::int32_t value, bool refuseDuplicates = false);
    bool takeInteger(std::int32_t& out);

    std::int32_t count() const;
    void clear();
    void setStep(std::optional<std::int32_t> step = std::nullopt);

    // The block's bookkeeping at one moment, read under the lock; blockSize is
    // what the heap says the block holds (0 when there is no block), and
    // indexCapacity the room in the index of waiting items (0 without one).
    struct Layout {
        std::int32_t capacity;
        std::int32_t step;
        std::int32_t writeOffset;
        std::int32_t readOffset;
        std::int32_t itemCount;
        std::int32_t blockSize;
        std::int32_t indexCapacity;
    };
    Layout layout() const;

private:
    // One entry per waiting item: a key made from its length and its first and
    // last bytes (equal items always have equal keys), and the count of bytes
    // appended before it, which places it in the block.
    struct IndexEntry {
        std::uint32_t key;
        std::uint32_t appendedBefore;
    };

    bool addItem(const void* bytes, std::size_t size, bool refuseDuplicates, bool mayHoldNul);
    template <typename Deliver>
    bool takeItem(Deliver deliver);
    bool holdsWaiting(const std::uint8_t* bytes, std::int32_t size, std::uint32_t key) const;
    bool holdsWaitingByIndex(const std::uint8_t* bytes, std::int32_t size, std::uint32_t key) const;
    bool grow(std::int32_t needed);
    void compact();
    void moveWaitingToFront();
    void indexItem(std::uint32_t key, std::uint32_t appendedBefore);
    bool roomForOneMoreEntry();
    void setItemCount(std::int32_t value) { itemCount.store(value, std::memory_order_relaxed); }

    mutable QueueLock lock;
    QueueHeap heap;
    std::uint8_t* buffer = nullptr;
    std::int32_t capacity = 0;
    std::int32_t step = kDefaultStep;
    std::int32_t writeOffset = 0;
    std::int32_t readOffset = 0;
    // Written under the lock, read by count() without it.
    std::atomic<std::int32_t> itemCount{0};

    // The waiting items' entries, oldest first at firstEntry, in a dense array
    // of their own: the duplicate scan reads them there and goes into the
    // block only for an item whose key matches, instead of hopping through the
    // block from length word to length word. Without the array (no memory for
    // it) the scan walks the block.
    IndexEntry* index = nullptr;
    std::int32_t indexCapacity = 0;
    std::int32_t firstEntry = 0;
    // Bytes appended since construction, counted modulo 2^32: an item lies in
    // the block as many bytes past readOffset as were appended between the
    // oldest waiting item and it.
    std::uint32_t appended = 0;
    // Whether an item with a NUL byte (added as bytes or as an integer) may be
    // waiting; until then a text is taken without looking for one.
    bool nulMayWait = false;
};

}  // namespace velmora
