#pragma once
// The application folder, the folder that stands in for C:\windows, and the mapping
// of the system's own Windows paths onto this file system.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The application folder: CORVANE_APP_DIR when set, else the running executable's folder.
// As a text, without a trailing separator: the programs build
// every data path by appending a tail such as u"\\pwd.txt" to it.
std::u16string appPath();
std::filesystem::path appFolder();
// Tests point the application folder at a folder of their own.
void setAppFolder(const std::filesystem::path& folder);

// Stands in for C:\windows: CORVANE_WINDOWS_DIR, else /var/lib/corvane/windows.
std::filesystem::path windowsFolder();
void setWindowsFolder(const std::filesystem::path& folder);

// The folder of the command stand-ins (cmd, net, sc, taskkill): the tools/ folder
// beside the running executable, or CORVANE_TOOLS_DIR.
std::filesystem::path toolsFolder();

// Turns a path as the system writes it into a real path: a leading drive letter with
// "\windows" (any case) becomes windowsFolder(), and every backslash a separator.
// A path that is already a local one comes back unchanged.
std::filesystem::path localPath(std::u16string_view windowsPath);

// Nothing installs the folder that stands in for C:\windows: when a path the system
// writes lies in it, this creates it (and its parents) if missing. False when the path
// lies there and the folder cannot be made.
bool createWindowsFolderFor(std::u16string_view windowsPath);

} // namespace platform
