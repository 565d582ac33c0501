#include "platform/single_line.h"

#include "platform/message_box.h"

namespace platform {

bool holdsLineBreak(std::u16string_view text)
{
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

std::optional<std::u16string> fieldWithLineBreak(std::initializer_list<LineField> fields)
{
    for (const auto& field : fields)
        if (holdsLineBreak(field.value))
            return std::u16string(field.name);
    return std::nullopt;
}

bool singleLinesOrWarn(std::initializer_list<LineField> fields)
{
    auto field = fieldWithLineBreak(fields);
    if (!field)
        return true;
    msgBox(u"“" + *field + u"”中不能有换行，设置未保存！", vbInformation, u"警告");
    return false;
}

} // namespace platform
