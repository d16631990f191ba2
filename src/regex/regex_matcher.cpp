#include "regex/regex_matcher.h"

#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_ops.h"
#include "common/wide.h"

namespace velmora {
namespace {

constexpr std::wstring_view kProgId = L"VBScript.RegExp";
// "#引号" in code page 936, and the double quote it stands for.
const Text kQuoteMark = "#\xD2\xFD\xBA\xC5";
const Text kDoubleQuote = "\"";

// UTF-16 to code page 936 with composite characters (a base character and a
// non-spacing mark) folded into precomposed ones where the code page has them.
Text toLocalFolded(std::wstring_view wide) {
    if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX / 2)) return {};
    const int units = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(kTextCodePage, WC_COMPOSITECHECK, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return fromWide(wide);
    std::vector<char> bytes(static_cast<std::size_t>(size));
    WideCharToMultiByte(kTextCodePage, WC_COMPOSITECHECK, wide.data(), units, bytes.data(), size, nullptr, nullptr);
    return Text(std::string_view(bytes.data(), bytes.size()));
}

// The subject as UTF-16LE bytes followed by one NUL character.
ByteBuffer terminatedUtf16(const Text& subject) {
    std::wstring wide = toWide(subject);
    wide.push_back(L'\0');
    ByteBuffer bytes = ByteBuffer::zeroed(wide.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), wide.data(), wide.size() * sizeof(wchar_t));
    return bytes;
}

// The UTF-16 units of `bytes` without the terminating NUL character.
std::wstring unitsWithoutTerminator(const ByteBuffer& bytes) {
    std::wstring wide(static_cast<std::size_t>(bytes.size()) / sizeof(wchar_t), L'\0');
    if (!wide.empty()) std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
    if (!wide.empty() && wide.back() == L'\0') wide.pop_back();
    return wide;
}

// The subject as the component is handed it: a byte array that the
// automation layer turns into a string byte for byte, so the string ends in
// the one NUL character of the bytes.
Variant subjectArgument(const ByteBuffer& bytes) { return Variant::fromBytes(bytes); }

}  // namespace

RegexMatcher::~RegexMatcher() {
    regExpObject.clear();
    matchCollection.clear();
    lastSubject = ByteBuffer();
}

bool RegexMatcher::execute(const Text& pattern, const Text& subject, bool caseSensitive, bool multiline, bool global,
                           bool quoteEscape) {
    regExpObject.clear();
    matchCollection.clear();
    regExpObject = AutomationObject::create(kProgId);

    regExpObject.put(L"IgnoreCase", Variant::fromBool(!caseSensitive));
    regExpObject.put(L"Multiline", Variant::fromBool(multiline));
    regExpObject.put(L"Singleline", Variant::fromBool(true));  // no such property: fails, "." keeps its meaning
    regExpObject.put(L"Global", Variant::fromBool(global));
    regExpObject.put(L"Pattern", Variant::fromText(quoteEscape ? replaceText(pattern, kQuoteMark, kDoubleQuote) : pattern));

    lastSubject = terminatedUtf16(subject);
    std::optional<Variant> found = regExpObject.call(L"Execute", {subjectArgument(lastSubject)});
    if (found) matchCollection = found->toObject();
    return !matchCollection.empty();
}

Text RegexMatcher::pattern() const { return regExpObject.get(L"Pattern").toText(); }

Text RegexMatcher::replace(const Text& replacement) const {
    std::optional<Variant> result =
        regExpObject.call(L"Replace", {subjectArgument(lastSubject), Variant::fromText(replacement)});
    return result ? result->toText() : Text();  // the text ends at the subject's terminator
}

std::int32_t RegexMatcher::matchCount() const { return matchCollection.get(L"Count").toInt32(); }

AutomationObject RegexMatcher::match(std::int32_t index) const {
    if (index < 1) return {};
    return matchCollection.get(L"Item", {Variant::fromInt(index - 1)}).toObject();
}

Text RegexMatcher::subjectText() const { return toLocalFolded(unitsWithoutTerminator(lastSubject)); }

std::int32_t RegexMatcher::matchStartByte(const AutomationObject& found) const {
    if (found.empty()) return -1;
    const std::wstring units = unitsWithoutTerminator(lastSubject);
    const std::int32_t firstIndex = found.get(L"FirstIndex").toInt32();
    if (firstIndex < 0 || static_cast<std::size_t>(firstIndex) > units.size()) return -1;
    return toLocalFolded(std::wstring_view(units).substr(0, static_cast<std::size_t>(firstIndex))).length();
}

Text RegexMatcher::matchText(std::int32_t index, std::int32_t* bytePosition) const {
    const AutomationObject found = match(index);
    const Text text = toLocalFolded(found.get(L"Value").toWide());
    if (bytePosition) *bytePosition = matchStartByte(found);
    return text;
}

Text RegexMatcher::subMatchText(std::int32_t matchIndex, std::int32_t groupIndex, std::int32_t* bytePosition) const {
    const AutomationObject found = match(matchIndex);
    const AutomationObject groups = found.get(L"SubMatches").toObject();
    const Variant group = groupIndex < 1 ? Variant() : groups.get(L"Item", {Variant::fromInt(groupIndex - 1)});
    const Text text = group.toText();
    if (bytePosition) {
        const std::int32_t start = matchStartByte(found);
        if (start < 0 || group.type() == VT_EMPTY) {
            *bytePosition = -1;
        } else {
            const std::int32_t at = text.empty() ? start + 1 : findText(subjectText(), text, start + 1);
            *bytePosition = at < 0 ? -1 : at - 1;
        }
    }
    return text;
}

std::int32_t RegexMatcher::subMatchCount() const { return match(1).get(L"SubMatches").toObject().get(L"Count").toInt32(); }

}  // namespace velmora
