#include "platform/paths.h"

#include <optional>
#include <system_error>

#include "platform/file_io.h"
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
    std::u16string s = pathText(appFolder());
    while (s.size() > 1 && (s.back() == u'/' || s.back() == u'\\'))
        s.pop_back();
    return s;
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

// The rest of a path after "C:\windows" (any drive letter, any case); nothing when the
// path does not lie there.
std::optional<std::u16string> windowsTail(std::u16string_view p)
{
    if (!(p.size() >= 10 && p[1] == u':' && (p[2] == u'\\' || p[2] == u'/') &&
          text::toLowerAscii(p.substr(3, 7)) == u"windows" && (p.size() == 10 || p[10] == u'\\' || p[10] == u'/')))
        return std::nullopt;
    std::u16string rest(p.substr(10));
    while (!rest.empty() && (rest.front() == u'/' || rest.front() == u'\\'))
        rest.erase(rest.begin());
    return rest;
}

} // namespace

std::filesystem::path localPath(std::u16string_view windowsPath)
{
    if (auto rest = windowsTail(windowsPath))
        return rest->empty() ? windowsFolder() : windowsFolder() / pathFromText(*rest);
    return pathFromText(windowsPath);
}

bool createWindowsFolderFor(std::u16string_view windowsPath)
{
    auto rest = windowsTail(windowsPath);
    return !rest || createFolders(windowsFolder());
}

} // namespace platform
