#include "update/FileIdentity.h"

#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/ToolkitTexts.h"

namespace {

// The attributes a program may set; the rest belong to the file system (compressed,
// encrypted, sparse, a folder) or say nothing true of a freshly written file (offline).
constexpr DWORD kCarriedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY;

constexpr SECURITY_INFORMATION kOwnerAndGroup = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;

[[noreturn]] void CannotCreate(const std::wstring& target)
{
    throw EFCreateError(Format(tkconst::SFCreateError, {target}));
}

bool Missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A volume without security (FAT, some network shares) has no descriptor to carry.
bool NoSecurityHere(DWORD error)
{
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

}  // namespace

std::optional<FileIdentity> ReadFileIdentity(const std::wstring& path, const std::wstring& target)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        if (Missing(::GetLastError()))
            return std::nullopt;
        CannotCreate(target);
    }
    FileIdentity identity;
    identity.attributes = data.dwFileAttributes;
    identity.created = data.ftCreationTime;

    const SECURITY_INFORMATION wanted = kOwnerAndGroup | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    ::GetFileSecurityW(path.c_str(), wanted, nullptr, 0, &needed);
    const DWORD error = ::GetLastError();
    if (needed == 0) {
        if (NoSecurityHere(error))
            return identity;
        CannotCreate(target);
    }
    identity.security.resize(needed);
    if (!::GetFileSecurityW(path.c_str(), wanted, identity.security.data(), needed, &needed))
        CannotCreate(target);
    return identity;
}

void GiveFileIdentity(const FileIdentity& identity, HANDLE file, const std::wstring& target)
{
    // Everything through the handle, whose rights were granted when this process created the
    // file: an open by path is checked against the file's DACL of the moment, and the old
    // file's may grant no more than reading.
    FILE_BASIC_INFO basic{};  // times left 0 are not changed
    basic.CreationTime.LowPart = identity.created.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(identity.created.dwHighDateTime);
    basic.FileAttributes = (identity.attributes & kCarriedAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    if (!::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic))
        CannotCreate(target);
    if (identity.security.empty())
        return;
    // The handle twin of SetFileSecurityW (both end in NtSetSecurityObject); the descriptor
    // already holds the ACEs the folder passes on, so nothing is to be inherited anew.
    auto* descriptor = const_cast<BYTE*>(identity.security.data());
    // Taking another's ownership needs a privilege a user seldom holds; the new file then
    // stays this process's own, with the old file's access rules.
    ::SetKernelObjectSecurity(file, kOwnerAndGroup, descriptor);
    // Last, so nothing done to the file afterwards could be checked against it.
    if (!::SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, descriptor))
        CannotCreate(target);
}
