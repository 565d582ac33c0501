#pragma once
// Files that hold a password: an access list that lets their owner alone in.

#include <filesystem>

namespace platform::win {

// Replaces the file's access list with one entry, full control for the user that runs
// this program, and stops inheriting the folder's entries.
bool makeOwnerOnly(const std::filesystem::path& file);

// True when the file's access list grants nobody but the current user.
bool isOwnerOnly(const std::filesystem::path& file);

} // namespace platform::win
