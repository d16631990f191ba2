#include "store/headline_queue.h"

#include <cstring>
#include <limits>
#include <mutex>

namespace velmora {
namespace {

constexpr std::int32_t kLengthSize = 4;
constexpr std::int64_t kLargestBlock = std::numeric_limits<std::int32_t>::max();
// An item's length word and bytes together must stay addressable by a 32-bit offset.
constexpr std::size_t kLargestItem = static_cast<std::size_t>(kLargestBlock - kLengthSize);
constexpr std::int32_t kFirstIndexCapacity = 256;

std::int32_t readLength(const std::uint8_t* at) {
    const std::uint32_t value = std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
                                std::uint32_t{at[3]} << 24;
    return static_cast<std::int32_t>(value);
}

void writeLength(std::uint8_t* at, std::int32_t length) {
    const auto value = static_cast<std::uint32_t>(length);
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
    at[2] = static_cast<std::uint8_t>(value >> 16);
    at[3] = static_cast<std::uint8_t>(value >> 24);
}

// Mixes the length with up to four bytes from each end of the item: cheap to
// make, and titles that share their first characters still differ in the key.
std::uint32_t keyOf(const std::uint8_t* bytes, std::int32_t size) {
    std::uint32_t head = 0;
    std::uint32_t tail = 0;
    const auto n = static_cast<std::size_t>(size);
    if (n > 0) std::memcpy(&head, bytes, n < 4 ? n : 4);
    if (n > 4) std::memcpy(&tail, bytes + (n < 8 ? 4 : n - 4), n < 8 ? n - 4 : 4);
    std::uint32_t key = static_cast<std::uint32_t>(size) * 0x9E3779B1u;
    key = (key ^ head) * 0x85EBCA6Bu;
    key = (key ^ tail) * 0xC2B2AE35u;
    return key ^ (key >> 16);
}

// The first entry from `entry` on with the wanted key, or `end`. Entries are
// looked at eight at a time with one branch for the eight, which is what
// makes the scan fast: nearly every key differs.
template <typename Entry>
const Entry* nextWithKey(const Entry* entry, const Entry* end, std::uint32_t wanted) {
    constexpr std::ptrdiff_t kChunk = 8;
    for (; end - entry >= kChunk; entry += kChunk) {
        bool found = false;
        for (std::ptrdiff_t k = 0; k < kChunk; ++k) found |= entry[k].key == wanted;
        if (found) break;
    }
    while (entry != end && entry->key != wanted) ++entry;
    return entry;
}

bool holdsNul(const void* bytes, std::size_t size) { return size > 0 && std::memchr(bytes, 0, size) != nullptr; }

}  // namespace

HeadlineQueue::HeadlineQueue() : heap(kDefaultStep) {
    if (lock.valid() && heap.valid()) buffer = heap.allocateZeroed(step);
    if (buffer == nullptr) {
        // Without a lock or a block the queue stays empty and refuses every add.
        heap.destroy();
        return;
    }
    capacity = step;
    index = reinterpret_cast<IndexEntry*>(heap.allocateZeroed(kFirstIndexCapacity * sizeof(IndexEntry)));
    if (index != nullptr) indexCapacity = kFirstIndexCapacity;
}

HeadlineQueue::~HeadlineQueue() {
    if (!lock.valid()) return;
    std::lock_guard guard(lock);
    heap.destroy();
    buffer = nullptr;
    index = nullptr;
    capacity = 0;
    setItemCount(0);
}

bool HeadlineQueue::addText(const Text& text, bool refuseDuplicates) {
    const std::string_view bytes = text.view();
    return addItem(bytes.data(), bytes.size(), refuseDuplicates, false);
}

bool HeadlineQueue::addBytes(const ByteBuffer& bytes, bool refuseDuplicates) {
    const std::size_t size = bytes.bytes().size();
    return addItem(bytes.data(), size, refuseDuplicates, holdsNul(bytes.data(), size));
}

// An integer item is a 4-byte item: its length word says 4 and the value follows.
bool HeadlineQueue::addInteger(std::int32_t value, bool refuseDuplicates) {
    std::uint8_t bytes[kLengthSize];
    writeLength(bytes, value);
    return addItem(bytes, sizeof bytes, refuseDuplicates, holdsNul(bytes, sizeof bytes));
}

bool HeadlineQueue::takeText(Text& out) {
    const bool taken = takeItem([this, &out](const std::uint8_t* bytes, std::int32_t size) {
        if (nulMayWait) {
            out.assign(bytes, static_cast<std::size_t>(size));
        } else {
            out.assignNulFree(bytes, static_cast<std::size_t>(size));
        }
    });
    if (!taken) out = Text();
    return taken;
}

bool HeadlineQueue::takeBytes(ByteBuffer& out) {
    const bool taken = takeItem([&out](const std::uint8_t* bytes, std::int32_t size) {
        out = size > 0 ? ByteBuffer(bytes, static_cast<std::size_t>(size)) : ByteBuffer();
    });
    if (!taken) out = ByteBuffer();
    return taken;
}

// Reads no further than the item itself: an item shorter than 4 bytes (a
// short text) gives its bytes with zeros above them, a longer one its first 4.
bool HeadlineQueue::takeInteger(std::int32_t& out) {
    out = 0;
    return takeItem([&out](const std::uint8_t* bytes, std::int32_t size) {
        std::uint8_t value[kLengthSize] = {};
        std::memcpy(value, bytes, static_cast<std::size_t>(size < kLengthSize ? size : kLengthSize));
        out = readLength(value);
    });
}

std::int32_t HeadlineQueue::count() const { return itemCount.load(std::memory_order_relaxed); }

void HeadlineQueue::clear() {
    if (!lock.valid()) return;
    std::lock_guard guard(lock);
    if (count() == 0) return;
    // A block that cannot be resized where it stands keeps its size.
    if (heap.resizeInPlace(buffer, step)) capacity = step;
    writeOffset = 0;
    readOffset = 0;
    firstEntry = 0;
    nulMayWait = false;
    setItemCount(0);
}

void HeadlineQueue::setStep(std::optional<std::int32_t> newStep) {
    if (!lock.valid()) return;
    std::lock_guard guard(lock);
    step = newStep ? (*newStep < kMinimumStep ? kMinimumStep : *newStep) : kDefaultStep;
}

HeadlineQueue::Layout HeadlineQueue::layout() const {
    Layout now{};
    if (!lock.valid()) return now;
    std::lock_guard guard(lock);
    now = Layout{capacity, step, writeOffset, readOffset, count(), heap.blockSize(buffer), indexCapacity};
    return now;
}

bool HeadlineQueue::addItem(const void* bytes, std::size_t size, bool refuseDuplicates, bool mayHoldNul) {
    if (size > kLargestItem || !lock.valid()) return false;
    const auto* itemBytes = static_cast<const std::uint8_t*>(bytes);
    const auto length = static_cast<std::int32_t>(size);
    const std::int32_t needed = length + kLengthSize;
    const std::uint32_t key = keyOf(itemBytes, length);
    std::lock_guard guard(lock);
    if (buffer == nullptr) return false;
    if (refuseDuplicates && holdsWaiting(itemBytes, length, key)) return false;
    if (std::int64_t{writeOffset} + needed > capacity && !grow(needed)) return false;
    writeLength(buffer + writeOffset, length);
    if (length > 0) std::memcpy(buffer + writeOffset + kLengthSize, itemBytes, size);
    writeOffset += needed;
    indexItem(key, appended);
    appended += static_cast<std::uint32_t>(needed);
    nulMayWait = nulMayWait || mayHoldNul;
    setItemCount(count() + 1);
    return true;
}

template <typename Deliver>
bool HeadlineQueue::takeItem(Deliver deliver) {
    if (!lock.valid()) return false;
    std::lock_guard guard(lock);
    const std::int32_t waiting = count();
    if (waiting < 1) return false;
    const std::int32_t length = readLength(buffer + readOffset);
    readOffset += kLengthSize;
    deliver(buffer + readOffset, length);
    readOffset += length;
    if (waiting == 1) {
        firstEntry = 0;
        nulMayWait = false;
    } else if (index != nullptr) {
        ++firstEntry;
    }
    setItemCount(waiting - 1);
    if (readOffset > step) compact();
    return true;
}

// Visits the waiting items oldest first; only an item of the same length has
// its bytes compared, and its first byte before the rest.
bool HeadlineQueue::holdsWaiting(const std::uint8_t* bytes, std::int32_t size, std::uint32_t key) const {
    if (index != nullptr) return holdsWaitingByIndex(bytes, size, key);
    const std::uint8_t* item = buffer + readOffset;
    const std::uint8_t* const end = buffer + writeOffset;
    const auto byteCount = static_cast<std::size_t>(size);
    while (item < end) {
        const std::int32_t length = readLength(item);
        item += kLengthSize;
        if (length == size && (size == 0 || (item[0] == bytes[0] && std::memcmp(item, bytes, byteCount) == 0))) {
            return true;
        }
        item += length;
    }
    return false;
}

// The same scan over the index: an entry whose key differs cannot be an equal
// item, so only a matching key sends the scan into the block, for the
// comparison of lengths and bytes.
bool HeadlineQueue::holdsWaitingByIndex(const std::uint8_t* bytes, std::int32_t size, std::uint32_t wanted) const {
    const IndexEntry* const oldest = index + firstEntry;
    const IndexEntry* const end = oldest + count();
    for (const IndexEntry* entry = oldest; entry != end; ++entry) {
        entry = nextWithKey(entry, end, wanted);
        if (entry == end) break;
        const std::uint8_t* item = buffer + readOffset + (entry->appendedBefore - oldest->appendedBefore);
        if (readLength(item) == size &&
            (size == 0 || std::memcmp(item + kLengthSize, bytes, static_cast<std::size_t>(size)) == 0)) {
            return true;
        }
    }
    return false;
}

bool HeadlineQueue::grow(std::int32_t needed) {
    if (readOffset > 0) {
        moveWaitingToFront();
        if (capacity - writeOffset >= needed) return true;
    }
    const std::int64_t larger = std::int64_t{capacity} + step + needed;
    if (larger > kLargestBlock) return false;
    std::uint8_t* moved = heap.reallocateZeroed(buffer, static_cast<std::int32_t>(larger));
    if (moved == nullptr) return false;
    buffer = moved;
    capacity = static_cast<std::int32_t>(larger);
    return true;
}

// Only called with more than one step of dead bytes at the front, so the
// block always shrinks; if it cannot shrink where it is, it keeps its size.
void HeadlineQueue::compact() {
    moveWaitingToFront();
    const std::int32_t smaller = writeOffset + step;
    if (heap.resizeInPlace(buffer, smaller)) capacity = smaller;
}

void HeadlineQueue::moveWaitingToFront() {
    const std::int32_t waiting = writeOffset - readOffset;
    std::memmove(buffer, buffer + readOffset, static_cast<std::size_t>(waiting));
    writeOffset = waiting;
    readOffset = 0;
}

// Called for the item just appended, before it is counted.
void HeadlineQueue::indexItem(std::uint32_t key, std::uint32_t appendedBefore) {
    if (index == nullptr) return;
    if (!roomForOneMoreEntry()) {
        // Out of memory for the index: from now on the scan walks the block.
        heap.release(reinterpret_cast<std::uint8_t*>(index));
        index = nullptr;
        indexCapacity = 0;
        firstEntry = 0;
        return;
    }
    index[firstEntry + count()] = IndexEntry{key, appendedBefore};
}

// Moves the entries to the front of the array once the taken ones before them
// outnumber them, and doubles the array only when it is more than half full,
// so that each entry is moved a bounded number of times.
bool HeadlineQueue::roomForOneMoreEntry() {
    const std::int32_t waiting = count();
    if (firstEntry + waiting < indexCapacity) return true;
    if (firstEntry >= waiting) {
        std::memmove(index, index + firstEntry, static_cast<std::size_t>(waiting) * sizeof(IndexEntry));
        firstEntry = 0;
        return true;
    }
    constexpr auto kLargestCapacity = static_cast<std::int32_t>(kLargestBlock / (2 * sizeof(IndexEntry)));
    if (indexCapacity > kLargestCapacity) return false;
    const auto largerBytes = static_cast<std::int32_t>(2 * static_cast<std::size_t>(indexCapacity) * sizeof(IndexEntry));
    std::uint8_t* larger = heap.reallocateZeroed(reinterpret_cast<std::uint8_t*>(index), largerBytes);
    if (larger == nullptr) return false;
    index = reinterpret_cast<IndexEntry*>(larger);
    indexCapacity *= 2;
    return true;
}

}  // namespace velmora
