#include "platform/message_box.h"

#include <utility>

#include "platform/system.h"

namespace platform {

namespace {

std::u16string& title()
{
    static std::u16string t = u"CorvaneVPN";
    return t;
}

bool& boxesToEventLog()
{
    static bool on = false;
    return on;
}

// The two messages of the service program's message table.
constexpr long ErrorEventId = 109;
constexpr long NoticeEventId = 110;
constexpr int WarningEntry = 2;
constexpr int InformationEntry = 4;

} // namespace

void setApplicationTitle(std::u16string t)
{
    title() = std::move(t);
}

std::u16string applicationTitle()
{
    return title();
}

void setBoxesToEventLog(bool on)
{
    boxesToEventLog() = on;
}

void msgBox(std::u16string_view text, int style, std::optional<std::u16string_view> boxTitle)
{
    std::u16string t = boxTitle ? std::u16string(*boxTitle) : applicationTitle();
    if (boxesToEventLog()) {
        // Nobody could close the box: it would hold the program for good.
        const bool warning = t == u"警告";
        service<EventLog>().logEvent(warning ? WarningEntry : InformationEntry, warning ? ErrorEventId : NoticeEventId,
                                     text);
        return;
    }
    service<MessageBoxes>().show(text, style, t);
}

} // namespace platform
