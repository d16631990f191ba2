#pragma once
// RegexMatcher: runs a regular expression over a Text through the system's
// scripting regular-expression component ("VBScript.RegExp", reached late-bound)
// and hands out the matches and groups of its last run. Indices count from 1.
//
// A matcher belongs to the thread that made it: construction initialises COM
// there and destruction undoes it, so both must happen on that thread.
#include <cstdint>

#include "common/automation.h"
#include "common/text.h"
#include "common/win_handle.h"

namespace velmora {

class RegexMatcher {
public:
    RegexMatcher() = default;
    ~RegexMatcher();
    RegexMatcher(const RegexMatcher&) = delete;
    RegexMatcher& operator=(const RegexMatcher&) = delete;

    // Runs `pattern` over `subject` with a new component instance. With
    // `quoteEscape` every "#引号" in the pattern stands for a double quote.
    // True when the component returned a match collection, even an empty one;
    // false when it refused the pattern or could not be created.
    bool execute(const Text& pattern, const Text& subject, bool caseSensitive = false, bool multiline = true,
                 bool global = true, bool quoteEscape = false);

    // The pattern the component holds; empty before the first execute.
    Text pattern() const;
    // The last subject with its matches replaced (group references expanded);
    // empty before the first execute or when the component fails.
    Text replace(const Text& replacement) const;

    // Number of matches of the last execute; 0 when it failed or before any.
    std::int32_t matchCount() const;
    // Match `index`; empty when there is none. `bytePosition`, when given,
    // receives the match's 0-based byte offset in the subject, -1 for none.
    Text matchText(std::int32_t index, std::int32_t* bytePosition = nullptr) const;
    // Group `groupIndex` of match `matchIndex`; empty when there is none or the
    // group took no part. The component gives groups no position, so
    // `bytePosition` receives the first occurrence of the group's text from
    // the match's start on (0-based bytes), -1 when there is none.
    Text subMatchText(std::int32_t matchIndex, std::int32_t groupIndex, std::int32_t* bytePosition = nullptr) const;
    // Number of groups of the first match; 0 when there is no match.
    std::int32_t subMatchCount() const;

private:
    AutomationObject match(std::int32_t index) const;
    // The subject in code page 936, as the positions count it.
    Text subjectText() const;
    std::int32_t matchStartByte(const AutomationObject& found) const;

    // Declared first so that it outlives every object below: COM stays
    // initialised until the component's objects are released.
    ComApartment apartment_;
    AutomationObject regExpObject;
    AutomationObject matchCollection;
    ByteBuffer lastSubject;  // UTF-16LE, one terminating NUL character included
};

}  // namespace velmora
