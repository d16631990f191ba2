#include "web/fetch_text.h"

#include <algorithm>
#include <limits>
#include <string>

#include "common/text_ops.h"
#include "web/header_lines.h"

namespace velmora {
namespace {

const Text kLineBreak("\r\n");
const Text kSetCookie("Set-Cookie");

struct DefaultHeader {
    Text test;  // the name with its colon, searched anywhere in the block
    Text line;  // appended when the test finds nothing
};

}  // namespace

Text methodName(std::int32_t method) {
    switch (method) {
        case 1: return "POST";
        case 2: return "HEAD";
        default: return "GET";
    }
}

Text withDefaultHeaders(const Text& headers, const Text& url) {
    Text block = headers.empty() ? Text("Accept: */*") : headers;
    const DefaultHeader defaults[] = {
        {"Accept:", "\r\nAccept: */*"},
        {"Referer:", Text("\r\nReferer: ") + url},
        {"Accept-Language:", "\r\nAccept-Language: zh-cn"},
        {"User-Agent:", "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
        {"Content-Type:", "\r\nContent-Type: application/x-www-form-urlencoded"},
    };
    for (const auto& header : defaults) {
        if (findText(block, header.test) < 0) block += header.line;
    }
    return block;
}

TextArray requestHeaderLines(const Text& headers) {
    if (findText(headers, kLineBreak) < 0) return TextArray{headers};
    TextArray lines;
    for (const Text& line : splitText(headers, kLineBreak)) {
        if (!line.empty()) lines.append(line);
    }
    return lines;
}

bool isSafeHeaderPart(const Text& part) {
    return part.view().find_first_of("\r\n") == std::string_view::npos;
}

std::optional<std::int32_t> timeoutMilliseconds(std::int32_t timeoutSeconds) {
    constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();
    if (timeoutSeconds == -1) return std::nullopt;
    if (timeoutSeconds < 1) return 15000;
    if (timeoutSeconds > kLargest / 1000) return kLargest;
    return timeoutSeconds * 1000;
}

std::optional<std::int32_t> exchangeWaitSeconds(std::int32_t timeoutSeconds) {
    const auto ms = timeoutMilliseconds(timeoutSeconds);
    if (!ms) return std::nullopt;
    const std::int64_t seconds = (4 * static_cast<std::int64_t>(*ms) + 999) / 1000;
    return static_cast<std::int32_t>(std::min<std::int64_t>(seconds, std::numeric_limits<std::int32_t>::max()));
}

Text normaliseSetCookie(const Text& responseHeaders) {
    return replaceText(responseHeaders, kSetCookie, kSetCookie, true);
}

Text responseCookies(const Text& responseHeaders) {
    std::string pairs;
    for (const Text& line : splitText(responseHeaders, kLineBreak)) {
        if (findText(line, kSetCookie) < 0) continue;
        const Text pair = findText(line, ";") < 0 ? replaceText(line, "Set-Cookie:", "", true)
                                                  : textBetween(line, "Set-Cookie:", ";");
        pairs += trimSpaces(pair).view();
        pairs += "; ";
    }
    return leftText(Text(pairs), static_cast<std::int32_t>(pairs.size()) - 2);
}

}  // namespace velmora
