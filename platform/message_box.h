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

// While on, a box is not shown but written to the event log: a warning ("警告") as type
// 2 with the ID of the error entries (109), any other box as information (type 4, ID
// 110), each with the box's text. The program that runs as a service turns it on.
void setBoxesToEventLog(bool on);

void msgBox(std::u16string_view text, int style = vbOKOnly, std::optional<std::u16string_view> title = std::nullopt);

} // namespace platform
