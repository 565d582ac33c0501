#pragma once
// Conversions between UTF-16 and a Windows code page, with the flags that code page takes.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace platform::win {

// What WideCharToMultiByte and MultiByteToWideChar are given for a code page. Windows
// refuses WC_NO_BEST_FIT_CHARS and a used-default pointer for UTF-8 (and GB18030), which
// hold every character anyway: there an invalid text (a lone surrogate) is the only
// failure, and WC_ERR_INVALID_CHARS reports it.
struct ConversionFlags {
    DWORD toBytes = 0;           // dwFlags of WideCharToMultiByte
    bool askUsedDefault = false; // lpUsedDefaultChar given: a character the code page lacks fails
    DWORD toText = 0;            // dwFlags of MultiByteToWideChar
    bool operator==(const ConversionFlags&) const = default;
};
ConversionFlags conversionFlags(UINT codePage);

// Nothing when a character cannot be written in the code page (CP_ACP: the ANSI one).
std::optional<std::string> encode(UINT codePage, std::u16string_view text);
// Nothing when the flags refuse the bytes (MB_ERR_INVALID_CHARS and a bad sequence).
std::optional<std::u16string> decodeWith(UINT codePage, DWORD flags, std::string_view bytes);
// Bytes that are no sequence of the code page become U+FFFD, unless the code page's own
// table gives them a character (code page 936 reads a lone 0xFF as a private one).
std::u16string decode(UINT codePage, std::string_view bytes);

} // namespace platform::win
