#pragma once
// A walk over every visible text of a window, as a person would read it: each label,
// button, check box, radio button, frame caption, text box and list content, and each
// cell of a table or tree in view. A text is shown whole when, in its control's font,
// it fits the room the style gives it (for a word-wrapped label, its wrapped lines),
// no frame border, window edge or control above it cuts it, and its font (with the
// desktop's fallback fonts) has a glyph for every character. Run it on a real display
// after the window is exposed: offscreen has other fonts and no window manager.

#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace testsupport {

struct TextFault {
    QString control; // object names from the window down, "form_cansu/Frame1/Label1"
    QString text;
    QString problem;
};

std::vector<TextFault> textFaults(const QWidget* window);

// One line a fault, for a test's failure message.
std::string describe(const std::vector<TextFault>& faults);

} // namespace testsupport
