#include "platform/host_paths.h"

#include <cstdlib>

#include "platform/text.h"

namespace platform {

std::filesystem::path executableFile()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec);
}

std::optional<std::filesystem::path> environmentPath(const char* name)
{
    if (const char* env = std::getenv(name); env != nullptr && *env != '\0')
        return std::filesystem::path(env);
    return std::nullopt;
}

std::filesystem::path defaultWindowsFolder()
{
    return "/var/lib/corvane/windows";
}

std::filesystem::path pathFromText(std::u16string_view text)
{
    std::u16string local(text);
    for (auto& c : local)
        if (c == u'\\')
            c = u'/';
    return std::filesystem::path(text::toUtf8(local));
}

std::u16string pathText(const std::filesystem::path& path)
{
    return text::fromUtf8(path.string());
}

} // namespace platform
