#include "toolkit/windows/FolderPaths.h"

#include <algorithm>

#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/ToolkitTexts.h"
#include "toolkit/windows/Controls.h"

[[noreturn]] void RaiseInOutError(DWORD code)
{
    throw EInOutError(Format(tkconst::SInOutError, {static_cast<long long>(code)}));
}

std::wstring CurrentDirectory()
{
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n >= buffer.size()) {
        buffer.resize(n);
        n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (n == 0)
        RaiseInOutError(::GetLastError());
    buffer.resize(n);
    return buffer;
}

std::wstring FullPath(const std::wstring& path)
{
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n >= buffer.size()) {
        buffer.resize(n);
        n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    }
    if (n == 0 || n >= buffer.size())
        RaiseInOutError(::GetLastError());
    buffer.resize(n);
    return buffer;
}

std::wstring WithCase(std::wstring text, TTextCase textCase)
{
    if (text.empty())
        return text;
    if (textCase == tcUpperCase)
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    else
        ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

wchar_t WithCase(wchar_t c, TTextCase textCase)
{
    return c ? WithCase(std::wstring(1, c), textCase)[0] : c;
}

std::wstring VolumeLabel(const std::wstring& root)
{
    CriticalErrorsOff quiet;
    wchar_t label[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        return std::wstring();
    return label;
}

// The remote name behind a network drive ("X:"). The network library is loaded from the
// system folder only, never from beside the executable.
std::wstring RemoteName(const std::wstring& localName)
{
    unique_hmodule mpr(::LoadLibraryExW(L"mpr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!mpr) {
        // Systems without the search flags refuse it; name the system folder ourselves.
        wchar_t system[MAX_PATH + 1];
        UINT n = ::GetSystemDirectoryW(system, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH)
            return std::wstring();
        mpr.reset(::LoadLibraryW((std::wstring(system, n) + L"\\mpr.dll").c_str()));
        if (!mpr)
            return std::wstring();
    }
    using GetConnection = DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD);
    auto get = reinterpret_cast<GetConnection>(
        reinterpret_cast<void (*)()>(::GetProcAddress(mpr.get(), "WNetGetConnectionW")));
    if (!get)
        return std::wstring();
    std::wstring buffer(MAX_PATH + 1, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD result = get(localName.c_str(), buffer.data(), &size);
    if (result == ERROR_MORE_DATA) {
        buffer.assign(size, L'\0');
        result = get(localName.c_str(), buffer.data(), &size);
    }
    if (result != NO_ERROR)
        return std::wstring();
    buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
    return buffer;
}

// Path rules

std::wstring MinimizeName(const std::wstring& path, const std::function<int(const std::wstring&)>& measure,
                          int maxWidth)
{
    std::wstring result = path;
    const size_t split = path.find_last_of(L"\\:");
    std::wstring folder = split == std::wstring::npos ? std::wstring() : path.substr(0, split + 1);
    const std::wstring name = path.substr(folder.size());
    std::wstring drive;
    if (folder.size() >= 2 && folder[1] == L':') {
        drive = folder.substr(0, 2);
        folder.erase(0, 2);
    }
    while ((!folder.empty() || !drive.empty()) && measure(result) > maxWidth) {
        if (folder == L"\\...\\") {
            drive.clear();
            folder = L"...\\";
        } else if (folder.empty()) {
            drive.clear();
        } else if (folder == L"\\") {
            folder.clear();
        } else {
            // Cut the first folder; an earlier cut's "...\" goes with it and comes back.
            const bool rooted = folder[0] == L'\\';
            if (rooted)
                folder.erase(0, 1);
            if (!folder.empty() && folder[0] == L'.')
                folder.erase(0, std::min<size_t>(4, folder.size()));
            const size_t slash = folder.find(L'\\');
            folder = slash == std::wstring::npos ? std::wstring() : L"...\\" + folder.substr(slash + 1);
            if (rooted)
                folder.insert(0, 1, L'\\');
        }
        result = drive + folder + name;
    }
    return result;
}

std::wstring FolderRoot(const std::wstring& folder)
{
    if (folder.size() >= 2 && folder[1] == L':')
        return folder.substr(0, 2) + L'\\';
    if (folder.size() >= 2 && folder[0] == L'\\' && folder[1] == L'\\') {
        const size_t shareSlash = folder.find(L'\\', 2);
        if (shareSlash == std::wstring::npos)
            return folder + L'\\';
        const size_t rootEnd = folder.find(L'\\', shareSlash + 1);
        if (rootEnd == std::wstring::npos)
            return folder + L'\\';
        return folder.substr(0, rootEnd + 1);
    }
    return std::wstring();
}

wchar_t DriveOfPath(const std::wstring& path)
{
    if (path.size() >= 2 && path[1] == L':')
        return UpperChar(path[0]);
    return 0;
}

std::vector<TFolderEntry> FolderPathEntries(const std::wstring& folder)
{
    const std::wstring root = FolderRoot(folder);
    const std::wstring rest = root.size() < folder.size() ? folder.substr(root.size()) : std::wstring();
    std::vector<std::wstring> parts;
    for (size_t start = 0; start < rest.size();) {
        size_t end = rest.find(L'\\', start);
        if (end == std::wstring::npos)
            end = rest.size();
        if (end > start)
            parts.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    std::vector<TFolderEntry> entries;
    entries.push_back({root.empty() ? folder : root, parts.empty() ? TFolderPicture::fpCurrent : TFolderPicture::fpOpen});
    for (size_t i = 0; i < parts.size(); ++i)
        entries.push_back({parts[i], i + 1 == parts.size() ? TFolderPicture::fpCurrent : TFolderPicture::fpOpen});
    return entries;
}

std::wstring FolderEntryPath(const std::wstring& folder, int index)
{
    const std::wstring root = FolderRoot(folder);
    const int current = static_cast<int>(FolderPathEntries(folder).size()) - 1;
    if (index >= current || root.empty())
        return folder;
    if (index <= 0)
        return root;
    // The drive (or network root) and the path after it, cut before its (index + 1)-th
    // backslash.
    const size_t prefix = root.size() - 1;
    size_t cut = prefix;
    for (int seen = 0; cut < folder.size(); ++cut) {
        if (folder[cut] == L'\\' && ++seen == index + 1)
            break;
    }
    return folder.substr(0, cut);
}

int FolderEntryIndent(const std::wstring& folder, int index, bool subFolder)
{
    if (!subFolder)
        return index * 4 + 2;
    const auto backslashes = std::count(folder.begin(), folder.end(), L'\\');
    return static_cast<int>(backslashes + 1) * 4 + 2;
}

std::vector<std::wstring> ReadSubFolders(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    const std::wstring pattern = folder + (!folder.empty() && folder.back() == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW data;
    unique_find find(::FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &data,
                                        FindExSearchLimitToDirectories, nullptr, 0));
    if (!find)
        return names;
    do {
        const DWORD attributes = data.dwFileAttributes;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
            continue;
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        names.push_back(name);
    } while (::FindNextFileW(find.get(), &data));
    std::stable_sort(names.begin(), names.end(),
                     [](const std::wstring& a, const std::wstring& b) { return ::lstrcmpiW(a.c_str(), b.c_str()) < 0; });
    return names;
}

std::wstring DriveEntryText(wchar_t letter, UINT driveType, const std::wstring& volumeLabel,
                            const std::wstring& remoteName, TTextCase textCase)
{
    const std::wstring drive(1, letter);
    std::wstring text;
    switch (driveType) {
    case DRIVE_REMOVABLE:
        text = drive + L':';
        break;
    case DRIVE_FIXED:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        text = Format(L"%s: %s", {drive, Format(L"[%s]", {volumeLabel})});
        break;
    case DRIVE_REMOTE:
        text = Format(L"%s: %s", {drive, remoteName.empty() ? Format(L"[%s]", {volumeLabel}) : remoteName});
        break;
    default:
        return std::wstring();
    }
    return WithCase(text, textCase);
}
