#pragma once
// Operations on Text. Positions and lengths count bytes, positions start at 1
// and a search that finds nothing gives -1. Searching, splitting, replacing
// and trimming step through a text by code page 936 characters (a byte of
// 0x80 or above starts a two-byte character), so a match never begins on the
// second byte of a double-byte character. Comparisons are byte-exact unless a
// case-insensitive search is asked for, which folds only the ASCII letters.
#include <cstdint>

#include "common/text.h"

namespace velmora {

// Bytes in the character that starts at 0-based `offset` (1 or 2; 1 for a
// lead byte that has nothing after it).
std::int32_t characterSize(const Text& text, std::int32_t offset);

// Position of the first occurrence of `piece` at or after `start` (1 and
// below: the first byte), or -1. An empty piece counts as found at 1 while
// any text remains from `start` on.
std::int32_t findText(const Text& text, const Text& piece, std::int32_t start = 1, bool ignoreCase = false);

// Cuts at every occurrence of `separator`. Empty pieces between separators
// and before a leading separator stay; an empty piece after a trailing
// separator does not. An empty text gives no pieces; an empty separator
// gives the whole text as one piece.
TextArray splitText(const Text& text, const Text& separator);

// Every occurrence of `from` replaced by `to`, scanning from the first byte.
Text replaceText(const Text& text, const Text& from, const Text& to, bool ignoreCase = false);

// Without ASCII spaces and full-width spaces (0xA1 0xA1) at both ends;
// tabs, CR and LF stay.
Text trimSpaces(const Text& text);

// Without any ASCII space or full-width space, wherever it stands.
Text removeAllSpaces(const Text& text);

// The first / last n bytes: the whole text when n reaches its length, empty
// when n is 0 or less.
Text leftText(const Text& text, std::int32_t n);
Text rightText(const Text& text, std::int32_t n);

// n bytes from position p: the rest when fewer remain; empty when p lies
// outside the text or n is 0 or less.
Text middleText(const Text& text, std::int32_t p, std::int32_t n);

// The texts of `parts`, joined with `separator` between them.
Text joinTexts(const TextArray& parts, const Text& separator);

}  // namespace velmora
