// Colours: plain RGB values and the system's colours by index.
#pragma once
#include <windows.h>

// An RGB value (COLORREF layout), or a system colour: kSystemColor with the COLOR_* index.
using TColor = COLORREF;

inline constexpr TColor kSystemColor = 0x80000000;

// A colour that paints nothing: a control with it never fills its background.
inline constexpr TColor clNone = 0xFFFFFFFF;

inline constexpr TColor clBlack = RGB(0, 0, 0);
inline constexpr TColor clWhite = RGB(255, 255, 255);
inline constexpr TColor clRed = RGB(255, 0, 0);
inline constexpr TColor clLime = RGB(0, 255, 0);
inline constexpr TColor clBlue = RGB(0, 0, 255);
inline constexpr TColor clSilver = RGB(192, 192, 192);
inline constexpr TColor clGray = RGB(128, 128, 128);

inline constexpr TColor clWindow = kSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowText = kSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clBtnFace = kSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnText = kSystemColor | COLOR_BTNTEXT;
inline constexpr TColor clHighlight = kSystemColor | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = kSystemColor | COLOR_HIGHLIGHTTEXT;

// The RGB value a colour stands for: a system colour is looked up now; clNone stays clNone.
inline COLORREF ColorToRGB(TColor color)
{
    if (color != clNone && (color & kSystemColor))
        return ::GetSysColor(static_cast<int>(color & 0xFF));
    return color;
}
