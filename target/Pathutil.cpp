#include "target/Pathutil.h"

#include <windows.h>

#include "toolkit/core/Errors.h"
#include "toolkit/windows/FolderPaths.h"

bool EndsWithBackslash(const std::wstring& s)
{
    return !s.empty() && s.back() == L'\\';
}

std::wstring AddBackslash(const std::wstring& s)
{
    if (s.empty() || EndsWithBackslash(s))
        return s;
    return s + L'\\';
}

std::wstring RemoveBackslash(const std::wstring& s)
{
    if (!EndsWithBackslash(s))
        return s;
    return s.substr(0, s.size() - 1);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    return AddBackslash(folder) + name;
}

std::wstring ParentPart(const std::wstring& path)
{
    const auto pos = path.find_last_of(L"\\:");
    if (pos == std::wstring::npos)
        return std::wstring();
    return path.substr(0, pos + 1);
}

std::wstring AbsolutePath(const std::wstring& path)
{
    try {
        return FullPath(path);
    } catch (const EInOutError&) {
        return path;
    }
}

std::wstring PlatformPath(const std::wstring& path)
{
    if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    const std::wstring full = AbsolutePath(path);
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}
