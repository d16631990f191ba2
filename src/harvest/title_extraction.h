#pragma once
// Picking the result titles out of one search-result page. The harvest and
// the titles tool both go through extractTitles, so the tool shows exactly
// what a cycle would queue.
#include "common/text.h"
#include "harvest/harvest.h"

namespace velmora {

class RegexMatcher;

// A title is everything between the first ">" of a line and the last
// closing link-and-heading pair on it.
inline const Text titlePattern = ">(.*)</a></h3>";

// The response body as code page 936 text: its bytes up to the first zero
// byte, converted from UTF-8.
Text pageText(const ByteBuffer& body);

// The only lines of `page` on which the title pattern can match, each cut
// just after its last "</a></h3>" (any letter case), joined by line feeds.
// The pattern finds exactly the same titles in it as in the whole page, but
// never spends time on the rest of a long line; on a long minified line with
// many ">" and no heading the component's search grows with the square of
// the line's length.
Text headingLines(const Text& page);

// `title` without "<em>", then without "</em>"; tags in capitals stay.
Text withoutHighlightTags(const Text& title);

// Runs the title pattern over `searched` and hands each match's title,
// highlight tags removed, to `addTitle` in match order.
void collectTitles(RegexMatcher& matcher, const Text& searched, const TitleSink& addTitle);

// The whole extraction of one response body: pageText, headingLines, collectTitles.
void extractTitles(RegexMatcher& matcher, const ByteBuffer& body, const TitleSink& addTitle);

}  // namespace velmora
