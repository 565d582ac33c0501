#include "platform/windows/wmi_windows.h"

#include <windows.h>
#include <oleauto.h>
#include <wbemcli.h>

#include "platform/text.h"
#include "platform/windows/win_text.h"

namespace platform {

namespace {

// COM for the calling thread, for as long as the thread lives. A thread whose COM
// already runs in the other apartment model (a GUI toolkit's) is fine as it is.
class ComThread {
public:
    ComThread()
    {
        HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        initialised_ = SUCCEEDED(hr);
        usable_ = initialised_ || hr == RPC_E_CHANGED_MODE;
    }
    ~ComThread()
    {
        if (initialised_)
            ::CoUninitialize();
    }
    bool usable() const { return usable_; }

private:
    bool initialised_ = false;
    bool usable_ = false;
};

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (p_ != nullptr)
            p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** out() { return &p_; }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(std::u16string_view s) : b_(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), UINT(s.size()))) {}
    ~Bstr() { ::SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }

private:
    BSTR b_;
};

std::u16string fromBstr(BSTR b)
{
    return b == nullptr ? std::u16string() : win::text(std::wstring_view(b, ::SysStringLen(b)));
}

// A property as the scripting interface shows it as text: null stays null; what has no
// text form (arrays, objects) cannot be read.
WmiProperty propertyOf(VARIANT& value)
{
    if (value.vt == VT_NULL || value.vt == VT_EMPTY)
        return WmiProperty::null();
    if (value.vt == VT_BSTR)
        return WmiProperty::of(fromBstr(value.bstrVal));
    VARIANT converted;
    ::VariantInit(&converted);
    if (FAILED(::VariantChangeType(&converted, &value, VARIANT_ALPHABOOL, VT_BSTR)))
        return WmiProperty::unreadable();
    WmiProperty p = WmiProperty::of(fromBstr(converted.bstrVal));
    ::VariantClear(&converted);
    return p;
}

WmiObject objectOf(IWbemClassObject* object)
{
    WmiObject out;
    if (FAILED(object->BeginEnumeration(WBEM_FLAG_NONSYSTEM_ONLY)))
        return out;
    for (;;) {
        BSTR name = nullptr;
        VARIANT value;
        ::VariantInit(&value);
        if (object->Next(0, &name, &value, nullptr, nullptr) != WBEM_S_NO_ERROR)
            break;
        out.properties.emplace_back(fromBstr(name), propertyOf(value));
        ::SysFreeString(name);
        ::VariantClear(&value);
    }
    object->EndEnumeration();
    return out;
}

} // namespace

std::optional<std::u16string> wmiNamespaceOf(std::u16string_view moniker)
{
    constexpr std::u16string_view scheme = u"winmgmts:";
    if (moniker.size() < scheme.size() || text::toLowerAscii(moniker.substr(0, scheme.size())) != scheme)
        return std::nullopt;
    std::u16string_view rest = moniker.substr(scheme.size());
    // Security settings such as {impersonationLevel=impersonate}, then "!" before a path.
    if (!rest.empty() && rest.front() == u'{') {
        auto close = rest.find(u'}');
        if (close == std::u16string_view::npos)
            return std::nullopt;
        rest.remove_prefix(close + 1);
        if (!rest.empty() && rest.front() != u'!')
            return std::nullopt;
    }
    if (!rest.empty() && rest.front() == u'!')
        rest.remove_prefix(1);
    if (rest.empty())
        return std::u16string(u"root\\cimv2");
    // A path that goes on to a class or an object ("...:Win32_Process") names no
    // namespace of its own.
    if (rest.find(u':') != std::u16string_view::npos)
        return std::nullopt;
    return std::u16string(rest);
}

std::optional<WmiAnswer> WindowsWmi::execQuery(std::u16string_view moniker, std::u16string_view wql, int flags)
{
    auto nameSpace = wmiNamespaceOf(moniker);
    if (!nameSpace)
        return std::nullopt;
    thread_local ComThread com;
    if (!com.usable())
        return std::nullopt;

    ComPtr<IWbemLocator> locator;
    if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                  reinterpret_cast<void**>(locator.out()))))
        return std::nullopt;
    ComPtr<IWbemServices> services;
    Bstr path(*nameSpace);
    if (FAILED(locator->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.out())))
        return std::nullopt;
    // The scripting interface's default: impersonate the caller.
    ::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_DEFAULT, COLE_DEFAULT_PRINCIPAL,
                        RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_DEFAULT);

    ComPtr<IEnumWbemClassObject> items;
    Bstr language(u"WQL");
    Bstr query(wql);
    if (FAILED(services->ExecQuery(language.get(), query.get(), flags, nullptr, items.out())) || items.get() == nullptr)
        return std::nullopt;

    WmiAnswer answer;
    for (;;) {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        HRESULT hr = items->Next(WBEM_INFINITE, 1, object.out(), &returned);
        if (FAILED(hr)) {
            // A query refused only when its answer is walked fails as the query.
            if (answer.items.empty())
                return std::nullopt;
            answer.walkFails = true;
            break;
        }
        if (returned == 0)
            break;
        answer.items.push_back(objectOf(object.get()));
    }
    return answer;
}

} // namespace platform
