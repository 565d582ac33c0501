#include "config/disk_identity.h"

#include <dlfcn.h>

#include "platform/codepage.h"
#include "platform/text.h"

namespace config {

DiskIdEntry loadDiskID32(const std::filesystem::path& library)
{
    std::u16string name = platform::text::fromUtf8(library.filename().string());
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return {{}, u"找不到文件 " + name + u"，无法读取硬件信息！"};
    void* entry = ::dlsym(handle, "DiskID32");
    if (entry == nullptr) {
        ::dlclose(handle);
        return {{}, name + u" 中没有 DiskID32，无法读取硬件信息！"};
    }
    return {reinterpret_cast<int (*)(char*, char*)>(entry), {}};
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
