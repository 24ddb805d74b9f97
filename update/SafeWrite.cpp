#include "update/SafeWrite.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "target/Pathutil.h"
#include "toolkit/core/Errors.h"
#include "toolkit/core/Format.h"
#include "toolkit/core/HandleOwners.h"
#include "toolkit/core/ToolkitTexts.h"
#include "update/FileIdentity.h"

namespace {

TReplaceProbe& Probe()
{
    static TReplaceProbe probe;
    return probe;
}

[[noreturn]] void CannotCreate(const std::wstring& target)
{
    throw EFCreateError(Format(tkconst::SFCreateError, {target}));
}

// What this process does to its temporary file after creating it: write it, give it the old
// file's attributes, times, owner and DACL, rename it over the target, or delete it on failure.
// Rights held by the handle stay whatever DACL the file is given meanwhile.
constexpr DWORD kTempAccess = GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER;

// A new file beside the target, open for all that is done to it until it has taken the
// target's place; deleted again through its handle if it never does.
class TempFile {
public:
    explicit TempFile(const std::wstring& target)
    {
        // A short name, so a target near the path limit still has room for its sibling; the
        // process id in it keeps two updaters at work on one folder apart.
        const size_t cut = target.find_last_of(L"\\/:");
        const std::wstring folder = cut == std::wstring::npos ? std::wstring() : target.substr(0, cut + 1);
        const std::wstring stem = folder + Format(L"~su%d-", {static_cast<long long>(::GetCurrentProcessId())});
        for (unsigned attempt = 0; attempt < 1000; ++attempt) {
            std::wstring path = PlatformPath(stem + Format(L"%d.tmp", {static_cast<long long>(attempt)}));
            unique_handle file(Create(path));
            if (file) {
                path_ = std::move(path);
                file_ = std::move(file);
                return;
            }
            if (::GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        CannotCreate(target);
    }

    ~TempFile()
    {
        if (!committed_ && file_) {
            // It may carry the old file's read-only bit by now, which a deletion refuses.
            FILE_BASIC_INFO basic{};
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            ::SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic);
            FILE_DISPOSITION_INFO disposition{};
            disposition.DeleteFile = TRUE;
            ::SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof disposition);
        }
    }

    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::wstring& Path() const { return path_; }
    HANDLE Handle() const { return file_.get(); }
    // The temporary file takes `to`'s place in one step; on failure GetLastError() says why.
    bool RenameOver(const std::wstring& to)
    {
        std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFO, FileName) + (to.size() + 1) * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = TRUE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
        std::memcpy(info->FileName, to.c_str(), (to.size() + 1) * sizeof(wchar_t));
        if (!::SetFileInformationByHandle(file_.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
            return false;
        committed_ = true;
        return true;
    }

private:
    static HANDLE Create(const std::wstring& path)
    {
        // The creator of a file is granted the rights it asks for whatever the new file's DACL
        // says; should a system refuse the right to give the file away, the owner is the one
        // thing given up.
        for (const DWORD access : {kTempAccess, kTempAccess & ~static_cast<DWORD>(WRITE_OWNER)}) {
            HANDLE file = ::CreateFileW(path.c_str(), access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_ACCESS_DENIED)
                return file;
        }
        return INVALID_HANDLE_VALUE;
    }

    std::wstring path_;
    unique_handle file_;
    bool committed_ = false;
};

// The rename fails while another program has the target open. A running product holds it
// for good; a second updater checking its version, or a scanner looking at the file, only for
// a moment, and would otherwise fail an update that is sound. So the rename is tried again
// for up to about a second before the failure counts.
bool MoveIntoPlace(TempFile& temp, const std::wstring& to)
{
    constexpr int kRetries = 20;
    constexpr DWORD kPauseMs = 50;
    for (int attempt = 0;; ++attempt) {
        if (temp.RenameOver(to))
            return true;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kRetries)
            return false;
        ::Sleep(kPauseMs);
    }
}

}  // namespace

void SetReplaceProbe(TReplaceProbe probe)
{
    Probe() = std::move(probe);
}

void ReplaceFileContents(const std::wstring& target, const void* data, size_t size)
{
    TempFile temp(target);
    const auto* bytes = static_cast<const unsigned char*>(data);
    size_t written = 0;
    do {
        if (Probe())
            Probe()(temp.Path(), written);
        const DWORD piece = static_cast<DWORD>(std::min(size - written, ReplacePieceSize));
        DWORD done = 0;
        if (piece > 0 && (!::WriteFile(temp.Handle(), bytes + written, piece, &done, nullptr) || done != piece))
            throw EWriteError(tkconst::SWriteError);
        written += piece;
    } while (written < size);
    // On the disk before it can become the target, so a crash cannot leave an empty file.
    if (!::FlushFileBuffers(temp.Handle()))
        throw EWriteError(tkconst::SWriteError);
    // The old file's attributes, creation time and access rules go to the new one, read as
    // late as can be: another updater may have replaced the old file meanwhile.
    const std::wstring platformTarget = PlatformPath(target);
    if (const std::optional<FileIdentity> old = ReadFileIdentity(platformTarget, target))
        GiveFileIdentity(*old, temp.Handle(), target);
    // One rename within the folder: the target is either the old file or the new one.
    if (!MoveIntoPlace(temp, platformTarget))
        CannotCreate(target);
}
