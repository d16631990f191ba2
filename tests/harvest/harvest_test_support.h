#pragma once
// Helpers shared by the harvest tests.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "common/wide.h"
#include "harvest/title_extraction.h"
#include "regex/regex_matcher.h"

namespace velmora::testing {

// The code page 936 form of a UTF-8 literal.
inline Text local(std::string_view utf8) { return fromWide(toWide(Text(utf8), CP_UTF8)); }

inline std::vector<Text> localTexts(const std::vector<std::string>& utf8) {
    std::vector<Text> texts;
    for (const std::string& each : utf8) texts.push_back(local(each));
    return texts;
}

inline ByteBuffer bytesOf(std::string_view bytes) { return ByteBuffer(bytes.data(), bytes.size()); }

// The titles collectTitles hands out for `searched`, in order.
inline std::vector<Text> titlesOf(RegexMatcher& matcher, const Text& searched) {
    std::vector<Text> titles;
    collectTitles(matcher, searched, [&titles](const Text& title) { titles.push_back(title); });
    return titles;
}

}  // namespace velmora::testing
