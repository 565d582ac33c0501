#pragma once
// What a save of a file is told and what it tells back: who may read the new file, and
// why the save failed. The text files, the profile functions and the windows' files share
// them.

namespace platform {

enum class FileAccess {
    Shared,    // the old file's permissions; a new file the usual ones, writable by no other user
    OwnerOnly, // for files that hold a password: readable by their owner only
};

// Why a rewrite failed.
enum class WriteFailure {
    None,
    Unencodable, // a text holds a character that code page 936 cannot hold
    Io,          // the folder, the disk or the permissions
};

} // namespace platform
