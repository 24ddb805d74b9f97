// How the DIB classes hand StretchDIBits the rows of an image they draw.
#pragma once
#include <windows.h>

#include "imaging/UDIB.h"

// One axis of a stretch: the source span [s0, s1) (reversed when mirrored) drawn onto
// [d0, d1). Keeps the part of the source inside [0, size) and the part of the destination it
// lands on; false when nothing is left.
bool ClipSpan(long& s0, long& s1, long& d0, long& d1, long long size);

// StretchDIBits of `src` of an uncompressed image onto `dest`, `src`'s rows counted from the
// image's top row whichever way the rows are stored. A top-down image draws only the rows
// inside it (`dest` shrinks to match). Returns what StretchDIBits returned; 0 when nothing
// of the source lies inside a top-down image.
int StretchRows(HDC dc, const RECT& dest, const RECT& src, const TDIBInfo& info, const void* bits, DWORD rop);
