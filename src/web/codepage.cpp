#include "web/codepage.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace velmora {
namespace {

constexpr std::uint32_t kUtf8 = 65001;
constexpr std::uint32_t kTextCodePage = 936;

// The source length to hand to WideCharToMultiByte: -1 (up to and including
// the terminator) when the buffer holds a zero unit, else its whole length,
// so that a buffer without a terminator is never read past its end.
int sourceLength(const ByteBuffer& wide) {
    const std::size_t units = static_cast<std::size_t>(wide.size()) / 2;
    for (std::size_t i = 0; i < units; ++i) {
        if (wide.data()[2 * i] == 0 && wide.data()[2 * i + 1] == 0) return -1;
    }
    return static_cast<int>(units);
}

}  // namespace

Text utf8ToLocal(const Text& text) {
    const ByteBuffer wide = textToWide(text);
    return wideToText(wide, kTextCodePage);
}

ByteBuffer textToWide(const Text& text, std::uint32_t codePage) {
    // Measure (terminator included), then convert into a buffer of that size.
    const int units = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 0 || units > INT_MAX / 2) return {};
    ByteBuffer wide = ByteBuffer::zeroed(static_cast<std::size_t>(units) * 2);
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, reinterpret_cast<LPWSTR>(wide.data()), units);
    return wide;
}

Text wideToText(const ByteBuffer& wide, std::uint32_t codePage) {
    const int length = sourceLength(wide);
    if (length == 0) return {};
    // The buffer's storage comes from the allocator, so it is aligned for wide characters.
    const auto* units = reinterpret_cast<LPCWCH>(wide.data());
    const int bytes = WideCharToMultiByte(codePage, 0, units, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0 || bytes > INT_MAX / 2) return {};
    std::vector<char> text(static_cast<std::size_t>(bytes) * 2);
    const int written = WideCharToMultiByte(codePage, 0, units, length, text.data(), bytes * 2, nullptr, nullptr);
    if (written <= 0) return {};
    // Up to the first zero byte: the terminator, or a zero unit of the source.
    return Text::fromBytes(text.data(), static_cast<std::size_t>(written));
}

}  // namespace velmora
