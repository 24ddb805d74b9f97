// The layouts' font.
#pragma once
#include <windows.h>

// The face every layout uses, at the layouts' height in pixels, with the Shift-JIS set.
inline constexpr const wchar_t* kUiFontFace = L"ＭＳ Ｐゴシック";
inline constexpr int kUiFontHeight = 12;

// One shared instance of the layouts' font; it lives as long as the process.
HFONT UiFont();
