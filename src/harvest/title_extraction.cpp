#include "harvest/title_extraction.h"

#include <string>
#include <string_view>

#include "common/text_ops.h"
#include "regex/regex_matcher.h"
#include "web/codepage.h"

namespace velmora {
namespace {

constexpr std::string_view kHeadingEnd = "</a></h3>";

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Does the heading end stand at `offset`, in any letter case? The bytes are
// compared one by one: it starts with "<", which is never the second byte
// of a double-byte character, and all its bytes are ASCII, so every byte
// occurrence is a real one.
bool headingEndAt(std::string_view text, std::size_t offset) {
    if (text.size() - offset < kHeadingEnd.size()) return false;
    for (std::size_t i = 0; i < kHeadingEnd.size(); ++i) {
        if (foldAscii(text[offset + i]) != kHeadingEnd[i]) return false;
    }
    return true;
}

// Length of `line` up to and including its last heading end; 0 when it has none.
std::size_t throughLastHeadingEnd(std::string_view line) {
    std::size_t kept = 0;
    for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
        if (headingEndAt(line, at)) kept = at + kHeadingEnd.size();
    }
    return kept;
}

// `text` without every occurrence of `tag`, recognised only where a
// character begins (a byte of 0x80 or above starts a two-byte character),
// going on right after each one; the same as replaceText with an empty
// replacement, copying runs rather than characters.
Text withoutEvery(const Text& text, std::string_view tag) {
    const std::string_view bytes = text.view();
    std::string kept;
    std::size_t copiedTo = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        if (bytes[at] == tag.front() && bytes.compare(at, tag.size(), tag) == 0) {
            kept.append(bytes, copiedTo, at - copiedTo);
            at += tag.size();
            copiedTo = at;
        } else {
            at += static_cast<std::size_t>(characterSize(text, static_cast<std::int32_t>(at)));
        }
    }
    if (copiedTo == 0) return text;
    kept.append(bytes, copiedTo);
    return Text(kept);
}

}  // namespace

Text pageText(const ByteBuffer& body) { return utf8ToLocal(Text::fromBytes(body.data(), body.bytes().size())); }

// The pattern's "." matches no line feed, so every match lies within one
// line and ends with that line's last heading end it can reach; what follows
// the last heading end of a line, and every line without one, can hold no
// part of a match.
Text headingLines(const Text& page) {
    const std::string_view text = page.view();
    std::string kept;
    for (std::size_t lineStart = 0; lineStart < text.size();) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        if (const std::size_t length = throughLastHeadingEnd(line); length > 0) {
            if (!kept.empty()) kept += '\n';
            kept += line.substr(0, length);
        }
        lineStart = lineEnd + 1;
    }
    return Text(kept);
}

Text withoutHighlightTags(const Text& title) { return withoutEvery(withoutEvery(title, "<em>"), "</em>"); }

void collectTitles(RegexMatcher& matcher, const Text& searched, const TitleSink& addTitle) {
    matcher.execute(titlePattern, searched);
    const std::int32_t count = matcher.matchCount();
    for (std::int32_t i = 1; i <= count; ++i) addTitle(withoutHighlightTags(matcher.subMatchText(i, 1)));
}

void extractTitles(RegexMatcher& matcher, const ByteBuffer& body, const TitleSink& addTitle) {
    collectTitles(matcher, headingLines(pageText(body)), addTitle);
}

}  // namespace velmora
