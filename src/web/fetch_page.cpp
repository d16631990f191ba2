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

void setTimeouts(const AutomationObject& request, std::int32_t timeoutSeconds) {
    const auto ms = timeoutMilliseconds(timeoutSeconds);
    if (!ms) return;
    const Variant each = Variant::fromInt(*ms);
    request.call(L"SetTimeouts", {each, each, each, each});
}

void setProxy(const AutomationObject& request, const FetchExchange& in) {
    if (in.proxy.empty()) return;
    request.call(L"SetProxy", {Variant::fromInt(kProxyNamed), Variant::fromText(in.proxy)});
    if (in.proxyUser.empty()) return;
    request.call(L"SetCredentials", {Variant::fromText(in.proxyUser), Variant::fromText(in.proxyPassword),
                                     Variant::fromInt(in.proxyCredentialTarget.value_or(kCredentialsForProxy))});
}

// A name or value holding CR or LF is not handed on: it could start a
// header line of its own.
void setRequestHeader(const AutomationObject& request, const Text& name, const Text& value) {
    if (!isSafeHeaderPart(name) || !isSafeHeaderPart(value)) return;
    request.call(L"SetRequestHeader", {Variant::fromText(name), Variant::fromText(value)});
}

void send(const AutomationObject& request, const FetchExchange& in) {
    if (!in.bodyBytes.empty()) {
        request.call(L"Send", {Variant::fromBytes(in.bodyBytes)});
    } else {
        request.call(L"Send", {Variant::fromText(in.bodyText)});
    }
}

ByteBuffer exchangeWith(const AutomationObject& request, const Text& url, std::int32_t method, FetchExchange& io) {
    setTimeouts(request, io.timeoutSeconds);
    setProxy(request, io);
    request.call(L"Open", {Variant::fromText(methodName(method)), Variant::fromText(url), Variant::fromBool(false)});
    if (io.noRedirect) request.put(L"Option", Variant::fromInt(0), {Variant::fromInt(kOptionFollowRedirects)});
    request.put(L"Option", Variant::fromInt(kCertErrorsToIgnore), {Variant::fromInt(kOptionIgnoreCertErrors)});

    io.headers = withDefaultHeaders(io.headers, url);
    if (!io.cookies.empty()) setRequestHeader(request, "Cookie", io.cookies);
    for (const Text& line : requestHeaderLines(io.headers)) {
        setRequestHeader(request, headerName(line), headerValue(line));
    }
    send(request, io);

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
