// Path helpers shared by the install-folder and folder-selection dialogs, and the forms of a
// path the file functions are given.
// Paths are UTF-16, so a double-byte character never has a trailing byte that could be
// mistaken for a backslash; each helper looks at whole characters only.
#pragma once
#include <string>

// True when the last character of `s` is a backslash; false for an empty string.
bool EndsWithBackslash(const std::wstring& s);

// `s` with a backslash appended, unless it is empty or already ends with one.
std::wstring AddBackslash(const std::wstring& s);

// `s` without its trailing backslash, if it has one.
std::wstring RemoveBackslash(const std::wstring& s);

// `folder` and `name` joined by exactly the backslash `AddBackslash` supplies.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// Everything up to and including the last backslash or colon of `path`; "" when there is
// neither ("C:\a\b" -> "C:\a\", "C:x" -> "C:", "name" -> "").
std::wstring ParentPart(const std::wstring& path);

// The absolute, normalised form of `path` (relative ones count from the current folder as it
// is now); `path` unchanged when the system cannot resolve it. A name without a folder must
// not reach functions that would look it up along a search order of their own.
std::wstring AbsolutePath(const std::wstring& path);

// `path` as the file functions take it: from MAX_PATH characters on, the "\\?\" form of its
// full path (which no function then shortens or normalises); shorter paths unchanged.
std::wstring PlatformPath(const std::wstring& path);
