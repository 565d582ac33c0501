#pragma once
// The application folder, the folder that stands in for C:\windows, and the mapping
// of the system's own Windows paths onto this file system.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The application folder: CORVANE_APP_DIR when set, else the running executable's folder,
// its bytes (UTF-16 on Windows) as the system gave them.
std::filesystem::path appFolder();
// The same as a text, without a trailing separator: the programs build every data path by
// appending a tail such as u"\\pwd.txt" to it, and show it. Where the folder's name is no
// UTF-8 it shows U+FFFD in place of those bytes; localPath still finds the folder itself.
std::u16string appPath();
// Tests point the application folder at a folder of their own.
void setAppFolder(const std::filesystem::path& folder);

// Stands in for C:\windows: CORVANE_WINDOWS_DIR, else /var/lib/corvane/windows.
std::filesystem::path windowsFolder();
void setWindowsFolder(const std::filesystem::path& folder);

// The folder of the command stand-ins (cmd, net, sc, taskkill): the tools/ folder
// beside the running executable, or CORVANE_TOOLS_DIR.
std::filesystem::path toolsFolder();

// A path as the system writes it, turned into a real path once.
struct LocalPath {
    std::filesystem::path file;
    // It lies in the folder that stands in for C:\windows, which nothing installs: a write
    // there makes that folder when it is missing.
    bool inWindowsFolder = false;
};

// A leading drive letter with "\windows" (any case) becomes windowsFolder(), a leading
// appPath() becomes appFolder(), and each backslash after them a separator: only those
// that the system puts between the pieces it appends, never one inside the real folder's
// name. In any other path every backslash is a separator. A path that is already a local
// one comes back unchanged.
LocalPath resolvePath(std::u16string_view windowsPath);
std::filesystem::path localPath(std::u16string_view windowsPath);

} // namespace platform
