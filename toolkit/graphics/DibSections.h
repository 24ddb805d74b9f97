// Making and reading DIB sections: the plumbing under the bitmap and its BMP reader.
#pragma once
#include <windows.h>

#include <cstdint>

#include "toolkit/core/HandleOwners.h"

enum class TPixelFormat;

// What a DIB section is made from.
struct TDibLayout {
    int width = 0;
    int height = 0;  // negative: rows top-down
    int bitCount = 24;
    DWORD compression = BI_RGB;  // BI_RGB or BI_BITFIELDS
    DWORD masks[3] = {};         // red, green, blue for BI_BITFIELDS
    RGBQUAD table[256] = {};     // 2^bitCount entries are given to the section for <= 8 bits
};

// Bytes in one row of `width` pixels of `bitCount` bits, padded to 4 bytes.
long long RowBytes(long long width, int bitCount);

// A new section; `bits` receives its pixel memory (zero-filled). EOutOfMemory on failure.
unique_hbitmap CreateSection(const TDibLayout& layout, void** bits = nullptr);

// True when `bitmap` is a DIB section; its description goes to `section`.
bool SectionOf(HBITMAP bitmap, DIBSECTION& section);

// Row `row` of a section, 0 being the top row whichever way the rows are stored.
uint8_t* SectionRow(const DIBSECTION& section, int row);

// The pixel format of a DIB of that depth and compression.
TPixelFormat PixelFormatOf(int bitCount, DWORD compression, const DWORD masks[3]);

// Bit count, compression and masks of a DIB pixel format (24 bits for pfDevice/pfCustom).
void DescribeFormat(TPixelFormat format, TDibLayout& layout);

// Colour masks a reader may hand to the system: each one non-empty, its bits in one run,
// inside the pixel, and none overlapping another.
bool ValidMasks(const DWORD masks[3], int bitCount);
