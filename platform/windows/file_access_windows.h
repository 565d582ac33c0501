#pragma once
// Files that hold a password: readable by their owner, SYSTEM and the Administrators group,
// nobody else. SYSTEM must be let in: the OpenVPN service runs as LocalSystem and reads
// pwd.txt.

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace platform::win {

// The security descriptor of such a file: a protected access list (nothing inherited from
// the folder) that gives full control to the user that runs this program, SYSTEM and the
// Administrators group. Given to CreateFileW, the file has it before its first byte.
class PasswordFileSecurity {
public:
    PasswordFileSecurity();
    PasswordFileSecurity(const PasswordFileSecurity&) = delete;
    PasswordFileSecurity& operator=(const PasswordFileSecurity&) = delete;

    // False when the user could not be told; then nothing here may be used.
    bool valid() const { return valid_; }
    PACL acl() { return reinterpret_cast<PACL>(acl_.data()); }
    PSECURITY_DESCRIPTOR descriptor() { return &descriptor_; }
    // For CreateFileW; null when not valid, which a caller must not take for "default".
    SECURITY_ATTRIBUTES* attributes() { return valid_ ? &attributes_ : nullptr; }

private:
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_ {};
    SECURITY_ATTRIBUTES attributes_ {};
    bool valid_ = false;
};

// The access list part of a descriptor as SDDL text, e.g. "D:P(A;;FA;;;SY)"; empty when it
// cannot be converted.
std::u16string accessText(PSECURITY_DESCRIPTOR descriptor);
// The access list of a file as SDDL text; empty when it cannot be read.
std::u16string fileAccessText(const std::filesystem::path& file);
// The string form ("S-1-5-21-...") of the user that runs this program.
std::u16string currentUserText();

// Gives an existing file that protected access list in place of its own.
bool makeOwnerOnly(const std::filesystem::path& file);

// A rewrite of a file that holds no password (made with the protected list, as every
// temporary file is) keeps who may read the file: it takes its target's access list, or,
// where there is no target yet, what the folder passes down to a new file.
void giveSharedAccess(const std::filesystem::path& file, const std::filesystem::path& target);

// True when the file's access list is protected and lets in nobody but the current user,
// SYSTEM and the Administrators group.
bool isOwnerOnly(const std::filesystem::path& file);

} // namespace platform::win
