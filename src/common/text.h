#pragma once
// Text, ByteBuffer and TextArray: the value types every part of the program
// passes around. A Text holds code page 936 bytes and never a NUL; a
// ByteBuffer holds any bytes.
#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Text {
public:
    Text() = default;
    // From a NUL-terminated string (a null pointer is the empty text).
    Text(const char* bytes);  // NOLINT(google-explicit-constructor): literals read naturally
    // From a run of bytes; the text ends at the first NUL among them.
    explicit Text(std::string_view bytes);
    static Text fromBytes(const void* data, std::size_t size);
    // Replaces the bytes as fromBytes would, reusing this text's storage.
    void assign(const void* data, std::size_t size);
    // The same for bytes the caller knows to hold no NUL (they were a Text's),
    // without searching them for one.
    void assignNulFree(const void* data, std::size_t size) {
        if (data == nullptr) {
            bytes_.clear();
        } else {
            bytes_.assign(static_cast<const char*>(data), size);
        }
    }

    const char* c_str() const { return bytes_.c_str(); }
    std::string_view view() const { return bytes_; }
    const std::string& str() const { return bytes_; }
    std::int32_t length() const { return static_cast<std::int32_t>(bytes_.size()); }
    bool empty() const { return bytes_.empty(); }
    // Byte at 0-based offset, as an unsigned value.
    unsigned char byteAt(std::size_t offset) const { return static_cast<unsigned char>(bytes_[offset]); }

    Text& operator+=(const Text& more);
    friend Text operator+(Text left, const Text& right) { return left += right; }

    // Byte by byte as unsigned values: case-sensitive.
    friend bool operator==(const Text&, const Text&) = default;
    friend std::strong_ordering operator<=>(const Text& a, const Text& b);

private:
    std::string bytes_;
};

// Printable bytes as they are, every other byte as \xNN (for test reports).
std::ostream& operator<<(std::ostream& out, const Text& text);

class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(const void* data, std::size_t size);
    explicit ByteBuffer(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    static ByteBuffer zeroed(std::size_t size) { return ByteBuffer(std::vector<std::uint8_t>(size)); }

    const std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t* data() { return bytes_.data(); }
    std::int32_t size() const { return static_cast<std::int32_t>(bytes_.size()); }
    bool empty() const { return bytes_.empty(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    friend bool operator==(const ByteBuffer&, const ByteBuffer&) = default;

private:
    std::vector<std::uint8_t> bytes_;
};

// Texts indexed from 1 to count(). An index outside that range is a fatal
// error: the program ends at once with exit code -1.
class TextArray {
public:
    TextArray() = default;
    TextArray(std::initializer_list<Text> items) : items_(items) {}

    std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }
    bool empty() const { return items_.empty(); }
    const Text& operator[](std::int32_t index) const;
    Text& operator[](std::int32_t index);
    void append(Text item) { items_.push_back(std::move(item)); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    friend bool operator==(const TextArray&, const TextArray&) = default;

private:
    std::vector<Text> items_;
};

}  // namespace velmora
