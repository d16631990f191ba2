#pragma once
// One HTTP exchange through the platform's HTTP request object
// ("WinHttp.WinHttpRequest.5.1"): prepare the request, send it synchronously
// and return the response body. The plain form fetchPage(url, 0) is a GET
// with the default headers and no cookie; a FetchExchange carries every
// optional setting in and every extra result out.
#include <cstdint>
#include <optional>

#include "common/automation.h"
#include "common/text.h"

namespace velmora {

struct FetchExchange {
    // ---- in ----
    Text bodyText;         // sent as text when bodyBytes is empty
    ByteBuffer bodyBytes;  // sent as a byte array; wins over bodyText
    bool noRedirect = false;
    Text proxy;                   // empty: no proxy (and no credentials)
    std::int32_t timeoutSeconds = 0;  // -1: the request object's defaults; 0 and below: 15 s
    Text proxyUser;
    Text proxyPassword;
    std::optional<std::int32_t> proxyCredentialTarget;  // omitted: 1 (the proxy); 0: the server
    std::optional<AutomationObject> requestObject;      // omitted: a fresh object for this call alone

    // ---- in and out ----
    Text cookies;  // sent as "Cookie"; on return merged with the response's cookies
    Text headers;  // request-header block (CR LF between lines); on return completed with the defaults

    // ---- out ----
    Text newCookies;       // this response's cookie pairs, joined by ";"
    Text responseHeaders;  // all response headers, "Set-Cookie" spelled so
    std::int32_t status = 0;
};

// `method`: 0 GET, 1 POST, 2 HEAD; any other code is GET. Returns the body,
// whatever the status, or the empty buffer. When the request object cannot
// be created nothing is sent and `exchange` is left as it was.
ByteBuffer fetchPage(const Text& url, std::int32_t method = 0, FetchExchange* exchange = nullptr);
inline ByteBuffer fetchPage(const Text& url, std::int32_t method, FetchExchange& exchange) {
    return fetchPage(url, method, &exchange);
}

}  // namespace velmora
