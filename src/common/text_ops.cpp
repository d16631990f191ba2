#include "common/text_ops.h"

#include <string>

namespace velmora {
namespace {

unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool isLeadByte(unsigned char c) { return c >= 0x80; }

// Does `piece` stand in `text` at 0-based `offset`? Without case folding the
// bytes must be equal. With it both are walked by characters, and only
// single-byte characters are folded, so a trail byte that happens to be a
// letter is never taken for one.
bool matchesAt(const Text& text, std::int32_t offset, const Text& piece, bool ignoreCase) {
    if (offset + piece.length() > text.length()) return false;
    if (!ignoreCase) return text.view().compare(static_cast<std::size_t>(offset), piece.view().size(), piece.view()) == 0;
    std::int32_t t = offset;
    std::int32_t p = 0;
    while (p < piece.length()) {
        const std::int32_t size = characterSize(piece, p);
        if (characterSize(text, t) != size) return false;
        if (size == 1) {
            if (foldAscii(text.byteAt(t)) != foldAscii(piece.byteAt(p))) return false;
        } else if (text.byteAt(t) != piece.byteAt(p) || text.byteAt(t + 1) != piece.byteAt(p + 1)) {
            return false;
        }
        t += size;
        p += size;
    }
    return true;
}

bool isSpaceAt(const Text& text, std::int32_t offset) {
    const unsigned char c = text.byteAt(static_cast<std::size_t>(offset));
    if (c == ' ') return true;
    return c == 0xA1 && characterSize(text, offset) == 2 && text.byteAt(static_cast<std::size_t>(offset) + 1) == 0xA1;
}

Text slice(const Text& text, std::int32_t offset, std::int32_t size) {
    return Text(text.view().substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size)));
}

}  // namespace

std::int32_t characterSize(const Text& text, std::int32_t offset) {
    return (isLeadByte(text.byteAt(static_cast<std::size_t>(offset))) && offset + 1 < text.length()) ? 2 : 1;
}

std::int32_t findText(const Text& text, const Text& piece, std::int32_t start, bool ignoreCase) {
    const std::int32_t from = start < 1 ? 0 : start - 1;
    if (from >= text.length()) return -1;
    if (piece.empty()) return 1;
    for (std::int32_t offset = 0; offset < text.length(); offset += characterSize(text, offset)) {
        if (offset >= from && matchesAt(text, offset, piece, ignoreCase)) return offset + 1;
    }
    return -1;
}

TextArray splitText(const Text& text, const Text& separator) {
    TextArray pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.append(text);
        return pieces;
    }
    // One pass; a separator is only recognised where a character begins.
    std::int32_t pieceStart = 0;
    std::int32_t offset = 0;
    while (offset < text.length()) {
        if (matchesAt(text, offset, separator, false)) {
            pieces.append(slice(text, pieceStart, offset - pieceStart));
            offset += separator.length();
            pieceStart = offset;
        } else {
            offset += characterSize(text, offset);
        }
    }
    if (pieceStart < text.length()) pieces.append(slice(text, pieceStart, text.length() - pieceStart));
    return pieces;
}

Text replaceText(const Text& text, const Text& from, const Text& to, bool ignoreCase) {
    if (from.empty()) return text;
    std::string result;
    std::int32_t offset = 0;
    while (offset < text.length()) {
        if (matchesAt(text, offset, from, ignoreCase)) {
            result += to.view();
            offset += from.length();
        } else {
            const std::int32_t size = characterSize(text, offset);
            result += text.view().substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
            offset += size;
        }
    }
    return Text(result);
}

Text trimSpaces(const Text& text) {
    // Walk by characters, remembering where the first and after the last
    // non-space character stand.
    std::int32_t first = -1;
    std::int32_t end = 0;
    for (std::int32_t offset = 0; offset < text.length();) {
        const std::int32_t size = characterSize(text, offset);
        if (!isSpaceAt(text, offset)) {
            if (first < 0) first = offset;
            end = offset + size;
        }
        offset += size;
    }
    return first < 0 ? Text() : slice(text, first, end - first);
}

Text removeAllSpaces(const Text& text) {
    std::string result;
    for (std::int32_t offset = 0; offset < text.length();) {
        const std::int32_t size = characterSize(text, offset);
        if (!isSpaceAt(text, offset)) result += text.view().substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
        offset += size;
    }
    return Text(result);
}

Text leftText(const Text& text, std::int32_t n) {
    if (n <= 0) return {};
    return n >= text.length() ? text : slice(text, 0, n);
}

Text rightText(const Text& text, std::int32_t n) {
    if (n <= 0) return {};
    return n >= text.length() ? text : slice(text, text.length() - n, n);
}

Text middleText(const Text& text, std::int32_t p, std::int32_t n) {
    if (n <= 0 || p < 1 || p > text.length()) return {};
    const std::int32_t available = text.length() - (p - 1);
    return slice(text, p - 1, n < available ? n : available);
}

Text joinTexts(const TextArray& parts, const Text& separator) {
    std::string result;
    bool first = true;
    for (const Text& part : parts) {
        if (!first) result += separator.view();
        result += part.view();
        first = false;
    }
    return Text(result);
}

}  // namespace velmora
