#include "platform/message_box.h"

#include <utility>

namespace platform {

namespace {
std::u16string& title()
{
    static std::u16string t = u"CorvaneVPN";
    return t;
}
} // namespace

void setApplicationTitle(std::u16string t)
{
    title() = std::move(t);
}

std::u16string applicationTitle()
{
    return title();
}

} // namespace platform
