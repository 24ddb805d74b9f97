#include "toolkit/core/Format.h"

#include <vector>

std::wstring Format(const std::wstring& format, std::initializer_list<FormatArg> args)
{
    std::vector<FormatArg> list(args);
    std::wstring out;
    out.reserve(format.size() + 32);
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        wchar_t c = format[i];
        if (c != L'%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        wchar_t kind = format[i + 1];
        if (kind == L'%') {
            out += L'%';
            ++i;
        } else if (kind == L's' && next < list.size() && std::holds_alternative<std::wstring>(list[next])) {
            out += std::get<std::wstring>(list[next++]);
            ++i;
        } else if (kind == L'd' && next < list.size() && std::holds_alternative<long long>(list[next])) {
            out += std::to_wstring(std::get<long long>(list[next++]));
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
