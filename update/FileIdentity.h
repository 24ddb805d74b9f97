// What a file carries besides its bytes: its attributes, its creation time and its security
// descriptor. A file that replaces another is a new file and would take the folder's defaults
// instead; these are read from the old one and given to the new one before it takes the old
// one's place. (ReplaceFileW does this on Windows, but not every implementation of it does.)
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct FileIdentity {
    DWORD attributes = 0;
    FILETIME created{};
    std::vector<BYTE> security;  // self-relative owner, group and DACL; empty: the volume keeps none
};

// The identity of the file at `path` (a path as the file functions take it); nullopt when
// there is no such file. Fails with EFCreateError naming `target` when the file is there but
// cannot be read.
std::optional<FileIdentity> ReadFileIdentity(const std::wstring& path, const std::wstring& target);

// Gives `identity` to the file open as `file`, through that handle alone: attributes and
// creation time, then owner and group where the process may, then the DACL. The archive bit is
// always set, since the content is new. The handle needs FILE_WRITE_ATTRIBUTES, WRITE_DAC and,
// for the owner, WRITE_OWNER. Fails with EFCreateError naming `target` when the attributes, the
// creation time or the DACL do not take.
void GiveFileIdentity(const FileIdentity& identity, HANDLE file, const std::wstring& target);
