// What the folder list and the drive box share in drawing their owner-drawn entries.
#pragma once
#include <windows.h>

#include "toolkit/graphics/Bitmap.h"

// Loads one of the program's entry pictures; a program without it shows the entry without it.
void LoadPicture(TBitmap& picture, const wchar_t* name);
// Height of the characters of the layouts' font, without the room above them for accents.
int CharacterHeight();
// Paints an owner-drawn entry's background (the highlight colour while selected) and readies
// the text colours; returns the background, which pictures show for their transparent colour.
COLORREF PrepareEntry(HDC dc, const DRAWITEMSTRUCT& item, COLORREF listColor);
