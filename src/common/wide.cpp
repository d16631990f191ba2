#include "common/wide.h"

#include <climits>
#include <vector>

namespace velmora {

std::wstring toWide(const Text& text, UINT codePage) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(codePage, 0, text.c_str(), text.length(), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), text.length(), wide.data(), size);
    return wide;
}

Text fromWide(std::wstring_view wide, UINT codePage) {
    if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX / 2)) return {};
    const int units = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(codePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::vector<char> bytes(static_cast<std::size_t>(size));
    WideCharToMultiByte(codePage, 0, wide.data(), units, bytes.data(), size, nullptr, nullptr);
    return Text(std::string_view(bytes.data(), bytes.size()));
}

}  // namespace velmora
