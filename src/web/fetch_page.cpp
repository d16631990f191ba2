#include "web/fetch_page.h"

#include "common/text_ops.h"
#include "common/win_handle.h"
#include "web/fetch_text.h"
#include "web/header_lines.h"

namespace velmora {
namespace {

constexpr wchar_t kRequestProgId[] = L"WinHttp.WinHttpRequest.5.1";
constexpr std::int32_t kProxyNamed = 2;                // "SetProxy": use the named proxy server
constexpr std::int32_t kCredentialsForProxy = 1;       // "SetCredentials" target when none is given
constexpr std::int32_t kOptionIgnoreCertErrors = 4;    // "Option" index: certificate errors to ignore
constexpr std::int32_t kOptionFollowRedirects = 6;     // "Option" index: follow redirects
constexpr std::int32_t kCertErrorsToIgnore = 0x3300;   // unknown CA, wrong usage, bad common name, bad date
constexpr bool kAsynchronous = true;                    // "Open": the send is waited for in sendAndWait

void setTimeouts(const AutomationObject& request, std::int32_t timeoutSeconds) {
    const auto ms = timeoutMilliseconds(timeoutSeconds);
    if (!ms) return;
    const Variant each = Variant::fromInt(*ms);
    request.call(L"SetTimeouts", {each, each, each, each});
}

void setProxy(const AutomationObject& request, const Text& proxy) {
    if (proxy.empty()) return;
    request.call(L"SetProxy", {Variant::fromInt(kProxyNamed), Variant::fromText(proxy)});
}

// Credentials go with a proxy only. The request object takes them once it is
// open (before that it refuses them).
void setCredentials(const AutomationObject& request, const FetchExchange& in) {
    if (in.proxy.empty() || in.proxyUser.empty()) return;
    request.call(L"SetCredentials", {Variant::fromText(in.proxyUser), Variant::fromText(in.proxyPassword),
                                     Variant::fromInt(in.proxyCredentialTarget.value_or(kCredentialsForProxy))});
}

// A name or value holding CR or LF is not handed on: it could start a
// header line of its own.
void setRequestHeader(const AutomationObject& request, const Text& name, const Text& value) {
    if (!isSafeHeaderPart(name) || !isSafeHeaderPart(value)) return;
    request.call(L"SetRequestHeader", {Variant::fromText(name), Variant::fromText(value)});
}

// Sends and waits for the whole response. The request is opened for an
// asynchronous send and waited for here, so that the time-outs bound the
// exchange even where the request object does not apply them to a
// synchronous send (Wine's waits for an answer without end); an exchange
// that outlasts all four phases together is aborted, and the reads that
// follow yield nothing.
void sendAndWait(const AutomationObject& request, const FetchExchange& in) {
    const Variant body = in.bodyBytes.empty() ? Variant::fromText(in.bodyText) : Variant::fromBytes(in.bodyBytes);
    if (!request.call(L"Send", {body})) return;
    const auto limit = exchangeWaitSeconds(in.timeoutSeconds);
    const auto done = limit ? request.call(L"WaitForResponse", {Variant::fromInt(*limit)}) : request.call(L"WaitForResponse");
    if (done && !done->toBool()) request.call(L"Abort");
}

ByteBuffer exchangeWith(const AutomationObject& request, const Text& url, std::int32_t method, FetchExchange& io) {
    setTimeouts(request, io.timeoutSeconds);
    setProxy(request, io.proxy);
    request.call(L"Open", {Variant::fromText(methodName(method)), Variant::fromText(url), Variant::fromBool(kAsynchronous)});
    setCredentials(request, io);
    if (io.noRedirect) request.put(L"Option", Variant::fromInt(0), {Variant::fromInt(kOptionFollowRedirects)});
    request.put(L"Option", Variant::fromInt(kCertErrorsToIgnore), {Variant::fromInt(kOptionIgnoreCertErrors)});

    io.headers = withDefaultHeaders(io.headers, url);
    if (!io.cookies.empty()) setRequestHeader(request, "Cookie", io.cookies);
    for (const Text& line : requestHeaderLines(io.headers)) {
        setRequestHeader(request, headerName(line), headerValue(line));
    }
    sendAndWait(request, io);

    ByteBuffer body = request.get(L"ResponseBody").toBytes();
    const auto allHeaders = request.call(L"GetallResponseHeaders");
    io.responseHeaders = normaliseSetCookie(allHeaders ? allHeaders->toText() : Text());
    io.status = request.get(L"Status").toInt32();
    io.newCookies = responseCookies(io.responseHeaders);
    mergeCookies(io.cookies, io.newCookies);
    return body;
}

}  // namespace

ByteBuffer fetchPage(const Text& url, std::int32_t method, FetchExchange* exchange) {
    const ComApartment apartment;
    // The request object is released before the apartment (declared after it).
    const AutomationObject request = (exchange && exchange->requestObject) ? *exchange->requestObject
                                                                           : AutomationObject::create(kRequestProgId);
    const bool lent = exchange && exchange->requestObject;
    if (request.empty() && !lent) return {};

    FetchExchange scratch;
    FetchExchange& io = exchange ? *exchange : scratch;
    return exchangeWith(request, url, method, io);
}

}  // namespace velmora
