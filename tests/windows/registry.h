#pragma once
// Values of HKEY_LOCAL_MACHINE as the tests read them back.

#include <windows.h>

#include <string>

namespace testsupport {

// A text value as stored (REG_SZ or REG_EXPAND_SZ, not expanded); "<none>" when missing.
inline std::wstring registryText(const wchar_t* key, const wchar_t* value)
{
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                       data, &size) != ERROR_SUCCESS)
        return L"<none>";
    return data;
}

// A REG_DWORD value; all ones when missing.
inline DWORD registryNumber(const wchar_t* key, const wchar_t* value)
{
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS)
        return DWORD(-1);
    return data;
}

inline bool registryKeyExists(const wchar_t* key)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(h);
    return true;
}

} // namespace testsupport
