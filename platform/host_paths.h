#pragma once
// What the paths below take from the operating system (platform/linux, platform/windows).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The running program's own file.
std::filesystem::path executableFile();
// A folder named by an environment variable; nothing when it is unset or empty.
std::optional<std::filesystem::path> environmentPath(const char* name);
// The folder that C:\windows stands for when nothing names another: the system's own
// Windows folder on Windows, /var/lib/corvane/windows elsewhere.
std::filesystem::path defaultWindowsFolder();
// A path as the system writes it (backslashes) as a path here, and a path as text
// (UTF-16 on both sides).
std::filesystem::path pathFromText(std::u16string_view text);
std::u16string pathText(const std::filesystem::path& path);

} // namespace platform
