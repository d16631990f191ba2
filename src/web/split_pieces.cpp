#include "web/split_pieces.h"

#include "common/text_ops.h"

namespace velmora {

TextArray splitPieces(const Text& text, const Text& separator) {
    TextArray pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.append(text);
        return pieces;
    }
    const std::string_view bytes = text.view();
    const std::string_view sep = separator.view();
    std::size_t pieceStart = 0;
    std::size_t offset = 0;
    // A separator may only begin where a character begins.
    while (offset < bytes.size()) {
        if (bytes.compare(offset, sep.size(), sep) == 0) {
            pieces.append(Text(bytes.substr(pieceStart, offset - pieceStart)));
            offset += sep.size();
            pieceStart = offset;
        } else {
            offset += static_cast<std::size_t>(characterSize(text, static_cast<std::int32_t>(offset)));
        }
    }
    if (pieceStart < bytes.size()) pieces.append(Text(bytes.substr(pieceStart)));
    return pieces;
}

}  // namespace velmora
