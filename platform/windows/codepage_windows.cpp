// The system's ANSI code page (CP_ACP), as Windows converts it.

#include "platform/codepage.h"

#include "platform/windows/codepage_windows.h"

namespace platform {

namespace win {

ConversionFlags conversionFlags(UINT codePage)
{
    if (codePage == CP_ACP)
        codePage = ::GetACP();
    if (codePage == CP_UTF8 || codePage == 54936)
        return {WC_ERR_INVALID_CHARS, false, MB_ERR_INVALID_CHARS};
    // No best fit: a character the code page lacks must not turn into a look-alike or
    // "?" unnoticed; the default character's use tells it.
    return {WC_NO_BEST_FIT_CHARS, true, 0};
}

std::optional<std::string> encode(UINT codePage, std::u16string_view text)
{
    if (text.empty())
        return std::string();
    const ConversionFlags flags = conversionFlags(codePage);
    auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    BOOL* used = flags.askUsedDefault ? &usedDefault : nullptr;
    int n = ::WideCharToMultiByte(codePage, flags.toBytes, wide, length, nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    n = ::WideCharToMultiByte(codePage, flags.toBytes, wide, length, out.data(), n, nullptr, used);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

namespace {

std::optional<std::u16string> decodeWith(UINT codePage, DWORD flags, std::string_view bytes)
{
    int length = static_cast<int>(bytes.size());
    int n = ::MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    n = ::MultiByteToWideChar(codePage, flags, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()), n);
    if (n <= 0)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

} // namespace

std::u16string decode(UINT codePage, std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const ConversionFlags flags = conversionFlags(codePage);
    if (auto text = decodeWith(codePage, flags.toText, bytes))
        return *text;
    // The strict reading refused a bad sequence; without the flag, Windows puts U+FFFD in
    // the place of each one and keeps the rest.
    if (flags.toText != 0)
        if (auto text = decodeWith(codePage, 0, bytes))
            return *text;
    return {};
}

} // namespace win

std::optional<std::string> toAnsi(std::u16string_view text)
{
    return win::encode(CP_ACP, text);
}

std::u16string fromAnsi(std::string_view bytes)
{
    return win::decode(CP_ACP, bytes);
}

} // namespace platform
