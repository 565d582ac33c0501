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

// Other code pages, by number, with the flags each takes (see conversionFlags).

namespace platform {

namespace {

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
    return win::encode(codePage, text);
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
        auto text = win::decodeWith(codePage, MB_ERR_INVALID_CHARS, part);
        result.text = text.value_or(std::u16string());
        return text.has_value();
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
