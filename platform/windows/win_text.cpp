#include "platform/windows/win_text.h"

#include "platform/text.h"

namespace platform::win {

std::u16string errorDescription(DWORD code)
{
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string out;
    if (n > 0 && buffer != nullptr)
        out = text(std::wstring_view(buffer, n));
    if (buffer != nullptr)
        ::LocalFree(buffer);
    while (!out.empty() && (out.back() == u'\n' || out.back() == u'\r' || out.back() == u' '))
        out.pop_back();
    if (out.empty())
        out = u"error " + text::number(code);
    return out;
}

} // namespace platform::win
