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

// Other code pages, by number. GB18030 takes none of the flags that guard the others:
// it holds every character, so only a broken UTF-16 text fails it.

namespace platform {

namespace {

DWORD wideToNarrowFlags(unsigned codePage)
{
    return codePage == 54936 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
}

// The number of bytes of the first valid sequence of `bytes`, or 0.
std::size_t sequenceLength(unsigned codePage, std::string_view bytes, std::size_t longest)
{
    for (std::size_t n = 1; n <= longest && n <= bytes.size(); ++n)
        if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(n), nullptr, 0) > 0)
            return n;
    return 0;
}

} // namespace

bool codePageAvailable(unsigned codePage)
{
    return ::IsValidCodePage(codePage) != 0;
}

std::optional<std::string> toCodePage(unsigned codePage, std::u16string_view text)
{
    if (!codePageAvailable(codePage))
        return std::nullopt;
    if (text.empty())
        return std::string();
    auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const DWORD flags = wideToNarrowFlags(codePage);
    BOOL usedDefault = FALSE;
    BOOL* used = codePage == 54936 ? nullptr : &usedDefault;
    int n = ::WideCharToMultiByte(codePage, flags, wide, length, nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    n = ::WideCharToMultiByte(codePage, flags, wide, length, out.data(), n, nullptr, used);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::optional<CodePageText> fromCodePage(unsigned codePage, std::string_view bytes)
{
    CPINFO info;
    if (!codePageAvailable(codePage) || !::GetCPInfo(codePage, &info))
        return std::nullopt;
    CodePageText result;
    if (bytes.empty())
        return result;
    auto convert = [&](std::string_view part) {
        const int length = static_cast<int>(part.size());
        int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, part.data(), length, nullptr, 0);
        if (n <= 0)
            return false;
        const std::size_t at = result.text.size();
        result.text.resize(at + static_cast<std::size_t>(n));
        n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, part.data(), length,
                                  reinterpret_cast<wchar_t*>(result.text.data() + at), n);
        result.text.resize(at + static_cast<std::size_t>(n > 0 ? n : 0));
        return n > 0;
    };
    if (convert(bytes))
        return result;
    // Windows tells no position: the valid sequences are walked to the first one that
    // is none. This costs only the text before the fault.
    result.text.clear();
    const std::size_t longest = info.MaxCharSize > 0 ? info.MaxCharSize : 1;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t n = sequenceLength(codePage, bytes.substr(at), longest);
        if (n == 0)
            break;
        at += n;
    }
    result.invalidAt = at;
    if (at > 0 && !convert(bytes.substr(0, at)))
        result.text.clear();
    return result;
}

} // namespace platform
