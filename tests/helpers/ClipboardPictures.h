// The pictures the clipboard test sends from one process to another.
#pragma once
#include "tests/support/BmpBytes.h"

// 3 x 2 pixels (rows padded): red, green, blue over white, black, red.
inline BmpSpec ClipboardPicture(int bits)
{
    BmpSpec s;
    s.width = 3;
    if (bits == 8) {
        s.bitCount = 8;
        s.table = {Quad(kBlack), Quad(kRed), Quad(kGreen), Quad(kBlue), Quad(kWhite)};
        s.rows = {{1, 2, 3}, {4, 0, 1}};
    } else {
        s.rows = {Row(3, {0xFF0000, 0x00FF00, 0x0000FF}), Row(3, {0xFFFFFF, 0, 0xFF0000})};
    }
    return s;
}

inline constexpr COLORREF kClipboardPictureColors[] = {kRed, kGreen, kBlue, kWhite, kBlack, kRed};
