#pragma once
// The text work of one page fetch, apart from the request object: the method
// name, the default request headers, the time-out rule, and reading the
// cookies out of the response headers.
#include <cstdint>
#include <optional>

#include "common/text.h"

namespace velmora {

// "GET" for 0, "POST" for 1, "HEAD" for 2; any other code counts as 0.
Text methodName(std::int32_t method);

// `headers` (lines joined by CR LF) completed with the defaults that it does
// not name yet: Accept, Referer (`url`), Accept-Language, User-Agent and
// Content-Type, in that order. A default is left out when its name with the
// colon occurs anywhere in the block (case-sensitive).
Text withDefaultHeaders(const Text& headers, const Text& url);

// The lines of a header block to set one by one: the block itself when it
// holds no CR LF, otherwise its non-empty lines.
TextArray requestHeaderLines(const Text& headers);

// A header name or value that may be handed on: one holding CR or LF would
// let a value start a header line of its own.
bool isSafeHeaderPart(const Text& part);

// Milliseconds for all four phases of the exchange: none for -1 (the request
// object's own defaults stand), seconds × 1000 for 1 and more (at most the
// largest 32-bit value), 15000 otherwise.
std::optional<std::int32_t> timeoutMilliseconds(std::int32_t timeoutSeconds);

// Whole seconds to wait for the whole exchange: the four phases' time-outs
// added up (rounded up, at most the largest 32-bit value), or no limit for -1.
std::optional<std::int32_t> exchangeWaitSeconds(std::int32_t timeoutSeconds);

// Every "Set-Cookie", in whatever letter case, spelled "Set-Cookie".
Text normaliseSetCookie(const Text& responseHeaders);

// The cookie pairs of the (normalised) response headers, joined by "; ":
// from each "Set-Cookie" line the text after "Set-Cookie:" up to the first
// ";", trimmed.
Text responseCookies(const Text& responseHeaders);

}  // namespace velmora
