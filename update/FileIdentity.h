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

// Gives `identity` to the file at `path`, open as `file` for writing. The archive bit is always
// set, since the content is new. Owner and group are given where the process may; the
// attributes, the creation time and the DACL must all take, or this fails with EFCreateError
// naming `target`.
void GiveFileIdentity(const FileIdentity& identity, HANDLE file, const std::wstring& path,
                      const std::wstring& target);
