// The layouts' font.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The face a toolkit font takes when nothing else is said, at the layouts' height in pixels,
// with the Shift-JIS set.
inline constexpr const wchar_t* kUiFontFace = L"ＭＳ Ｐゴシック";
inline constexpr int kUiFontHeight = 12;

// Picks the layouts' face from the program's list: the first of `faces` the system has with
// the Shift-JIS character set, else the first of them (the font mapper then finds the
// nearest). Run once at start-up, before the first window; until then it is kUiFontFace.
void ChooseUiFontFace(const std::vector<const wchar_t*>& faces);
const std::wstring& UiFontFace();

// One shared instance of the layouts' font in that face; it lives as long as the process.
HFONT UiFont();
