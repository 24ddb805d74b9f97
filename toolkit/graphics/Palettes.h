// Palette helpers: copies, and palettes from and to DIB colour tables.
#pragma once
#include <windows.h>

// A new palette with the entries of `palette`, owned by the caller; null for null.
HPALETTE CopyPalette(HPALETTE palette);

// A palette of the first `count` colour-table entries (at most 256; at least one).
HPALETTE PaletteFromColorTable(const RGBQUAD* table, int count);

// Writes up to `max` entries of the palette as colour-table entries; returns how many.
int PaletteToColorTable(HPALETTE palette, RGBQUAD* table, int max);

// The colours a new image of that depth gets: black and white for 1 bit, the sixteen VGA
// colours for 4 bits, the system's halftone palette for 8 bits; null for deeper images.
HPALETTE DefaultPaletteFor(int bitCount);

// A two-entry table of black, then white.
bool IsBlackAndWhite(const RGBQUAD* table, int count);
