#include "common/automation.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace velmora {

// ---- Bstr ----------------------------------------------------------------

Bstr::Bstr(std::wstring_view wide) {
    if (wide.size() <= static_cast<std::size_t>(UINT_MAX / 2)) {
        bstr_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
}

Bstr::Bstr(Bstr&& other) noexcept : bstr_(std::exchange(other.bstr_, nullptr)) {}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        SysFreeString(bstr_);
        bstr_ = std::exchange(other.bstr_, nullptr);
    }
    return *this;
}

Bstr::~Bstr() { SysFreeString(bstr_); }

BSTR Bstr::release() { return std::exchange(bstr_, nullptr); }

std::wstring_view Bstr::view() const {
    return bstr_ ? std::wstring_view(bstr_, SysStringLen(bstr_)) : std::wstring_view();
}

// ---- SafeArray -------------------------------------------------------------

SafeArray SafeArray::ofBytes(const ByteBuffer& bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) return {};
    SafeArray owned(array);
    if (bytes.empty()) return owned;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return {};
    std::memcpy(data, bytes.data(), static_cast<std::size_t>(bytes.size()));
    SafeArrayUnaccessData(array);
    return owned;
}

SafeArray::SafeArray(SafeArray&& other) noexcept : array_(std::exchange(other.array_, nullptr)) {}

SafeArray& SafeArray::operator=(SafeArray&& other) noexcept {
    if (this != &other) {
        if (array_) SafeArrayDestroy(array_);
        array_ = std::exchange(other.array_, nullptr);
    }
    return *this;
}

SafeArray::~SafeArray() {
    if (array_) SafeArrayDestroy(array_);
}

SAFEARRAY* SafeArray::release() { return std::exchange(array_, nullptr); }

// ---- Variant ---------------------------------------------------------------

Variant::Variant(const Variant& other) {
    VariantInit(&value_);
    VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));  // clears the destination first
    return *this;
}

Variant::Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&value_);
        value_ = other.value_;
        VariantInit(&other.value_);
    }
    return *this;
}

VARIANT* Variant::out() {
    VariantClear(&value_);
    return &value_;
}

Variant Variant::fromText(const Text& text, UINT codePage) { return fromWide(velmora::toWide(text, codePage)); }

Variant Variant::fromWide(std::wstring_view wide) {
    Variant v;
    v.value_.vt = VT_BSTR;
    v.value_.bstrVal = Bstr(wide).release();
    return v;
}

Variant Variant::fromInt(std::int32_t value) {
    Variant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = value;
    return v;
}

Variant Variant::fromBool(bool value) {
    Variant v;
    v.value_.vt = VT_BOOL;
    v.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::fromBytes(const ByteBuffer& bytes) {
    Variant v;
    SafeArray array = SafeArray::ofBytes(bytes);
    if (array.get() == nullptr) return v;
    v.value_.vt = VT_ARRAY | VT_UI1;
    v.value_.parray = array.release();
    return v;
}

std::wstring Variant::toWide() const {
    if (value_.vt == VT_BSTR) {
        return value_.bstrVal ? std::wstring(value_.bstrVal, SysStringLen(value_.bstrVal)) : std::wstring();
    }
    Variant converted;
    if (FAILED(VariantChangeType(converted.out(), const_cast<VARIANT*>(&value_), 0, VT_BSTR)) || converted.value_.bstrVal == nullptr) return {};
    return std::wstring(converted.value_.bstrVal, SysStringLen(converted.value_.bstrVal));
}

std::int32_t Variant::toInt32() const {
    Variant converted;
    if (FAILED(VariantChangeType(converted.out(), const_cast<VARIANT*>(&value_), 0, VT_R8))) return 0;
    const double number = std::trunc(converted.value_.dblVal);
    if (std::isnan(number)) return 0;
    if (number >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (number <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<std::int32_t>(number);
}

bool Variant::toBool() const {
    Variant converted;
    if (FAILED(VariantChangeType(converted.out(), const_cast<VARIANT*>(&value_), 0, VT_BOOL))) return false;
    return converted.value_.boolVal != VARIANT_FALSE;
}

ByteBuffer Variant::toBytes() const {
    SAFEARRAY* array = nullptr;
    if (value_.vt == (VT_ARRAY | VT_UI1)) array = value_.parray;
    if (value_.vt == (VT_ARRAY | VT_UI1 | VT_BYREF) && value_.pparray) array = *value_.pparray;
    if (array == nullptr || SafeArrayGetDim(array) != 1) return {};
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)) || upper < lower) {
        return {};
    }
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return {};
    ByteBuffer bytes(data, static_cast<std::size_t>(upper - lower) + 1);
    SafeArrayUnaccessData(array);
    return bytes;
}

AutomationObject Variant::toObject() const {
    if (value_.vt == VT_DISPATCH) return AutomationObject(value_.pdispVal);
    if (value_.vt == (VT_DISPATCH | VT_BYREF) && value_.ppdispVal) return AutomationObject(*value_.ppdispVal);
    IUnknown* unknown = nullptr;
    if (value_.vt == VT_UNKNOWN) unknown = value_.punkVal;
    if (unknown == nullptr) return {};
    IDispatch* dispatch = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) return {};
    AutomationObject object(dispatch);
    dispatch->Release();
    return object;
}

// ---- AutomationObject ------------------------------------------------------

namespace {

// Frees the strings a failed Invoke may leave in its EXCEPINFO.
struct ExceptionInfo {
    EXCEPINFO info{};
    ExceptionInfo() = default;
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
};

}  // namespace

AutomationObject::AutomationObject(IDispatch* object) : object_(object) {
    if (object_) object_->AddRef();
}

AutomationObject AutomationObject::create(std::wstring_view progId) {
    const std::wstring id(progId);
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(id.c_str(), &clsid))) return {};
    IDispatch* dispatch = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&dispatch))) ||
        dispatch == nullptr) {
        return {};
    }
    AutomationObject object(dispatch);
    dispatch->Release();
    return object;
}

AutomationObject& AutomationObject::operator=(const AutomationObject& other) {
    if (this != &other) {
        if (other.object_) other.object_->AddRef();
        clear();
        object_ = other.object_;
    }
    return *this;
}

AutomationObject::AutomationObject(AutomationObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}

AutomationObject& AutomationObject::operator=(AutomationObject&& other) noexcept {
    if (this != &other) {
        clear();
        object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
}

void AutomationObject::clear() {
    if (object_) std::exchange(object_, nullptr)->Release();
}

bool AutomationObject::invoke(std::wstring_view member, WORD flags, std::span<const Variant> args,
                              const Variant* putValue, Variant* result) const {
    if (object_ == nullptr) return false;
    std::wstring name(member);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;

    // Invoke takes its arguments last first; a written value comes before them all.
    std::vector<VARIANTARG> reversed;
    reversed.reserve(args.size() + 1);
    if (putValue) reversed.push_back(putValue->get());
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->get());

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (putValue) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    ExceptionInfo exception;
    UINT badArgument = 0;
    Variant ignored;
    Variant* target = result ? result : &ignored;
    const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, putValue ? nullptr : target->out(),
                                       &exception.info, &badArgument);
    return SUCCEEDED(hr);
}

std::optional<Variant> AutomationObject::call(std::wstring_view member, std::span<const Variant> args) const {
    Variant result;
    if (!invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, nullptr, &result)) return std::nullopt;
    return result;
}

std::optional<Variant> AutomationObject::call(std::wstring_view member, std::initializer_list<Variant> args) const {
    return call(member, std::span<const Variant>(args.begin(), args.size()));
}

Variant AutomationObject::get(std::wstring_view member, std::initializer_list<Variant> index) const {
    Variant result;
    if (!invoke(member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::span<const Variant>(index.begin(), index.size()),
                nullptr, &result)) {
        return {};
    }
    return result;
}

bool AutomationObject::put(std::wstring_view member, const Variant& value, std::initializer_list<Variant> index) const {
    return invoke(member, DISPATCH_PROPERTYPUT, std::span<const Variant>(index.begin(), index.size()), &value, nullptr);
}

}  // namespace velmora
