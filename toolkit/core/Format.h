// Type-safe "%s" / "%d" formatting. The format may come from a resource: it is never
// handed to the printf family, and a placeholder that finds no (or the wrong kind of)
// argument is copied as it stands instead of reading past the arguments.
#pragma once
#include <initializer_list>
#include <string>
#include <variant>

using FormatArg = std::variant<long long, std::wstring>;

std::wstring Format(const std::wstring& format, std::initializer_list<FormatArg> args);
