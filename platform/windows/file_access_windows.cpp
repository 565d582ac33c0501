#include "platform/windows/file_access_windows.h"

#include <windows.h>
#include <aclapi.h>

#include <memory>
#include <vector>

namespace platform::win {

namespace {

// The SID of the user that runs this process.
std::vector<BYTE> currentUser()
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
    std::vector<BYTE> sid(length);
    if (!::CopySid(length, sid.data(), user->User.Sid))
        return {};
    return sid;
}

} // namespace

bool makeOwnerOnly(const std::filesystem::path& file)
{
    std::vector<BYTE> sid = currentUser();
    if (sid.empty())
        return false;
    EXPLICIT_ACCESSW entry {};
    entry.grfAccessPermissions = GENERIC_ALL;
    entry.grfAccessMode = SET_ACCESS;
    entry.grfInheritance = NO_INHERITANCE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_USER;
    entry.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid.data());
    PACL acl = nullptr;
    if (::SetEntriesInAclW(1, &entry, nullptr, &acl) != ERROR_SUCCESS)
        return false;
    std::wstring path = file.wstring();
    DWORD r = ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, acl, nullptr);
    ::LocalFree(acl);
    return r == ERROR_SUCCESS;
}

bool isOwnerOnly(const std::filesystem::path& file)
{
    std::vector<BYTE> sid = currentUser();
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring path = file.wstring();
    if (sid.empty() || ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                               nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool only = acl != nullptr && acl->AceCount > 0;
    for (DWORD i = 0; only && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace)) {
            only = false;
            break;
        }
        auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        only = ::EqualSid(&allowed->SidStart, sid.data()) != FALSE;
    }
    ::LocalFree(descriptor);
    return only;
}

} // namespace platform::win
