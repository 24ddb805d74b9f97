// Whether the tests run under Wine, which leaves out some of what Windows does.
#pragma once
#include <windows.h>

inline bool RunningUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
