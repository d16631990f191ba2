#pragma once
// HeadlineQueue: the thread-safe first-in, first-out queue between the
// harvest workers, which add titles, and the lane workers, which take them.
// All items live back to back in one block: a 32-bit little-endian length,
// then that many bytes. Duplicates of items still waiting can be refused.
#include <cstdint>
#include <optional>

#include "common/text.h"

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

    // (The helper may add read-only accessors for tests, e.g. capacity(),
    //  step(), readOffset(), writeOffset().)
};

}  // namespace velmora
