// Whether the tests run under Wine: its ntdll has wine_get_version.
#include "support/wine.h"

#include <windows.h>

namespace testsupport {

bool underWine()
{
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace testsupport
