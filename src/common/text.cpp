#include "common/text.h"

#include <cstdlib>
#include <cstring>
#include <ostream>

namespace velmora {

Text::Text(const char* bytes) : bytes_(bytes ? bytes : "") {}

Text::Text(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}

Text Text::fromBytes(const void* data, std::size_t size) {
    if (data == nullptr) return {};
    return Text(std::string_view(static_cast<const char*>(data), size));
}

void Text::assign(const void* data, std::size_t size) {
    if (data == nullptr) {
        bytes_.clear();
        return;
    }
    const auto* first = static_cast<const char*>(data);
    const auto* nul = static_cast<const char*>(std::memchr(first, 0, size));
    bytes_.assign(first, nul != nullptr ? static_cast<std::size_t>(nul - first) : size);
}

Text& Text::operator+=(const Text& more) {
    bytes_ += more.bytes_;
    return *this;
}

std::strong_ordering operator<=>(const Text& a, const Text& b) {
    // std::string compares through char_traits<char>, which compares as unsigned char.
    const int order = a.bytes_.compare(b.bytes_);
    return order < 0 ? std::strong_ordering::less
                     : (order > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
}

std::ostream& operator<<(std::ostream& out, const Text& text) {
    static const char digits[] = "0123456789ABCDEF";
    out << '"';
    for (const char c : text.view()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out << c;
        } else {
            out << "\\x" << digits[byte >> 4] << digits[byte & 0xF];
        }
    }
    return out << '"';
}

ByteBuffer::ByteBuffer(const void* data, std::size_t size) {
    if (data != nullptr && size > 0) {
        const auto* first = static_cast<const std::uint8_t*>(data);
        bytes_.assign(first, first + size);
    }
}

namespace {
[[noreturn]] void indexOutOfRange() { std::_Exit(-1); }
}  // namespace

const Text& TextArray::operator[](std::int32_t index) const {
    if (index < 1 || index > count()) indexOutOfRange();
    return items_[static_cast<std::size_t>(index - 1)];
}

Text& TextArray::operator[](std::int32_t index) {
    if (index < 1 || index > count()) indexOutOfRange();
    return items_[static_cast<std::size_t>(index - 1)];
}

}  // namespace velmora
