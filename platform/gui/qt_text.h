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

// Positions and sizes of the design data are in twips: 15 twips a pixel.
constexpr int twips(int value)
{
    return value / 15;
}

} // namespace platform
