#include "clockspeed_windows.h"

#include <initializer_list>
#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>
#include <vector>
#include <windows.h>

namespace zentaro::platform {

std::unique_ptr<ClockSpeedSource> CreateClockSpeedSource(const std::string&) {
    return std::make_unique<windows_impl::WmiClockSpeed>();
}

namespace windows_impl {

namespace {

// COM for this thread for the length of one query, if it had none.
class Apartment {
public:
    Apartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~Apartment() {
        // S_FALSE (already in this apartment) counts too and must be balanced;
        // RPC_E_CHANGED_MODE (another kind of apartment) is used as it is.
        if (initialised_)
            ::CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    bool initialised_;
};

// An owned interface pointer, released with its owner.
template <typename T> class Ref {
public:
    Ref() = default;
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    void reset() {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }
    T* get() const { return p_; }
    T** out() {
        reset();
        return &p_;
    }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A VARIANT cleared with its owner.
class Variant {
public:
    Variant() { ::VariantInit(&v_); }
    ~Variant() { ::VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &v_; }
    const VARIANT& operator*() const { return v_; }

private:
    VARIANT v_;
};

// A text argument, freed after the call.
class TextArgument {
public:
    explicit TextArgument(const std::wstring& text) {
        ::VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    ~TextArgument() { ::VariantClear(&v_); }
    TextArgument(const TextArgument&) = delete;
    TextArgument& operator=(const TextArgument&) = delete;
    bool ok() const { return v_.bstrVal != nullptr; }
    const VARIANT& get() const { return v_; }

private:
    VARIANT v_;
};

// Calls a member by its number with arguments in their written order.
bool InvokeId(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args,
              Variant& result) {
    // Automation takes the arguments last first.
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(),
                                    nullptr, nullptr));
}

// Calls a member by its name: a method, or a property read.
bool Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
            Variant& result) {
    if (!object)
        return false;
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return false;
    return InvokeId(object, id, flags, std::move(args), result);
}

// The object a result holds, if it holds one.
IDispatch* ObjectOf(const Variant& v) {
    return (*v).vt == VT_DISPATCH ? (*v).pdispVal : nullptr;
}

int Query(const WmiClockQuery& q) {
    CLSID locatorClass{};
    if (FAILED(::CLSIDFromProgID(q.locator.c_str(), &locatorClass)))
        return -1; // not registered
    Ref<IDispatch> locator;
    if (FAILED(::CoCreateInstance(locatorClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_IDispatch, reinterpret_cast<void**>(locator.out()))))
        return -1;

    const TextArgument server(q.server), nameSpace(q.nameSpace), query(q.query);
    if (!server.ok() || !nameSpace.ok() || !query.ok())
        return -1;
    Variant services;
    if (!Invoke(locator.get(), L"ConnectServer", DISPATCH_METHOD, {server.get(), nameSpace.get()},
                services))
        return -1;
    Variant items;
    if (!Invoke(ObjectOf(services), L"ExecQuery", DISPATCH_METHOD, {query.get()}, items))
        return -1;

    // The collection's enumerator, its _NewEnum member.
    IDispatch* collection = ObjectOf(items);
    Variant enumerator;
    if (!collection || !InvokeId(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                 {}, enumerator))
        return -1;
    IUnknown* unknown = nullptr;
    if ((*enumerator).vt == VT_UNKNOWN)
        unknown = (*enumerator).punkVal;
    else if ((*enumerator).vt == VT_DISPATCH)
        unknown = (*enumerator).pdispVal;
    Ref<IEnumVARIANT> each;
    if (!unknown ||
        FAILED(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(each.out()))))
        return -1;

    // The first processor only; S_FALSE means none came.
    Variant item;
    ULONG fetched = 0;
    if (each->Next(1, item.get(), &fetched) != S_OK || fetched != 1)
        return -1;
    // A property read as automation clients make it: as a method or a
    // property, whichever the object has.
    Variant speed;
    if (!Invoke(ObjectOf(item), q.property.c_str(), DISPATCH_METHOD | DISPATCH_PROPERTYGET, {},
                speed))
        return -1;
    if ((*speed).vt == VT_NULL || (*speed).vt == VT_EMPTY)
        return -1;
    Variant number;
    if (FAILED(::VariantChangeType(number.get(), speed.get(), 0, VT_I4)))
        return -1;
    return static_cast<int>((*number).lVal);
}

} // namespace

int WmiClockSpeed::QueryCurrentClockSpeed() noexcept {
    try {
        const Apartment apartment;
        return Query(query_);
    } catch (...) {
        return -1; // out of memory while building the call
    }
}

} // namespace windows_impl
} // namespace zentaro::platform
