// The path rules of the folder list and the drive box: shortening a path to a width, the
// entries of the folder tree, the sub-folders of a folder, the text of a drive's entry.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

enum TTextCase { tcLowerCase, tcUpperCase };

// EInOutError with the system's error code.
[[noreturn]] void RaiseInOutError(DWORD code);

// Keeps the system's "insert a disk" and similar dialogs away while a volume is asked about.
class CriticalErrorsOff {
public:
    CriticalErrorsOff() : old_(::SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsOff() { ::SetErrorMode(old_); }
    CriticalErrorsOff(const CriticalErrorsOff&) = delete;
    CriticalErrorsOff& operator=(const CriticalErrorsOff&) = delete;

private:
    UINT old_;
};

// The process's current folder; EInOutError when the system cannot tell it.
std::wstring CurrentDirectory();
// The full form of a path; EInOutError when the system cannot form it.
std::wstring FullPath(const std::wstring& path);
// The text (or one character) in the case `textCase` asks for.
std::wstring WithCase(std::wstring text, TTextCase textCase);
wchar_t WithCase(wchar_t c, TTextCase textCase);
// A volume's label, "" when it has none or cannot be asked.
std::wstring VolumeLabel(const std::wstring& root);
// The remote name behind a network drive ("X:"), "" when there is none.
std::wstring RemoteName(const std::wstring& localName);

// `path` shortened until `measure` finds it no wider than `maxWidth`: leading folders
// give way to "...\" one at a time, then the drive goes, then the "...\"; the last name
// always stays, even when it alone is too wide.
std::wstring MinimizeName(const std::wstring& path, const std::function<int(const std::wstring&)>& measure,
                          int maxWidth);

// The root of an absolute folder: "C:\" for a drive, "\\server\share\" for a network path,
// "" for anything else.
std::wstring FolderRoot(const std::wstring& folder);

// The drive letter of a path, upper case, or 0 when it has none.
wchar_t DriveOfPath(const std::wstring& path);

enum class TFolderPicture { fpOpen, fpCurrent, fpClosed };

struct TFolderEntry {
    std::wstring text;
    TFolderPicture picture;
    bool operator==(const TFolderEntry&) const = default;
};

// The entries from the root down to the folder itself: the root and the ancestors with the
// open picture, the folder with the current picture.
std::vector<TFolderEntry> FolderPathEntries(const std::wstring& folder);

// The folder an entry of FolderPathEntries(folder) stands for.
std::wstring FolderEntryPath(const std::wstring& folder, int index);

// Left indent of an entry: the path entries step by 4 pixels, the sub-folders sit one step
// beyond the folder's depth in backslashes.
int FolderEntryIndent(const std::wstring& folder, int index, bool subFolder);

// The sub-folders of a folder, sorted by name ignoring case, without "." and "..", hidden
// and system folders.
std::vector<std::wstring> ReadSubFolders(const std::wstring& folder);

// Text of a drive's entry in the drive box for its drive type, or "" for a drive without
// an entry. The letter and the label or remote name follow `textCase`.
std::wstring DriveEntryText(wchar_t letter, UINT driveType, const std::wstring& volumeLabel,
                            const std::wstring& remoteName, TTextCase textCase);
