#include "platform/paths.h"

#include <optional>
#include <system_error>

#include "platform/host_paths.h"
#include "platform/text.h"

namespace platform {

namespace {

std::filesystem::path executableFolder()
{
    auto exe = executableFile();
    std::error_code ec;
    if (exe.empty())
        return std::filesystem::current_path(ec);
    return exe.parent_path();
}

std::optional<std::filesystem::path>& appOverride()
{
    static std::optional<std::filesystem::path> p;
    return p;
}

std::optional<std::filesystem::path>& windowsOverride()
{
    static std::optional<std::filesystem::path> p;
    return p;
}

} // namespace

std::filesystem::path appFolder()
{
    if (appOverride())
        return *appOverride();
    if (auto env = environmentPath("CORVANE_APP_DIR"))
        return *env;
    static const std::filesystem::path folder = executableFolder();
    return folder;
}

std::u16string appPath()
{
    // Separators at the end go, through the path's own rules: a backslash that ends a
    // folder's name on Linux is no separator.
    std::filesystem::path folder = appFolder();
    while (!folder.has_filename() && folder.has_relative_path())
        folder = folder.parent_path();
    return pathText(folder);
}

void setAppFolder(const std::filesystem::path& folder)
{
    appOverride() = folder;
}

std::filesystem::path windowsFolder()
{
    if (windowsOverride())
        return *windowsOverride();
    if (auto env = environmentPath("CORVANE_WINDOWS_DIR"))
        return *env;
    return defaultWindowsFolder();
}

void setWindowsFolder(const std::filesystem::path& folder)
{
    windowsOverride() = folder;
}

std::filesystem::path toolsFolder()
{
    if (auto env = environmentPath("CORVANE_TOOLS_DIR"))
        return *env;
    return executableFolder() / "tools";
}

namespace {

bool isSeparator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

// The rest of a path after "C:\windows" (any drive letter, any case); nothing when the
// path does not lie there.
std::optional<std::u16string_view> windowsTail(std::u16string_view p)
{
    if (!(p.size() >= 10 && p[1] == u':' && isSeparator(p[2]) && text::toLowerAscii(p.substr(3, 7)) == u"windows" &&
          (p.size() == 10 || isSeparator(p[10]))))
        return std::nullopt;
    p.remove_prefix(10);
    while (!p.empty() && isSeparator(p.front()))
        p.remove_prefix(1);
    return p;
}

// The rest of a path after the folder's text, exactly as it stands; nothing when the path
// does not begin with it.
std::optional<std::u16string_view> tailAfter(std::u16string_view p, std::u16string_view folder)
{
    if (folder.empty() || !p.starts_with(folder))
        return std::nullopt;
    p.remove_prefix(folder.size());
    if (!p.empty() && !isSeparator(p.front()) && !isSeparator(folder.back()))
        return std::nullopt;
    while (!p.empty() && isSeparator(p.front()))
        p.remove_prefix(1);
    return p;
}

std::filesystem::path below(std::filesystem::path folder, std::u16string_view rest)
{
    if (!rest.empty())
        folder /= pathFromText(rest);
    return folder;
}

} // namespace

LocalPath resolvePath(std::u16string_view windowsPath)
{
    if (auto rest = windowsTail(windowsPath))
        return {below(windowsFolder(), *rest), true};
    if (auto rest = tailAfter(windowsPath, appPath()))
        return {below(appFolder(), *rest), false};
    return {pathFromText(windowsPath), false};
}

std::filesystem::path localPath(std::u16string_view windowsPath)
{
    return resolvePath(windowsPath).file;
}

} // namespace platform
