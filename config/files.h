#pragma once
// The windows' files in the application folder, read by line and saved all or nothing.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_save.h"

namespace config {

// The application folder's file of that name, as the system writes a path.
std::u16string appFile(std::u16string_view name);

// At most the first count lines; nothing when the file cannot be opened.
std::optional<std::vector<std::u16string>> readLines(std::u16string_view path, std::size_t count);

struct FileLines {
    std::u16string name; // in the application folder
    std::vector<std::u16string> lines;
    platform::FileAccess access = platform::FileAccess::Shared;
};

struct SaveFailure {
    std::u16string name; // the file that failed
    platform::WriteFailure why;
};

// One save of all the files: every file is written whole and flushed to the disk before
// the first replaces its old version, and when one cannot take its place the files put in
// place before it get their old versions back. So a file that cannot be written (folder,
// disk, a character code page 936 cannot hold) or replaced leaves all of them as they were.
std::optional<SaveFailure> saveFiles(const std::vector<FileLines>& files);

// Saves the files all or nothing; when one cannot be written, a warning names it and
// the caller leaves its window open with its fields.
bool saveOrWarn(const std::vector<FileLines>& files);

} // namespace config
