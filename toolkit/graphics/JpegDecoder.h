// JPEG decoding over libjpeg: the picture's size from its header alone, and its pixels as 24-bit
// rows ready for a DIB section. Nothing here touches GDI; the JPEG graphic puts the rows into
// its bitmap.
#pragma once
#include <cstddef>
#include <functional>
#include <vector>

#include "toolkit/core/Errors.h"

TK_DECLARE_ERROR(EJPEG, Exception);

namespace tkconst {
inline constexpr const wchar_t* SJPEGInvalid = L"JPEGｲﾒｰｼﾞが不正です";
inline constexpr const wchar_t* SJPEGTooLarge = L"JPEGｲﾒｰｼﾞが大きすぎます";
}  // namespace tkconst

// Largest picture decoded, in pixels (8192 x 4096: 96 MB of 24-bit rows). A header asking for
// more is refused before anything is allocated for its pixels, so a few hostile bytes cannot
// make us reserve gigabytes.
inline constexpr long long kJpegMaxPixels = 1LL << 25;

struct TJpegInfo {
    int Width = 0;
    int Height = 0;
    int Components = 0;  // 1 grey, 3 colour, 4 CMYK or YCCK
};

// Bytes per row of 24-bit pixels, padded to whole DWORDs as a DIB section lays them out.
int JpegRowBytes(int width);

// Reads the header only. Data that is no JPEG picture raises EJPEG (SJPEGInvalid).
TJpegInfo ReadJpegInfo(const void* data, size_t size);

// Where decoded rows go: called once, after the header is read and before any row is decoded,
// with the picture's size and the row stride; returns the first (top) of Height rows of
// `stride` bytes each, for instance the bits of a top-down DIB section. It may throw.
using TJpegTarget = std::function<unsigned char*(const TJpegInfo& info, int stride)>;

// Decodes the whole picture into the target as 24-bit pixels (blue, green, red), top row first;
// greyscale, CMYK and YCCK pictures are converted to the same layout. Damage libjpeg can decode
// around (a picture cut short inside its image data, a corrupt stretch of it) only costs what is
// missing, which comes out grey, and is counted in the result: the number of warnings.
// Data that cannot be decoded raises EJPEG (SJPEGInvalid); a picture of more than
// kJpegMaxPixels raises EJPEG (SJPEGTooLarge).
int DecodeJpegInto(const void* data, size_t size, const TJpegTarget& target);

struct TJpegPixels {
    int Width = 0;
    int Height = 0;
    int Stride = 0;    // JpegRowBytes(Width)
    int Warnings = 0;  // damage decoded around
    std::vector<unsigned char> Bits;  // Height rows of Stride bytes, top row first

    const unsigned char* Pixel(int x, int y) const { return &Bits[static_cast<size_t>(y) * Stride + x * 3]; }
};

// The same into a buffer of its own.
TJpegPixels DecodeJpeg(const void* data, size_t size);
