#pragma once
// UTF-16 texts between the system's char16_t and the Windows API's wchar_t (both 16 bits
// here), and the system's description of an error code.

#include <windows.h>

#include <string>
#include <string_view>

namespace platform::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows texts are UTF-16");

inline std::wstring wide(std::u16string_view s)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size());
}

inline std::u16string text(std::wstring_view s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.data()), s.size());
}

inline std::u16string text(const wchar_t* s)
{
    return s == nullptr ? std::u16string() : text(std::wstring_view(s));
}

// FormatMessage's text for the code, without its line end.
std::u16string errorDescription(DWORD code);

// Closes a kernel handle at the end of a scope.
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle()
    {
        if (valid())
            ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

} // namespace platform::win
