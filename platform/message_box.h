#pragma once
// Message boxes with an OK button alone.

#include <optional>
#include <string>
#include <string_view>

#include "platform/service.h"

namespace platform {

enum MsgBoxStyle {
    vbOKOnly = 0,       // no icon
    vbInformation = 64, // the information icon
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Modal: returns when the user has closed the box. The title is always given here;
    // msgBox() fills in the application title for a box without one.
    virtual void show(std::u16string_view text, int style, std::u16string_view title) = 0;
};

// The title of a box shown without one: "CorvaneVPN" in the console programs.
void setApplicationTitle(std::u16string title);
std::u16string applicationTitle();

inline void msgBox(std::u16string_view text, int style = vbOKOnly, std::optional<std::u16string_view> title = std::nullopt)
{
    std::u16string t = title ? std::u16string(*title) : applicationTitle();
    service<MessageBoxes>().show(text, style, t);
}

} // namespace platform
