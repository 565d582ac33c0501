#include "platform/windows/file_access_windows.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/windows/win_text.h"

namespace platform::win {

namespace {

using Sid = std::vector<BYTE>;

// The SID of the user that runs this process.
Sid currentUser()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    bool ok = size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    ::CloseHandle(token);
    if (!ok)
        return {};
    auto* user = reinterpret_cast<TOKEN_USER*>(buffer.data());
    DWORD length = ::GetLengthSid(user->User.Sid);
    Sid sid(length);
    if (!::CopySid(length, sid.data(), user->User.Sid))
        return {};
    return sid;
}

Sid wellKnown(WELL_KNOWN_SID_TYPE type)
{
    Sid sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size))
        return {};
    sid.resize(size);
    return sid;
}

// Whom a password file lets in: its owner first, then SYSTEM and the Administrators.
std::vector<Sid> trustees()
{
    std::vector<Sid> sids {currentUser(), wellKnown(WinLocalSystemSid), wellKnown(WinBuiltinAdministratorsSid)};
    for (const auto& sid : sids)
        if (sid.empty())
            return {};
    return sids;
}

class LocalMemory {
public:
    ~LocalMemory() { ::LocalFree(p_); }
    PSECURITY_DESCRIPTOR* out() { return &p_; }
    PSECURITY_DESCRIPTOR get() const { return p_; }

private:
    PSECURITY_DESCRIPTOR p_ = nullptr;
};

} // namespace

PasswordFileSecurity::PasswordFileSecurity()
{
    auto sids = trustees();
    if (sids.empty())
        return;
    DWORD size = sizeof(ACL);
    for (const auto& sid : sids)
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid.size());
    acl_.resize(size);
    if (!::InitializeAcl(acl(), size, ACL_REVISION))
        return;
    // FILE_ALL_ACCESS, not GENERIC_ALL: the list then reads the same whether CreateFileW
    // (which maps generic rights) or SetNamedSecurityInfoW (which keeps them) applies it.
    for (auto& sid : sids)
        if (!::AddAccessAllowedAceEx(acl(), ACL_REVISION, 0, FILE_ALL_ACCESS, sid.data()))
            return;
    if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl(), FALSE) ||
        !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return;
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    valid_ = true;
}

std::u16string accessText(PSECURITY_DESCRIPTOR descriptor)
{
    wchar_t* sddl = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                DACL_SECURITY_INFORMATION, &sddl, nullptr))
        return {};
    std::u16string out = text(sddl);
    ::LocalFree(sddl);
    return out;
}

std::u16string fileAccessText(const std::filesystem::path& file)
{
    LocalMemory descriptor;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                nullptr, descriptor.out()) != ERROR_SUCCESS)
        return {};
    return accessText(descriptor.get());
}

std::u16string currentUserText()
{
    Sid sid = currentUser();
    wchar_t* s = nullptr;
    if (sid.empty() || !::ConvertSidToStringSidW(sid.data(), &s))
        return {};
    std::u16string out = text(s);
    ::LocalFree(s);
    return out;
}

bool makeOwnerOnly(const std::filesystem::path& file)
{
    PasswordFileSecurity security;
    if (!security.valid())
        return false;
    std::wstring path = file.wstring();
    return ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                   security.acl(), nullptr) == ERROR_SUCCESS;
}

void giveSharedAccess(const std::filesystem::path& file, const std::filesystem::path& target)
{
    std::wstring path = file.wstring();
    PACL acl = nullptr;
    LocalMemory descriptor;
    if (::GetNamedSecurityInfoW(target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                                nullptr, descriptor.out()) == ERROR_SUCCESS) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
        SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION |
                                    ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                   : UNPROTECTED_DACL_SECURITY_INFORMATION);
        ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, what, nullptr, nullptr, acl, nullptr);
        return;
    }
    // An empty list of its own, open to inheritance: the folder's entries alone.
    ACL empty {};
    if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION) ||
        ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &empty, nullptr) != ERROR_SUCCESS)
        return;
    // A folder that passes nothing down would leave a file that nobody may read.
    PACL now = nullptr;
    LocalMemory after;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &now,
                                nullptr, after.out()) == ERROR_SUCCESS &&
        now != nullptr && now->AceCount == 0)
        makeOwnerOnly(file);
}

bool isOwnerOnly(const std::filesystem::path& file)
{
    auto allowed = trustees();
    PACL acl = nullptr;
    LocalMemory descriptor;
    if (allowed.empty() || ::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                                   nullptr, &acl, nullptr, descriptor.out()) != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (acl == nullptr || !::GetSecurityDescriptorControl(descriptor.get(), &control, &revision) ||
        (control & SE_DACL_PROTECTED) == 0)
        return false;
    bool ownerIn = false;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace))
            return false;
        // Entries that let nobody in (denials, audits) change nothing.
        if (static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        bool known = false;
        for (std::size_t k = 0; k < allowed.size() && !known; ++k)
            known = ::EqualSid(sid, allowed[k].data()) != FALSE;
        if (!known)
            return false;
        ownerIn = ownerIn || ::EqualSid(sid, allowed[0].data()) != FALSE;
    }
    return ownerIn;
}

} // namespace platform::win
