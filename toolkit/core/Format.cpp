#include "toolkit/core/Format.h"

#include <vector>

namespace {

// Decimal digits of a number. std::to_wstring goes through the C runtime's wide printf,
// which links its floating-point formatting into every program for the sake of integers.
std::wstring DecimalText(long long value)
{
    wchar_t digits[24];
    wchar_t* at = digits + 24;
    // Works on the magnitude as unsigned, so the most negative number needs no special case.
    unsigned long long rest = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    do {
        *--at = static_cast<wchar_t>(L'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        *--at = L'-';
    return std::wstring(at, digits + 24);
}

}  // namespace

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
            out += DecimalText(std::get<long long>(list[next++]));
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
