// Drawing support for the image classes: screen and platform questions, drawing part of a
// bitmap, palettes with fixed colours at both ends, RIFF palettes, and the library's shared
// default palette.
#pragma once
#include <windows.h>

#include "toolkit/core/ModuleSteps.h"

class TCanvas;
class TBitmap;
class TStream;

// Only equal sides count: a rectangle whose right lies left of its left is not empty.
bool RectIsEmpty(const RECT& r);

// Draws the part `src` of `bitmap` scaled into `dest` on `canvas`, without copying the part:
// for the one draw, the bitmap's own device context is remapped so that the bitmap's whole
// logical extent covers exactly the pixels of `src`. Nothing is drawn when either rectangle
// is empty; the whole bitmap goes through the canvas's plain scaled draw.
void StretchDrawPart(TCanvas& canvas, const RECT& dest, TBitmap& bitmap, const RECT& src);

// Bits per pixel times colour planes of the screen.
int ScreenColorDepth();
// A screen of 8 bits per pixel or less, which shows colours through a palette.
bool IsPaletteDevice();

// True when the operating system's version query reports the Windows NT platform; false
// when it reports another or fails. Every Windows we run on is of the NT family; the image
// classes keep the paths for the other (drawing through device-independent copies), and tests
// reach them through TPlatformFamilyOverride.
bool IsWinNT();

// For tests: IsWinNT answers `winNT` while this lives; the previous answer comes back after.
class TPlatformFamilyOverride {
public:
    explicit TPlatformFamilyOverride(bool winNT);
    ~TPlatformFamilyOverride();
    TPlatformFamilyOverride(const TPlatformFamilyOverride&) = delete;
    TPlatformFamilyOverride& operator=(const TPlatformFamilyOverride&) = delete;

private:
    int previous_;
};

// Rebuilds `palette` in place with `size` entries (1 to 256): seed colours split over both
// ends (black first and white last when `blackWhite`, else the first half of the system's
// twenty stock colours first and the other half last), the palette's own distinct colours in
// their order in between, then fillers (0, 0, 1), (0, 0, 2), ... for the room left. A colour
// is kept once, with the flags it first had; colours beyond the room are dropped.
void FixPalette(HPALETTE palette, bool blackWhite, int size);

// The library's shared palette; callers select it but never delete it. Made at start-up
// (kDrawSupportSteps): the "DefaultPalette" palette resource of the program, else a copy of
// the system's halftone palette, with the stock colours at both ends, realised on the screen.
HPALETTE GetDefaultPalette();

// A palette from the RIFF palette resource `name` of type `type`; null when there is none or
// it is not a sound palette. Owned by the caller.
HPALETTE LoadPaletteResource(HMODULE module, const wchar_t* name, const wchar_t* type);

// A palette from a RIFF palette at the stream's position ("RIFF", size, "PAL data", the data
// chunk's size, then a logical palette: version, entry count, entries). Null, with nothing
// raised, for a wrong signature, a data chunk larger than 256 entries need, one shorter than
// its own entry count needs, a stream that ends inside the header or the chunk, or a palette
// the system refuses. Owned by the caller.
HPALETTE ReadPaletteStream(TStream& stream);

// An ordinary palette with the entries of the system's halftone palette. Owned by the caller.
HPALETTE CreateHalftonePaletteCopy();

// The default palette's start-up and end steps.
void StartDrawSupport();
void EndDrawSupport();

inline constexpr TModuleSteps kDrawSupportSteps{L"UDrawSupport", &StartDrawSupport, &EndDrawSupport};
