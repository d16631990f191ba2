#pragma once
// Late-bound automation: owners for BSTR, SAFEARRAY and VARIANT, and
// AutomationObject, a counted reference to an IDispatch object whose members
// are reached by name. Every failure is silent and gives an empty value;
// nothing throws across the COM boundary.
#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/text.h"
#include "common/wide.h"

namespace velmora {

class AutomationObject;

// An owned BSTR, freed with SysFreeString.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view wide);
    static Bstr fromText(const Text& text, UINT codePage = kTextCodePage) { return Bstr(toWide(text, codePage)); }
    Bstr(Bstr&& other) noexcept;
    Bstr& operator=(Bstr&& other) noexcept;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr();

    BSTR get() const { return bstr_; }
    BSTR release();
    std::wstring_view view() const;

private:
    BSTR bstr_ = nullptr;
};

// An owned SAFEARRAY, destroyed with SafeArrayDestroy.
class SafeArray {
public:
    SafeArray() = default;
    // A one-dimensional array of bytes (VT_UI1) holding `bytes`.
    static SafeArray ofBytes(const ByteBuffer& bytes);
    SafeArray(SafeArray&& other) noexcept;
    SafeArray& operator=(SafeArray&& other) noexcept;
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    ~SafeArray();

    SAFEARRAY* get() const { return array_; }
    SAFEARRAY* release();

private:
    explicit SafeArray(SAFEARRAY* array) : array_(array) {}
    SAFEARRAY* array_ = nullptr;
};

// An owned VARIANT, cleared with VariantClear; copies are deep (VariantCopy).
class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { VariantClear(&value_); }

    static Variant fromText(const Text& text, UINT codePage = kTextCodePage);
    static Variant fromWide(std::wstring_view wide);
    static Variant fromInt(std::int32_t value);
    static Variant fromBool(bool value);
    static Variant fromBytes(const ByteBuffer& bytes);  // VT_ARRAY | VT_UI1

    const VARIANT& get() const { return value_; }
    // The VARIANT emptied, for a callee to fill.
    VARIANT* out();
    VARTYPE type() const { return value_.vt; }
    bool empty() const { return value_.vt == VT_EMPTY || value_.vt == VT_NULL; }

    // Readings; each gives the empty value when the variant cannot be read so.
    std::wstring toWide() const;
    Text toText(UINT codePage = kTextCodePage) const { return velmora::fromWide(toWide(), codePage); }
    // A number truncated toward zero, clamped to the int32 range; 0 when not a number.
    std::int32_t toInt32() const;
    bool toBool() const;
    // The bytes of a byte array (VT_ARRAY | VT_UI1, also by reference).
    ByteBuffer toBytes() const;
    AutomationObject toObject() const;

private:
    VARIANT value_;
};

class AutomationObject {
public:
    AutomationObject() = default;
    // Takes a reference of its own to `object` (which may be null).
    explicit AutomationObject(IDispatch* object);
    // An object made from a programmatic identifier; empty when that fails.
    static AutomationObject create(std::wstring_view progId);

    AutomationObject(const AutomationObject& other) : AutomationObject(other.object_) {}
    AutomationObject& operator=(const AutomationObject& other);
    AutomationObject(AutomationObject&& other) noexcept;
    AutomationObject& operator=(AutomationObject&& other) noexcept;
    ~AutomationObject() { clear(); }

    void clear();
    bool empty() const { return object_ == nullptr; }
    IDispatch* get() const { return object_; }

    // Calls method `member` with `args` in their natural order; the result,
    // or nothing when the call failed.
    std::optional<Variant> call(std::wstring_view member, std::initializer_list<Variant> args = {}) const;
    std::optional<Variant> call(std::wstring_view member, std::span<const Variant> args) const;
    // Reads property `member`, indexed by `index` when given; empty on failure.
    Variant get(std::wstring_view member, std::initializer_list<Variant> index = {}) const;
    // Writes property `member` (indexed when `index` is given); true when it took.
    bool put(std::wstring_view member, const Variant& value, std::initializer_list<Variant> index = {}) const;

private:
    bool invoke(std::wstring_view member, WORD flags, std::span<const Variant> args, const Variant* putValue,
                Variant* result) const;

    IDispatch* object_ = nullptr;
};

}  // namespace velmora
