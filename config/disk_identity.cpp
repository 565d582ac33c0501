#include "config/disk_identity.h"

#include "platform/codepage.h"
#include "platform/library.h"
#include "platform/text.h"

namespace config {

DiskIdEntry loadDiskID32(const std::filesystem::path& library)
{
    std::u16string name = library.filename().u16string();
    auto entry = platform::loadLibraryFunction(library, "DiskID32");
    if (!entry.libraryLoaded)
        return {{}, u"找不到文件 " + name + u"，无法读取硬件信息！"};
    if (entry.address == nullptr)
        return {{}, name + u" 中没有 DiskID32，无法读取硬件信息！"};
    return {reinterpret_cast<int (*)(char*, char*)>(entry.address), {}};
}

std::u16string diskIdText(std::string_view buffer, bool trimBlanks)
{
    std::u16string text = platform::fromAnsi(buffer);
    // NULs are no blanks: trailing blanks before the buffer's zero fill stay.
    if (trimBlanks)
        text = platform::text::trim(text);
    return text.substr(0, text.find(u'\0'));
}

} // namespace config
