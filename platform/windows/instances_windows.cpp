#include "platform/windows/instances_windows.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/windows/win_text.h"

namespace platform {

std::u16string instanceMutexName()
{
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::u16string program = win::text(std::wstring_view(path, n));
    program = program.substr(program.find_last_of(u"\\/") + 1);
    if (program.empty())
        program = u"corvane";
    // A backslash is the one character a mutex name may not hold after its prefix.
    return u"Local\\corvane-" + text::toLowerAscii(program);
}

MutexInstances::MutexInstances(std::u16string name) : name_(std::move(name)) {}

MutexInstances::~MutexInstances()
{
    if (mutex_ != nullptr)
        ::CloseHandle(mutex_);
}

bool MutexInstances::prevInstance()
{
    if (mutex_ != nullptr)
        return false;
    if (name_.empty())
        name_ = instanceMutexName();
    HANDLE h = ::CreateMutexW(nullptr, FALSE, win::wide(name_).c_str());
    if (h == nullptr)
        // ERROR_ACCESS_DENIED: the mutex exists, made by another user's copy.
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(h);
        return true;
    }
    mutex_ = h;
    return false;
}

} // namespace platform
