// The system's ANSI code page (CP_ACP), as Windows converts it.

#include "platform/codepage.h"

#include <windows.h>

namespace platform {

std::optional<std::string> toAnsi(std::u16string_view text)
{
    if (text.empty())
        return std::string();
    auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    int length = static_cast<int>(text.size());
    // No best fit: a character the code page lacks must not turn into a look-alike or
    // "?" unnoticed; the default character's use tells it.
    BOOL usedDefault = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    usedDefault = FALSE;
    n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), n, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::u16string fromAnsi(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    int length = static_cast<int>(bytes.size());
    int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (n <= 0)
        return {};
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()), n);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return out;
}

} // namespace platform
