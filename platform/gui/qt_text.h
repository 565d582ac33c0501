#pragma once
// Between the forms' QString and the logic's UTF-16 text.

#include <QString>
#include <string>
#include <string_view>

namespace platform {

inline QString qs(std::u16string_view s)
{
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::u16string u16(const QString& s)
{
    return s.toStdU16String();
}

} // namespace platform
