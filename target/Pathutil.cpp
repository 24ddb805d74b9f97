#include "target/Pathutil.h"

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
