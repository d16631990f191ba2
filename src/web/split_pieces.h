#pragma once
// Cutting a text at a separator in one pass. It gives what splitText gives
// (empty pieces between separators and before a leading one stay, none after
// a trailing one, no pieces for an empty text), but walks the text once:
// splitText searches each piece from the first byte again, which makes a
// response with thousands of header lines or cookie entries cost quadratic time.
#include "common/text.h"

namespace velmora {

TextArray splitPieces(const Text& text, const Text& separator);

}  // namespace velmora
