#include "web/header_lines.h"

#include <string>
#include <unordered_set>

#include "common/text_ops.h"

namespace velmora {
namespace {

// "#引号" in code page 936: the escape that stands for a double quote in a marker.
const Text kQuoteEscape("#\xD2\xFD\xBA\xC5");
const Text kDeletedSuffix("=deleted");

// The name of a header line splits at its first colon; -1 when it has none.
std::int32_t colonOf(const Text& line) { return findText(line, ":"); }

}  // namespace

Text headerName(const Text& line) {
    const std::int32_t colon = colonOf(line);
    if (colon < 0) return {};
    return trimSpaces(leftText(line, colon - 1));
}

Text headerValue(const Text& line) {
    const std::int32_t colon = colonOf(line);
    if (colon < 0) return {};
    return trimSpaces(rightText(line, line.length() - colon));
}

Text textBetween(const Text& text, const Text& startMarker, const Text& endMarker, std::int32_t startPosition,
                 bool ignoreCase) {
    const Text start = replaceText(startMarker, kQuoteEscape, "\"");
    const Text end = replaceText(endMarker, kQuoteEscape, "\"");
    std::int32_t from = findText(text, start, startPosition, ignoreCase);
    if (from < 0) return {};
    from += start.length();
    const std::int32_t to = findText(text, end, from, ignoreCase);
    if (to < 0) return {};
    return middleText(text, from, to - from);
}

Text cookieName(const Text& entry) {
    const std::int32_t equals = findText(entry, "=");
    return trimSpaces(equals < 0 ? entry : leftText(entry, equals - 1));
}

bool hasCookieName(const TextArray& entries, const Text& name) {
    for (const Text& entry : entries) {
        if (cookieName(entry) == name) return true;
    }
    return false;
}

std::int32_t indexOfText(const TextArray& list, const Text& text) {
    for (std::int32_t index = 1; index <= list.count(); ++index) {
        if (list[index] == text) return index;
    }
    return -1;
}

// The kept pieces are looked up in a set as well as listed, so that a huge
// cookie header costs linear time; the result is the same as searching the
// list of kept pieces with indexOfText.
Text joinDistinct(const Text& text, const Text& separator) {
    std::unordered_set<std::string> seen;
    std::string joined;
    for (const Text& piece : splitText(text, separator)) {
        if (!seen.insert(piece.str()).second) continue;
        joined += piece.view();
        joined += separator.view();
    }
    return leftText(Text(joined), static_cast<std::int32_t>(joined.size()) - separator.length());
}

Text mergeCookies(Text& cookies, Text& newCookies) {
    cookies = removeAllSpaces(cookies);
    newCookies = removeAllSpaces(newCookies);

    // The new entries first, all of them; then each old entry whose name is
    // not yet among the entries gathered so far (the same test as
    // hasCookieName on the list, kept in a set for the same reason as above).
    TextArray merged = splitText(newCookies, ";");
    std::unordered_set<std::string> names;
    for (const Text& entry : merged) names.insert(cookieName(entry).str());
    for (const Text& entry : splitText(cookies, ";")) {
        if (names.insert(cookieName(entry).str()).second) merged.append(entry);
    }

    std::string kept;
    for (const Text& entry : merged) {
        if (rightText(entry, kDeletedSuffix.length()) == kDeletedSuffix) continue;
        kept += entry.view();
        kept += "; ";
    }
    cookies = joinDistinct(leftText(Text(kept), static_cast<std::int32_t>(kept.size()) - 2), "; ");
    return cookies;
}

}  // namespace velmora
