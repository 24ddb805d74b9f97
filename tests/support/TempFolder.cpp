#include "tests/support/TempFolder.h"

#include <windows.h>

#include "toolkit/core/HandleOwners.h"

#include <atomic>
#include <stdexcept>

namespace {

bool RemoveTreeLong(const std::wstring& folder)
{
    bool ok = true;
    WIN32_FIND_DATAW data;
    {
        unique_find find(FindFirstFileW((folder + L"\\*").c_str(), &data));
        if (find) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring child = folder + L"\\" + name;
                if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                    ok = RemoveTreeLong(child) && ok;
                } else {
                    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ok = DeleteFileW(child.c_str()) && ok;
                }
            } while (FindNextFileW(find.get(), &data));
        }
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(folder.c_str()) && ok;
}

}  // namespace

std::wstring LongPathForm(const std::wstring& absolutePath)
{
    if (absolutePath.rfind(L"\\\\?\\", 0) == 0)
        return absolutePath;
    if (absolutePath.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + absolutePath.substr(2);
    return L"\\\\?\\" + absolutePath;
}

bool RemoveTree(const std::wstring& folder)
{
    std::wstring path = folder;
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return RemoveTreeLong(LongPathForm(path));
}

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, base);
    if (n == 0 || n > MAX_PATH)
        throw std::runtime_error("GetTempPathW failed");
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring candidate = std::wstring(base, n) + L"sntest_" +
                                       std::to_wstring(GetCurrentProcessId()) + L"_" +
                                       std::to_wstring(counter++);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    throw std::runtime_error("cannot create a temp folder");
}

TempFolder::~TempFolder()
{
    RemoveTree(path_);
}

std::wstring TempFolder::File(const std::wstring& name) const
{
    return path_ + L"\\" + name;
}
