#pragma once
// Header lines and cookie strings. A header line is a name, a colon and a
// value ("Accept-Language: zh-cn"); the first colon ends the name. A cookie
// string is a run of entries joined by "; " ("id=42; lang=en"), an entry
// being a name, "=" and a value (or a name alone). Plain functions over
// Text: no state, any thread.
#include <cstdint>

#include "common/text.h"

namespace velmora {

// The bytes before the first ":", trimmed; empty when there is no colon.
Text headerName(const Text& line);
// The bytes after the first ":", trimmed; empty when there is no colon.
Text headerValue(const Text& line);

// The text between the first `startMarker` found from `startPosition` on and
// the first `endMarker` after it; empty when either is missing. "#引号" in a
// marker stands for a double quote.
Text textBetween(const Text& text, const Text& startMarker, const Text& endMarker, std::int32_t startPosition = 1,
                 bool ignoreCase = false);

// Merges the pairs of the latest response into the caller's cookie string:
// spaces are removed from both (written back), a new entry replaces every
// old one of its name, of several old entries of one name only the first
// stays, entries ending in "=deleted" go, and exact repeats go. `cookies`
// receives the merged string; the result is a copy of it.
Text mergeCookies(Text& cookies, Text& newCookies);

// The bytes before the first "=", trimmed (the whole entry when it has none).
Text cookieName(const Text& entry);
// Does some entry of `entries` have exactly this name?
bool hasCookieName(const TextArray& entries, const Text& name);
// `text` split at `separator`, each piece kept only the first time it
// occurs, joined again with `separator`.
Text joinDistinct(const Text& text, const Text& separator);
// 1-based index of the first element equal to `text`, or -1.
std::int32_t indexOfText(const TextArray& list, const Text& text);

}  // namespace velmora
