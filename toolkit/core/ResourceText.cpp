#include "toolkit/core/ResourceText.h"

std::wstring LoadResourceText(HMODULE module, int id)
{
    // With a buffer length of 0, LoadStringW hands back a pointer to the text inside the
    // resource (not terminated) and its length.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module, static_cast<UINT>(id), reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || !text)
        return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}
