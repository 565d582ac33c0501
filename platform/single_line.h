#pragma once
// Values that become one line of a file: a line break inside one would split it into
// lines of its own (a password line and a forged flag line, a directive of its own).

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// CR or LF anywhere in the text.
bool holdsLineBreak(std::u16string_view text);

struct LineField {
    std::u16string_view name;  // as the window labels it
    std::u16string_view value;
};

// The name of the first field whose value holds a line break.
std::optional<std::u16string> fieldWithLineBreak(std::initializer_list<LineField> fields);

// The warning (title "警告") that names the first field holding a line break; false
// then, and the caller writes nothing. True when every value is one line.
bool singleLinesOrWarn(std::initializer_list<LineField> fields);

} // namespace platform
