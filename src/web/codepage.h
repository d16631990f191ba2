#pragma once
// Code-page conversion by way of UTF-16.
#include <cstdint>

#include "common/text.h"

namespace velmora {

// A Text holding UTF-8 bytes, converted to code page 936.
Text utf8ToLocal(const Text& text);
// Multi-byte text to UTF-16LE units, terminator included (code page omitted: 65001).
ByteBuffer textToWide(const Text& text, std::uint32_t codePage = 65001);
// UTF-16LE units to multi-byte text (code page omitted: 0, the system's ANSI code page).
Text wideToText(const ByteBuffer& wide, std::uint32_t codePage = 0);

}  // namespace velmora
