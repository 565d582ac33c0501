#include "platform/wmi.h"

#include "platform/text.h"

namespace platform {

WmiProperty WmiObject::get(std::u16string_view name) const
{
    auto wanted = text::toLowerAscii(name);
    for (const auto& [n, value] : properties)
        if (text::toLowerAscii(n) == wanted)
            return value;
    return WmiProperty::unreadable();
}

} // namespace platform
