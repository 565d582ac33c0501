#include "platform/windows/event_log_windows.h"

#include <windows.h>

#include "platform/windows/win_text.h"

namespace platform {

WindowsEventLog::WindowsEventLog(std::u16string source) : source_(std::move(source)) {}

WindowsEventLog::~WindowsEventLog()
{
    if (handle_ != nullptr)
        ::DeregisterEventSource(handle_);
}

bool WindowsEventLog::report(int type, long eventId, std::u16string_view text)
{
    if (handle_ == nullptr)
        handle_ = ::RegisterEventSourceW(nullptr, win::wide(source_).c_str());
    if (handle_ == nullptr)
        return false;
    // The entry types are the event log's own numbers (1 error, 2 warning, 4 information).
    std::wstring message = win::wide(text);
    const wchar_t* strings[] = {message.c_str()};
    return ::ReportEventW(handle_, static_cast<WORD>(type), 0, static_cast<DWORD>(eventId), nullptr, 1, 0, strings,
                          nullptr) != FALSE;
}

} // namespace platform
